// A host that does not export EI_MakeDialog: the module makes no dialog, so
// 'INTF' is a cancel (4) and the settings stay as they were.
#include "host/DialogScript.h"
#include "host/DialogService.h"
#include "tests/host/ModuleHarness.h"

namespace {

using MissingMakeDialogTest = ProtocolTest;

TEST_F(MissingMakeDialogTest, InterfaceAnswersFourWithoutADialog) {
  host::CDialogScript script;
  std::string error;
  ASSERT_TRUE(script.Parse("set 4 2\nok\n", &error)) << error;
  host::CDialogService::Instance().SetDriver(&script);
  ASSERT_EQ(host.Send(Selector::kInitialize), 0);
  const std::vector<uint8_t> before = host.InstanceData(0);
  EXPECT_EQ(host.Send(Selector::kInterface), 4);
  host::CDialogService::Instance().SetDriver(nullptr);
  EXPECT_EQ(host.InstanceData(0), before);
  EXPECT_EQ(host.ResetCount(0), 0);
  EXPECT_EQ(host::CDialogService::Instance().Executions(), 0u);
  EXPECT_EQ(script.Remaining(), 2u) << "a dialog ran although none could be made";
}

}  // namespace
