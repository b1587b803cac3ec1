// Host memory through the current task: what reaches the host, and what the
// task's status and result look like afterwards.
#include <gtest/gtest.h>
#include <string.h>

#include "plugin/HostMemory.h"
#include "plugin/PluginTask.h"
#include "tests/support/FakeTask.h"

namespace {

TEST(HostMemory, ZeroBytesAsksNothing) {
  FakeTask task;
  EXPECT_EQ(MAlloc(0), nullptr);
  EXPECT_EQ(task.Count(Request::kMemAlloc), 0u);
}

TEST(HostMemory, BlocksComeFromTheHostAndGoBack) {
  FakeTask task;
  void* p = MAlloc(100);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(task.LiveBytes(), 100u);
  MFree(p);
  EXPECT_EQ(task.LiveBlocks(), 0u);
  MFree(nullptr);
  EXPECT_EQ(task.Count(Request::kMemFree), 1u);
}

TEST(HostMemory, RefusalRaisesTheMemoryExceptionAndKeepsTheCode) {
  FakeTask task;
  task.FailAllocation(1);
  try {
    MAlloc(10);
    FAIL() << "no exception";
  } catch (const char* what) {
    EXPECT_STREQ(what, "mem");
  }
  EXPECT_EQ(plug->status, 1);
  EXPECT_EQ(plug->result, 1);
}

TEST(HostMemory, CountsPastInt32AreRefusedBeforeReachingTheHost) {
  FakeTask task;
  EXPECT_THROW(MAlloc(size_t(1) << 31), const char*);
  EXPECT_THROW(MAlloc(SIZE_MAX), const char*);
  EXPECT_EQ(task.Count(Request::kMemAlloc), 0u);
}

TEST(HostMemory, HostSuccessWithoutABlockIsARefusal) {
  FakeTask task;
  // A host callback that claims success but writes no block.
  task.Header().hostCallback = [](uint32_t, int32_t, void*) -> int32_t { return 0; };
  EXPECT_THROW(MAlloc(8), const char*);
}

TEST(HostMemory, FailedReleaseLeavesStatusAndResultAlone) {
  FakeTask task;
  void* p = MAlloc(4);
  plug->status = 7;
  plug->result = 9;
  task.Header().hostCallback = [](uint32_t, int32_t, void*) -> int32_t { return 42; };
  MFree(p);
  EXPECT_EQ(plug->status, 7);
  EXPECT_EQ(plug->result, 9);
}

struct AllocateProbe {
  static HostAllocateRec seen;
  static int32_t answer;
  static int32_t Serve(uint32_t selector, int32_t size, void* record) {
    EXPECT_EQ(selector, Request::kAllocate);
    EXPECT_EQ(size, int32_t(sizeof(HostAllocateRec)));
    memcpy(&seen, record, sizeof seen);
    auto* rec = static_cast<HostAllocateRec*>(record);
    rec->instanceData = reinterpret_cast<void*>(0x1000);
    rec->auxData = reinterpret_cast<void*>(0x2000);
    return answer;
  }
};
HostAllocateRec AllocateProbe::seen;
int32_t AllocateProbe::answer = 0;

TEST(HostMemory, AllocateZeroKeepsSizesAndNegativeClearsAux) {
  FakeTask task;
  task.Header().hostCallback = AllocateProbe::Serve;
  task.Header().instanceDataSize = 36;
  task.Header().auxDataSize = 12;
  AllocateProbe::answer = 0;
  ASSERT_TRUE(plug->Allocate(0, 0));
  EXPECT_EQ(AllocateProbe::seen.instanceDataSize, 36);
  EXPECT_EQ(AllocateProbe::seen.auxDataSize, 12);
  // Packed fields are read into locals: the test macros bind references.
  void* const data = task.Header().instanceData;
  void* const aux = task.Header().auxData;
  EXPECT_EQ(data, reinterpret_cast<void*>(0x1000));
  EXPECT_EQ(aux, reinterpret_cast<void*>(0x2000));

  ASSERT_TRUE(plug->Allocate(-1, 5));
  EXPECT_EQ(AllocateProbe::seen.instanceDataSize, -1);
  EXPECT_EQ(AllocateProbe::seen.auxDataSize, 0);
}

TEST(HostMemory, RefusedAllocateLeavesTheHeader) {
  FakeTask task;
  task.Header().hostCallback = AllocateProbe::Serve;
  task.Header().instanceData = nullptr;
  task.Header().instanceDataSize = 4;
  AllocateProbe::answer = 5;
  EXPECT_FALSE(plug->Allocate(40, 0));
  void* const data = task.Header().instanceData;
  const int32_t size = task.Header().instanceDataSize;
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(plug->result, 5);
}

}  // namespace
