// The module's settings dialog and alert run by scripts in the substitute
// host: what OK, apply, cancel and the keys store and send, the list field's
// limits, the alert nested in the settings dialog, and the dialog-less cases
// ('INTF' during 'GENM', no resource file).
#include <cstring>
#include <fstream>

#include "host/DialogScript.h"
#include "host/DialogService.h"
#include "tests/host/ModuleHarness.h"

namespace {

namespace fs = std::filesystem;
using host::CDialogService;

// The five settings as stored after the instance block's tag slot.
struct CStored {
  int32_t mode = 0;
  float push = 0, scale = 0;
  int32_t useExclude = 0;
  std::string list;
};

uint32_t BigEndian(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

bool Decode(const std::vector<uint8_t>& block, CStored* stored) {
  const size_t start = sizeof(void*);
  if (block.size() < start + 28 || std::memcmp(block.data() + start, "WIRE", 4) != 0) return false;
  const uint8_t* s = block.data() + start;
  stored->mode = int32_t(BigEndian(s + 8));
  uint32_t bits = BigEndian(s + 12);
  std::memcpy(&stored->push, &bits, 4);
  bits = BigEndian(s + 16);
  std::memcpy(&stored->scale, &bits, 4);
  stored->useExclude = int32_t(BigEndian(s + 20));
  uint32_t length = BigEndian(s + 24);
  if (block.size() < start + 28 + length) return false;
  stored->list.assign(reinterpret_cast<const char*>(s + 28), length);
  return true;
}

class DialogRunTest : public ProtocolTest {
 protected:
  void SetUp() override {
    ProtocolTest::SetUp();
    dialogs.SetDriver(&script);
    ASSERT_EQ(host.Send(Selector::kInitialize), 0);
  }
  void TearDown() override {
    ProtocolTest::TearDown();
    dialogs.SetDriver(nullptr);
    EXPECT_EQ(dialogs.LiveDialogs(), 0u);
    if (!home.empty()) {
      fs::remove_all(home);
      host::CFileService::Instance().SetHomeDirectory(ModuleUnderTest().parent_path());
    }
  }
  // Sends 'INTF' with the script as the user.
  int32_t Interface(const std::string& text) {
    std::string error;
    EXPECT_TRUE(script.Parse(text, &error)) << error;
    int32_t result = host.Send(Selector::kInterface);
    EXPECT_FALSE(script.Failed()) << script.Failure();
    return result;
  }
  CStored Stored() {
    CStored stored;
    EXPECT_TRUE(Decode(host.InstanceData(0), &stored)) << "no settings stream in the instance block";
    return stored;
  }
  // A home directory whose resource file is the installed one with `member`
  // of control `id` of dialog 21000 set to `value`.
  void UseResourceWith(int id, const char* member, nlohmann::json value) {
    std::ifstream in(ModuleUnderTest().parent_path() / "Tressel.rsc");
    nlohmann::json document = nlohmann::json::parse(in);
    for (auto& control : document["dialogs"]["21000"]["controls"])
      if (control["id"] == id) control[member] = value;
    home = fs::temp_directory_path() / ("tressel-dialog-" + std::to_string(::getpid()));
    fs::create_directories(home);
    std::ofstream(home / "Tressel.rsc") << document.dump(1);
    host.SetHomeDirectory(home);
  }
  bool Warned(const std::string& part) const {
    for (const std::string& warning : script.Warnings())
      if (warning.find(part) != std::string::npos) return true;
    return false;
  }

  CDialogService& dialogs = CDialogService::Instance();
  host::CDialogScript script;
  fs::path home;
};

TEST_F(DialogRunTest, OkStoresEverySettingSendsChannelsAndResets) {
  ASSERT_EQ(host.Send(Selector::kInitChannel), 0);
  EXPECT_EQ(Interface("expect title Tressel 1.0.2\n"
                      "expect value 4 0\nexpect text 5 10.0\nexpect text 6 1.0\n"
                      "expect value 7 0\nexpect enabled 8 no\n"
                      "set 4 2\n"
                      "clear 5\ntype 5 2.5\n"
                      "clear 6\ntype 6 0.75\n"
                      "click 7\ntype 8 1 3 5\n"
                      "ok\n"),
            0);
  CStored stored = Stored();
  EXPECT_EQ(stored.mode, 2);
  EXPECT_FLOAT_EQ(stored.push, 2.5f);
  EXPECT_FLOAT_EQ(stored.scale, 0.75f);
  EXPECT_EQ(stored.useExclude, 1);
  EXPECT_EQ(stored.list, "1 3 5");
  EXPECT_EQ(host.ResetCount(0), 1);
  EXPECT_GE(host.RequestCount(Request::kSetChannel), 2);
  host::CChannel* push = host.FindChannel(0, "Push");
  ASSERT_NE(push, nullptr);
  EXPECT_DOUBLE_EQ(push->ValueAt(host.Setup().setupTime), 2.5);
  EXPECT_EQ(dialogs.ExecutedResources(), std::vector<int>{21000});
  EXPECT_EQ(script.Remaining(), 0u);
}

TEST_F(DialogRunTest, ApplyThenCancelKeepsTheAppliedValuesAndAnswersFour) {
  EXPECT_EQ(Interface("set 4 1\nclear 5\ntype 5 4\nclick 3\n"
                      "set 4 2\nclear 5\ntype 5 9\ncancel\n"),
            4);
  CStored stored = Stored();
  EXPECT_EQ(stored.mode, 1);
  EXPECT_FLOAT_EQ(stored.push, 4.0f);
  EXPECT_EQ(host.ResetCount(0), 1);
}

TEST_F(DialogRunTest, CancelWithoutApplyChangesNothing) {
  const std::vector<uint8_t> before = host.InstanceData(0);
  EXPECT_EQ(Interface("set 4 2\nclick 7\ntype 8 7\nkey escape\n"), 4);
  EXPECT_EQ(host.InstanceData(0), before);
  EXPECT_EQ(host.ResetCount(0), 0);
}

TEST_F(DialogRunTest, CheckBoxEnablesTheListAtOnce) {
  EXPECT_EQ(Interface("expect enabled 8 0\nclick 7\nexpect enabled 8 1\nexpect value 7 1\n"
                      "click 7\nexpect enabled 8 0\ncancel\n"),
            4);
}

// The module's filter refuses every character the field could not keep, so
// typing stops at the 99 characters that are stored.
TEST_F(DialogRunTest, ListFieldTakesNoMoreThanItStores) {
  const std::string kept(99, '7');
  EXPECT_EQ(Interface("click 7\ntype 8 " + kept + "89\nexpect text 8 " + kept + "\nok\n"), 0);
  EXPECT_TRUE(Warned("2 of 101 typed characters refused")) << "no refusal reported";
  EXPECT_EQ(Stored().list, kept);
}

TEST_F(DialogRunTest, DisabledListFieldCannotBeTyped) {
  std::string error;
  ASSERT_TRUE(script.Parse("type 8 1\n", &error));
  EXPECT_EQ(host.Send(Selector::kInterface), 4);
  EXPECT_NE(script.Failure().find("control 8 is disabled"), std::string::npos) << script.Failure();
}

TEST_F(DialogRunTest, SpaceAppliesOnlyWhileApplyIsEnabled) {
  EXPECT_EQ(Interface("set 4 1\nkey space\ncancel\n"), 4);
  EXPECT_EQ(Stored().mode, 1);
  EXPECT_EQ(host.ResetCount(0), 1);
}

TEST_F(DialogRunTest, SpaceWithApplyDisabledDoesNothing) {
  UseResourceWith(3, "enabled", false);
  const std::vector<uint8_t> before = host.InstanceData(0);
  // The module consumes the key: the host must not treat it as anything else.
  EXPECT_EQ(Interface("set 4 1\nkey space\nexpect dialog 21000\ncancel\n"), 4);
  EXPECT_EQ(host.InstanceData(0), before);
  EXPECT_EQ(host.ResetCount(0), 0);
}

TEST_F(DialogRunTest, ReturnAndEnterConfirmEscapeCancels) {
  EXPECT_EQ(Interface("set 4 2\nkey return\n"), 0);
  EXPECT_EQ(Stored().mode, 2);
  EXPECT_EQ(Interface("set 4 1\nkey enter\n"), 0);
  EXPECT_EQ(Stored().mode, 1);
  EXPECT_EQ(Interface("set 4 0\nkey escape\n"), 4);
  EXPECT_EQ(Stored().mode, 1);
  EXPECT_EQ(host.ResetCount(0), 2);
}

TEST_F(DialogRunTest, ReturnWithOkDisabledLeavesTheDialogOpen) {
  UseResourceWith(1, "enabled", false);
  EXPECT_EQ(Interface("key return\nexpect dialog 21000\nkey escape\n"), 4);
  EXPECT_EQ(host.ResetCount(0), 0);
}

TEST_F(DialogRunTest, AlertOpensOverTheDialogAndAnyButtonClosesIt) {
  EXPECT_EQ(Interface("click 9\nexpect dialog 400\n"
                      "expect text 101 Tressel turns the facets and borders of its child groups into wires.\n"
                      "expect title \nclick 1\n"
                      "expect dialog 21000\nclick 9\nkey return\n"
                      "expect dialog 21000\nset 4 2\nok\n"),
            0);
  EXPECT_EQ(Stored().mode, 2);
  EXPECT_EQ(dialogs.ExecutedResources(), (std::vector<int>{21000, 400, 400}));
  EXPECT_EQ(dialogs.DialogsMade(), 3u);
}

TEST_F(DialogRunTest, ScriptEndingInsideTheAlertCancelsBoth) {
  EXPECT_EQ(Interface("set 4 2\nclick 9\n"), 4);
  EXPECT_TRUE(Warned("dialog 400 was still running")) << "no warning for the alert";
  EXPECT_TRUE(Warned("dialog 21000 was still running")) << "no warning for the settings dialog";
  EXPECT_EQ(host.ResetCount(0), 0);
}

TEST_F(DialogRunTest, FailedExpectationCancelsWithTheLine) {
  std::string error;
  ASSERT_TRUE(script.Parse("set 4 1\nexpect value 4 2\nok\n", &error));
  EXPECT_EQ(host.Send(Selector::kInterface), 4);
  EXPECT_EQ(script.Failure(), "line 2: expected control 4 to be 2, but it is 1");
  EXPECT_EQ(script.Remaining(), 1u);
}

TEST_F(DialogRunTest, InterfaceDuringGenerateAnswersZeroWithoutADialog) {
  host.AddGroup(TriangleGroup());
  int32_t nested = -1;
  host.onRequest = [&](uint32_t, void*) {
    if (nested == -1) nested = host.Send(Selector::kInterface);
  };
  ASSERT_EQ(host.Send(Selector::kGenerate), 0);
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(dialogs.DialogsMade(), 0u);
  EXPECT_EQ(dialogs.Executions(), 0u);
}

TEST_F(DialogRunTest, WithoutTheResourceFileInterfaceAnswersSixAndShowsNothing) {
  home = fs::temp_directory_path() / ("tressel-dialog-empty-" + std::to_string(::getpid()));
  fs::create_directories(home);
  host.SetHomeDirectory(home);
  EXPECT_EQ(host.Send(Selector::kInterface), 6);
  EXPECT_EQ(dialogs.DialogsMade(), 0u);
  EXPECT_EQ(dialogs.Executions(), 0u);
}

TEST_F(DialogRunTest, ScriptErrorsNameTheLine) {
  std::string error;
  EXPECT_FALSE(script.Parse("ok\n\n# fine\nset 4\n", &error));
  EXPECT_EQ(error, "line 4: usage: set CONTROL VALUE");
  EXPECT_FALSE(script.Parse("press 1\n", &error));
  EXPECT_EQ(error, "line 1: unknown action 'press'");
  EXPECT_FALSE(script.Parse("key f13\n", &error));
  EXPECT_FALSE(script.Parse("expect enabled 8 maybe\n", &error));
}

// A module that breaks the text buffer promise or passes dead handles is
// reported by name; the host writes nothing past capacity + 1 bytes.
int32_t CarelessModule(uint32_t selector, int32_t, void*) {
  if (selector != Selector::kInterface) return 0;
  EI_DirectoryRef home = EI_GetHomeDirectory();
  EI_FileRef ref = EI_MakeFileRef(home, "Tressel.rsc", FourCC("rsrc"), "rsc");
  EI_ResourceFile file = EI_OpenResourceFile(ref);
  EI_DestroyFileRef(ref);
  EI_DestroyDirectoryRef(home);
  EI_Dialog* dialog = EI_MakeDialog(file, 21000);
  EI_CloseResourceFile(file);
  EI_Control* push = EI_FindControlByID(dialog, 5);
  EI_SetEditTextString(push, "0123456789");
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  int capacity = 4;
  EI_GetEditTextString(push, buffer, &capacity);
  static std::string seen;
  seen.assign(buffer, sizeof buffer);
  EI_GetControlValue(reinterpret_cast<EI_Control*>(buffer));
  EI_DestroyDialog(dialog);
  EI_GetControlEnable(push);
  return seen == std::string("0123") + '\0' + std::string(11, 'x') ? 0 : 99;
}

TEST(DialogViolationTest, BadCapacityAndDeadHandlesAreReportedByName) {
  host::CFileService::Instance().Reset();
  host::CHost host;
  host.SetHomeDirectory(ModuleUnderTest().parent_path());
  host.UseEntry(CarelessModule);
  EXPECT_EQ(host.Send(Selector::kInterface), 0) << "the host wrote past capacity + 1 bytes";
  std::string report = host.ViolationReport();
  EXPECT_NE(report.find("text capacity 'INTF': EI_GetEditTextString of control 5 of dialog 21000 got capacity 4"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("unknown control 'INTF': EI_GetControlValue"), std::string::npos) << report;
  EXPECT_NE(report.find("unknown control 'INTF': EI_GetControlEnable"), std::string::npos) << report;
  EXPECT_EQ(host.Violations().size(), 3u) << report;
}

int32_t LeakingModule(uint32_t selector, int32_t, void*) {
  if (selector != Selector::kInterface) return 0;
  EI_DirectoryRef home = EI_GetHomeDirectory();
  EI_FileRef ref = EI_MakeFileRef(home, "Tressel.rsc", FourCC("rsrc"), "rsc");
  EI_ResourceFile file = EI_OpenResourceFile(ref);
  EI_DestroyFileRef(ref);
  EI_DestroyDirectoryRef(home);
  EI_MakeDialog(file, 400);
  EI_CloseResourceFile(file);
  return 0;
}

TEST(DialogViolationTest, DialogLeftAfterTheCommandIsALeak) {
  host::CFileService::Instance().Reset();
  host::CHost host;
  host.SetHomeDirectory(ModuleUnderTest().parent_path());
  host.UseEntry(LeakingModule);
  host.Send(Selector::kInterface);
  EXPECT_NE(host.ViolationReport().find("dialog leak 'INTF': 1 dialog(s) (resource 400)"), std::string::npos)
      << host.ViolationReport();
  EXPECT_EQ(CDialogService::Instance().LiveDialogs(), 0u);
}

}  // namespace
