// The host's serving path as the module sees it: no exception ever comes back
// through the callback, records are read wherever the module placed them, and
// the flat per-kind books (request counts, fault plan, memory ledger) agree
// with what was asked.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include "host/FileService.h"
#include "host/Host.h"
#include "host/MemoryLedger.h"

namespace {

using host::CHost;

std::function<int32_t(PluginRecHeader&)> gScript;

int32_t ScriptedMain(uint32_t, int32_t, void* record) {
  auto& header = *static_cast<PluginRecHeader*>(record);
  return gScript ? gScript(header) : 0;
}

template <typename Rec>
int32_t Ask(PluginRecHeader& header, uint32_t selector, Rec& rec) {
  return header.hostCallback(selector, int32_t(sizeof(Rec)), &rec);
}

class HostServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::CFileService::Instance().Reset();
    host.UseEntry(ScriptedMain);
  }
  void TearDown() override { gScript = nullptr; }
  CHost host;
};

TEST_F(HostServiceTest, AThrowingServiceAnswersACodeAndTheNextRequestIsServed) {
  host::CChildGroup group;
  group.vertices.resize(1);
  group.facets.push_back(host::Facet({1, 1, 1}));
  host.AddGroup(group);
  int addCalls = 0;
  host.onRequest = [&](uint32_t selector, void*) {
    if (selector != Request::kAddVertex) return;
    ++addCalls;
    if (addCalls == 1) throw std::bad_alloc();
    if (addCalls == 2) throw std::length_error("vector too long");
    if (addCalls == 3) throw 42;
  };
  std::vector<int32_t> answers;
  gScript = [&](PluginRecHeader& header) {
    HostModelGetGroupRec get{};
    get.hostContext = header.hostContext;
    get.index = 1;
    EXPECT_EQ(Ask(header, Request::kGetGroup, get), 0);
    HostDeleteGroupRec drop{header.hostContext, get.groupRef};
    EXPECT_EQ(Ask(header, Request::kDeleteGroup, drop), 0);
    for (int k = 0; k < 4; ++k) {
      HostAddVertexRec add{};
      add.hostContext = header.hostContext;
      answers.push_back(Ask(header, Request::kAddVertex, add));
    }
    return 0;
  };
  EXPECT_EQ(host.Generate(1), 0);
  EXPECT_EQ(answers, (std::vector<int32_t>{host::kNoMemoryCode, host::kRefusedCode, host::kRefusedCode, 0}));
  ASSERT_EQ(host.ServiceFailures().size(), 3u);
  EXPECT_EQ(host.ServiceFailures()[0], "'ADDV' could not be served: the host ran out of memory");
  EXPECT_EQ(host.ServiceFailures()[1], "'ADDV' could not be served: vector too long");
  EXPECT_EQ(host.Received(0).vertices.size(), 1u);  // only the served one was stored
  EXPECT_TRUE(host.Clean()) << host.ViolationReport();
}

// Records are packed to 4, so a module may place one at any 4-byte boundary;
// the sanitizer build aborts on a misaligned read of its pointer fields.
TEST_F(HostServiceTest, RecordsAtFourByteBoundariesAreServed) {
  alignas(8) unsigned char storage[64];
  gScript = [&](PluginRecHeader& header) {
    unsigned char* at = storage + 4;
    HostModelResetRec reset{header.hostContext};
    std::memcpy(at, &reset, sizeof reset);
    EXPECT_EQ(header.hostCallback(Request::kModelReset, sizeof reset, at), 0);

    HostMemAllocRec alloc{header.hostContext, 32, nullptr};
    std::memcpy(at, &alloc, sizeof alloc);
    EXPECT_EQ(header.hostCallback(Request::kMemAlloc, sizeof alloc, at), 0);
    std::memcpy(&alloc, at, sizeof alloc);
    EXPECT_TRUE(host.Memory().IsLive(alloc.block));
    HostMemFreeRec release{header.hostContext, alloc.block};
    std::memcpy(at, &release, sizeof release);
    EXPECT_EQ(header.hostCallback(Request::kMemFree, sizeof release, at), 0);
    return 0;
  };
  host.Send(Selector::kModelSetup);
  EXPECT_EQ(host.ResetCount(0), 1);
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u);
  // Outside any command the context is read the same way.
  HostModelResetRec late{host.Context(0)};
  std::memcpy(storage + 4, &late, sizeof late);
  HostCallbackProc callback = nullptr;
  gScript = [&](PluginRecHeader& header) {
    callback = header.hostCallback;
    return 0;
  };
  host.Send(Selector::kAbout);
  EXPECT_EQ(callback(Request::kModelReset, sizeof late, storage + 4), host::kViolationCode);
  EXPECT_EQ(host.Violations().size(), 1u);
}

