// Re-entrant calls: the host calls Main again from inside a request.
#include <vector>

#include "tests/host/ModuleHarness.h"

namespace {

class NestingTest : public ProtocolTest {};

// Each 'SETM' asks for a reset; the hook answers the reset by sending the next
// 'SETM' from inside it, until `attempts` calls have been made.
TEST_F(NestingTest, TenthNestedCallIsServedEleventhIsRefused) {
  std::vector<int32_t> results;
  int attempts = 0;
  host.onRequest = [&](uint32_t selector, void*) {
    if (selector != Request::kModelReset || attempts >= 11) return;
    ++attempts;
    results.push_back(host.Send(Selector::kModelSetup));
  };
  ++attempts;
  EXPECT_EQ(host.Send(Selector::kModelSetup), 0);
  host.onRequest = nullptr;
  EXPECT_EQ(attempts, 11);
  // Calls 1..10 were served (each asked for its reset); call 11 was not.
  EXPECT_EQ(host.ResetCount(0), 10);
  ASSERT_EQ(results.size(), 10u);
  for (int32_t result : results) EXPECT_EQ(result, 0);
}

TEST_F(NestingTest, CommandsDuringGenerationAreIgnored) {
  host.AddGroup(TriangleGroup());
  std::string text = "untouched";
  bool sent = false;
  int32_t nested = -1;
  int resetsBefore = host.ResetCount(0);
  host.onRequest = [&](uint32_t selector, void*) {
    if (selector != Request::kGetGroup || sent) return;
    sent = true;
    nested = host.Describe(2, &text);
    EXPECT_EQ(host.Send(Selector::kModelSetup), 0);
    EXPECT_EQ(host.Send(Selector::kInterface), 0);
  };
  EXPECT_EQ(host.Send(Selector::kGenerate), 0);
  host.onRequest = nullptr;
  ASSERT_TRUE(sent) << "'GENM' sent no 'GETG'";
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(text, "") << "a nested 'DESC' during 'GENM' was answered";
  EXPECT_EQ(host.ResetCount(0), resetsBefore) << "a nested 'SETM' during 'GENM' ran";
  EXPECT_EQ(host::CFileService::Instance().Opens(), 0u) << "a nested 'INTF' during 'GENM' opened the resource file";
}

}  // namespace
