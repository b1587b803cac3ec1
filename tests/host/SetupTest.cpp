// 'SETM': the module asks for a model reset every time and for the creator
// code once per load; a fresh load forgets it.
#include "tests/host/ModuleHarness.h"

namespace {

class SetupTest : public ProtocolTest {};

TEST_F(SetupTest, ResetOnEverySetupCreatorOnce) {
  host.Setup().setupTime = 12;
  host.Setup().matrices[3][12] = 5.0;
  EXPECT_EQ(host.Send(Selector::kModelSetup), 0);
  EXPECT_EQ(host.ResetCount(0), 1);
  EXPECT_EQ(host.RequestCount(Request::kCreator), 1);
  EXPECT_EQ(host.Send(Selector::kModelSetup), 0);
  EXPECT_EQ(host.ResetCount(0), 2);
  EXPECT_EQ(host.RequestCount(Request::kCreator), 1);
}

TEST_F(SetupTest, RefusedResetIsTheAnswer) {
  host.Faults().FailRequest(Request::kModelReset, 1, 42);
  EXPECT_EQ(host.Send(Selector::kModelSetup), 42);
  EXPECT_EQ(host.Send(Selector::kModelSetup), 0);
}

TEST_F(SetupTest, RefusedCreatorLeavesNoError) {
  host.Faults().AnswerCreator(9);
  EXPECT_EQ(host.Send(Selector::kModelSetup), 0);
  EXPECT_EQ(host.ResetCount(0), 1);
}

TEST_F(SetupTest, FreshLoadAsksForTheCreatorAgain) {
  ASSERT_EQ(host.Send(Selector::kModelSetup), 0);
  ASSERT_EQ(host.RequestCount(Request::kCreator), 1);
  host.UnloadModule();
  std::string error;
  ASSERT_TRUE(host.LoadModule(ModuleUnderTest(), &error)) << error;
  ASSERT_EQ(host.Send(Selector::kModelSetup), 0);
  EXPECT_EQ(host.RequestCount(Request::kCreator), 2) << "module state survived the unload";
}

TEST_F(SetupTest, LoadFailureNamesThePath) {
  std::string error;
  host::CModule module;
  EXPECT_FALSE(module.Load("/nonexistent/Tressel.plm", &error));
  EXPECT_NE(error.find("/nonexistent/Tressel.plm"), std::string::npos) << error;
  EXPECT_FALSE(module.IsLoaded());
}

}  // namespace