TEST_F(HostServiceTest, CountsPerKindAndPlannedFailuresCountFromWhenSet) {
  std::vector<int32_t> answers;
  gScript = [&](PluginRecHeader& header) {
    HostModelResetRec reset{header.hostContext};
    HostCreatorRec creator{header.hostContext, 0};
    for (int k = 0; k < 3; ++k) {
      answers.push_back(Ask(header, Request::kModelReset, reset));
      answers.push_back(Ask(header, Request::kCreator, creator));
    }
    Ask(header, FourCC("ZZZZ"), reset);
    return 0;
  };
  host.Send(Selector::kModelSetup);  // counts 3 and 3 before any rule
  host.Faults().FailRequest(Request::kModelReset, 3, 11);
  host.Faults().FailRequest(Request::kModelReset, 1, 12);
  host.Faults().FailRequest(Request::kCreator, 2, 13);
  host.Faults().FailRequest(FourCC("ZZZZ"), 1, 14);  // no request: never fires
  answers.clear();
  host.Send(Selector::kModelSetup);
  EXPECT_EQ(answers, (std::vector<int32_t>{12, 0, 0, 13, 11, 0}));
  EXPECT_EQ(host.RequestCount(Request::kModelReset), 6);
  EXPECT_EQ(host.RequestCount(Request::kCreator), 6);
  EXPECT_EQ(host.RequestCount(FourCC("ZZZZ")), 2);
  EXPECT_EQ(host.RequestCount(Request::kGetVertex), 0);

  host.Faults().AnswerCreator(5);
  host.Faults().FailRequest(Request::kCreator, 1, 6);
  answers.clear();
  host.Send(Selector::kModelSetup);
  EXPECT_EQ(answers, (std::vector<int32_t>{0, 6, 0, 5, 0, 5}));
  host.Faults().FailRequest(Request::kModelReset, 1, 7);
  host.Faults().Clear();
  answers.clear();
  host.Send(Selector::kModelSetup);
  EXPECT_EQ(answers, (std::vector<int32_t>(6, 0)));
}

TEST_F(HostServiceTest, AHookMayRemoveTheInstanceOfTheCommandInProgress) {
  int other = host.AddInstance();
  host.onRequest = [&](uint32_t, void*) {
    if (host.Context(other)) host.RemoveInstance(other);
  };
  std::vector<int32_t> answers;
  gScript = [&](PluginRecHeader& header) {
    HostModelResetRec reset{header.hostContext};
    answers.push_back(Ask(header, Request::kModelReset, reset));  // served, then the hook removes it
    answers.push_back(Ask(header, Request::kModelReset, reset));
    return 0;
  };
  host.Send(Selector::kModelSetup, other);
  EXPECT_EQ(answers, (std::vector<int32_t>{0, host::kViolationCode}));
  ASSERT_EQ(host.Violations().size(), 1u);
  EXPECT_EQ(host.Violations()[0].name, "unknown hostContext");
}

TEST(MemoryLedgerTest, BooksAgreeWithARandomRunOfAllocationsAndReleases) {
  host::CMemoryLedger ledger;
  std::mt19937 random(7);
  std::vector<std::pair<void*, size_t>> live;
  size_t liveBytes = 0, peak = 0;
  for (int step = 0; step < 20000; ++step) {
    if (live.empty() || random() % 3 != 0) {
      const size_t bytes = 1 + random() % 200;
      void* block = ledger.Allocate(bytes, 1 + step % 3);
      ASSERT_NE(block, nullptr);
      ASSERT_EQ(static_cast<uint8_t*>(block)[bytes - 1], host::CMemoryLedger::kFreshByte);
      live.emplace_back(block, bytes);
      liveBytes += bytes;
      peak = std::max(peak, liveBytes);
    } else {
      const size_t pick = random() % live.size();
      ASSERT_TRUE(ledger.Release(live[pick].first));
      ASSERT_FALSE(ledger.IsLive(live[pick].first));
      liveBytes -= live[pick].second;
      live[pick] = live.back();
      live.pop_back();
    }
  }
  EXPECT_EQ(ledger.LiveBlocks(), live.size());
  EXPECT_EQ(ledger.LiveBytes(), liveBytes);
  EXPECT_EQ(ledger.PeakBytes(), peak);
  for (auto& [block, bytes] : live) EXPECT_TRUE(ledger.IsLive(block));
  EXPECT_FALSE(ledger.IsLive(nullptr));
  EXPECT_FALSE(ledger.Release(nullptr));
  int stack = 0;
  EXPECT_FALSE(ledger.Release(&stack));

  // Every live block belongs to one of the owners 1 to 3; each leak is taken once.
  size_t leaked = 0, leakedBytes = 0;
  for (uint64_t owner : {1, 2, 3}) {
    size_t bytes = 0;
    leaked += ledger.TakeLeaks(owner, &bytes);
    leakedBytes += bytes;
    EXPECT_EQ(ledger.TakeLeaks(owner, &bytes), 0u);
  }
  EXPECT_EQ(leaked, live.size());
  EXPECT_EQ(leakedBytes, liveBytes);
}

TEST(MemoryLedgerTest, WithoutTheFillBlocksAreStillBooked) {
  host::CMemoryLedger ledger;
  ledger.SetFill(false);
  void* block = ledger.Allocate(64, 1);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(ledger.IsLive(block));
  EXPECT_EQ(ledger.LiveBytes(), 64u);
  EXPECT_TRUE(ledger.Release(block));
  EXPECT_EQ(ledger.LiveBlocks(), 0u);
}

}  // namespace
