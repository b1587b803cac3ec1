// Main around the resource file, over the fake host's file functions: the
// file a command opened is closed on every way out, and whatever the host's
// close raises stays inside Main.
#include <stdlib.h>

#include <vector>

#include "plugin/PluginTask.h"
#include "tests/ui/DialogTestSupport.h"
#include "wire/WireTag.h"

namespace {

std::vector<uint8_t> gBlock;

// Serves what 'INIT' and 'FINI' ask for: memory, the creator, the block size.
int32_t FileHost(uint32_t selector, int32_t, void* record) {
  if (selector == Request::kMemAlloc) {
    auto* rec = static_cast<HostMemAllocRec*>(record);
    rec->block = malloc(size_t(rec->byteCount));
    return rec->block ? 0 : 1;
  }
  if (selector == Request::kMemFree) {
    free(static_cast<HostMemFreeRec*>(record)->block);
    return 0;
  }
  if (selector == Request::kCreator) {
    static_cast<HostCreatorRec*>(record)->creator = FourCC("TEST");
    return 0;
  }
  if (selector == Request::kAllocate) {
    auto* rec = static_cast<HostAllocateRec*>(record);
    gBlock.assign(size_t(rec->instanceDataSize), 0);
    rec->instanceData = gBlock.data();
    return 0;
  }
  return 0;
}

class EntryResourceFile : public DialogTest {
 protected:
  int32_t Send(uint32_t selector) {
    PluginRecHeader& header = *reinterpret_cast<PluginRecHeader*>(record_.data());
    header.instanceData = gBlock.empty() ? nullptr : gBlock.data();
    header.instanceDataSize = int32_t(gBlock.size());
    header.hostCallback = FileHost;
    return Main(selector, int32_t(sizeof(PluginRecHeader)), record_.data());
  }
  void TearDown() override {
    EXPECT_EQ(Send(Selector::kFinish), 0);
    EXPECT_EQ(CWireTag::LiveCount(), 0u);
    gBlock.clear();
    DialogTest::TearDown();
  }
  std::vector<uint8_t> record_ = std::vector<uint8_t>(256, 0);
};

TEST_F(EntryResourceFile, AHostCloseThatRaisesAnswers1AndTheNextCommandOpensAgain) {
  host_.resourceFileCloseThrows = true;
  EXPECT_EQ(Send(Selector::kInitialize), kResultMemory);
  EXPECT_EQ(stackCount, 0);
  EXPECT_EQ(theRF, nullptr);
  EXPECT_EQ(host_.filesClosed, 1);

  host_.resourceFileCloseThrows = false;
  EXPECT_EQ(Send(Selector::kInitialize), 0);
  EXPECT_EQ(host_.filesOpened, 2);
  EXPECT_EQ(host_.filesClosed, 2);
  EXPECT_EQ(theRF, nullptr);
}

}  // namespace
