// The host's dialog functions on their own, as a module would call them
// inside a command: resource checks, tab panels, colour buttons, custom
// items, text buffers and mouse tracking.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>

#include "host/DialogService.h"
#include "host/FileService.h"

namespace {

namespace fs = std::filesystem;
using host::CDialogService;
using host::CFileService;

const char* kLayout = R"({"format": "tressel-resources", "dialogs": {"7": {
  "title": "Panels", "size": [300, 220], "frameOffset": [4, 20], "controls": [
    {"id": 1, "type": "push", "bounds": [10, 180, 80, 200], "title": "OK"},
    {"id": 10, "type": "tab", "bounds": [0, 0, 296, 170],
     "panels": [{"title": "One", "controls": [11]}, {"title": "Two", "controls": [20, 30]}]},
    {"id": 11, "type": "check", "bounds": [10, 30, 200, 46], "title": "first"},
    {"id": 20, "type": "slider", "bounds": [10, 30, 200, 46], "minimum": -5, "maximum": 5},
    {"id": 30, "type": "color", "bounds": [10, 60, 40, 76], "color": [1, 2, 3, 4]},
    {"id": 40, "type": "custom", "bounds": [210, 30, 290, 46], "extra": {"popup": true, "value": 3}},
    {"id": 50, "type": 17, "bounds": [210, 60, 290, 90], "value": -8}]}}})";

class DialogServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files.Reset();
    home = fs::temp_directory_path() / ("tressel-dialog-service-" + std::to_string(::getpid()));
    fs::create_directories(home);
    std::ofstream(home / "Tressel.rsc") << kLayout;
    files.SetHomeDirectory(home);
    files.SetCommandInProgress(true);
    EI_DirectoryRef directory = EI_GetHomeDirectory();
    EI_FileRef ref = EI_MakeFileRef(directory, "Tressel.rsc", 0, "rsc");
    file = EI_OpenResourceFile(ref);
    EI_DestroyFileRef(ref);
    EI_DestroyDirectoryRef(directory);
    ASSERT_NE(file, nullptr) << files.LastOpenFailure();
    dialog = EI_MakeDialog(file, 7);
    ASSERT_NE(dialog, nullptr) << dialogs.LastMakeFailure();
  }
  void TearDown() override {
    EI_DestroyDialog(dialog);
    EI_CloseResourceFile(file);
    files.SetCommandInProgress(false);
    files.CheckIdle();
    fs::remove_all(home);
  }
  std::vector<std::string> Violations() {
    std::vector<std::string> names;
    for (const host::CViolation& violation : files.TakeViolations()) names.push_back(violation.name);
    return names;
  }
  host::CLiveControl& Live(int id) { return *reinterpret_cast<host::CLiveControl*>(EI_FindControlByID(dialog, id)); }

  CFileService& files = CFileService::Instance();
  CDialogService& dialogs = CDialogService::Instance();
  fs::path home;
  EI_ResourceFile file = nullptr;
  EI_Dialog* dialog = nullptr;
};

TEST_F(DialogServiceTest, LayoutAsTheResourceDescribesIt) {
  EXPECT_EQ(EI_MakeDialog(file, 8), nullptr);
  EXPECT_EQ(dialogs.LastMakeFailure(), "the resource file has no dialog 8");
  EXPECT_EQ(EI_CountControls(dialog), 7);
  EXPECT_EQ(EI_GetControlID(EI_FindControlByIndex(dialog, 6)), 50);
  EXPECT_EQ(EI_FindControlByIndex(dialog, 7), nullptr);
  EXPECT_EQ(EI_FindControlByID(dialog, 99), nullptr);
  int w = 0, h = 0, dx = 0, dy = 0;
  EI_GetDialogSize(dialog, &w, &h);
  EI_GetDialogFrameOffset(dialog, &dx, &dy);
  EXPECT_EQ((std::vector<int>{w, h, dx, dy}), (std::vector<int>{300, 220, 4, 20}));
  EI_Control* generic = EI_FindControlByID(dialog, 50);
  EXPECT_EQ(EI_GetControlType(generic), 17);
  EXPECT_EQ(EI_GetControlValue(generic), -8);
  EXPECT_EQ(EI_GetControlDialog(generic), dialog);
  EI_Rect monitor{0, 0, 0, 0};
  EI_GetMonitorBounds(&monitor);
  EXPECT_EQ(monitor.right, 1920);
  EXPECT_EQ(monitor.bottom, 1080);
  EXPECT_TRUE(Violations().empty());
}

TEST_F(DialogServiceTest, TabPanelsHideTheOtherPanelsControls) {
  EI_Control* tab = EI_FindControlByID(dialog, 10);
  EXPECT_EQ(EI_GetCurrentTabPanel(tab), 1);
  EXPECT_EQ(dialogs.ExecuteDialog(dialog), 0) << "without a driver a run is a cancel";
  host::CLiveDialog& live = *reinterpret_cast<host::CLiveDialog*>(dialog);
  EXPECT_TRUE(live.Visible(Live(11)));
  EXPECT_FALSE(live.Visible(Live(20)));
  EI_SetCurrentTabPanel(tab, 2);
  EXPECT_FALSE(live.Visible(Live(11)));
  EXPECT_TRUE(live.Visible(Live(30)));
  EXPECT_TRUE(live.Visible(Live(40))) << "a control on no panel is always shown";
  EXPECT_TRUE(Violations().empty());
  EI_SetCurrentTabPanel(tab, 3);
  EXPECT_EQ(EI_GetCurrentTabPanel(tab), 2);
  EI_GetCurrentTabPanel(EI_FindControlByID(dialog, 11));
  EXPECT_EQ(Violations(), (std::vector<std::string>{"no such tab panel", "not a tab control"}));
}

TEST_F(DialogServiceTest, ColourButtonsKeepTheirComponents) {
  EI_Control* color = EI_FindControlByID(dialog, 30);
  int r = 0, g = 0, b = 0, a = 0;
  EI_GetColorButtonColor(color, &r, &g, &b, &a);
  EXPECT_EQ((std::vector<int>{r, g, b, a}), (std::vector<int>{1, 2, 3, 4}));
  EI_SetColorButtonColor(color, 255, 0, 128, 7);
  EI_GetColorButtonColor(color, &r, &g, &b, &a);
  EXPECT_EQ((std::vector<int>{r, g, b, a}), (std::vector<int>{255, 0, 128, 7}));
  EI_SetColorButtonColor(color, 256, 0, 0, 0);
  EI_GetColorButtonColor(color, &r, &g, &b, &a);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(Violations(), std::vector<std::string>{"colour component"});
}

TEST_F(DialogServiceTest, CustomItemsAnswerThroughTheirObject) {
  auto* item = static_cast<CEIU_CustomItem*>(EI_GetControlExtraData(EI_FindControlByID(dialog, 40)));
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->IsPopup());
  EXPECT_EQ(item->CtrlVal(), 3);
  item->SetCtrlVal(5);
  EXPECT_EQ(Live(40).ItemValue(), 5);
  EXPECT_EQ(EI_GetControlExtraData(EI_FindControlByID(dialog, 11)), nullptr);
}

TEST_F(DialogServiceTest, TextsStayWithinThePromisedBuffer) {
  EI_Control* ok = EI_FindControlByID(dialog, 1);
  EI_SetControlTitle(ok, std::string(300, 'a').c_str());
  char buffer[256];
  std::memset(buffer, 0, sizeof buffer);
  buffer[255] = 'z';
  int capacity = 254;
  EI_GetControlTitle(ok, buffer, &capacity);
  EXPECT_EQ(std::strlen(buffer), 254u);
  EXPECT_EQ(buffer[255], 'z');
  EXPECT_EQ(capacity, 254);
  EXPECT_TRUE(Violations().empty());
  buffer[254] = 'q';
  EI_GetControlTitle(ok, buffer, &capacity);
  EXPECT_EQ(Violations(), std::vector<std::string>{"text buffer"});
}

// The hit function of a grip: follows the mouse while it is down.
std::vector<EI_Point> theTrack;
void TrackingHit(EI_Control* control, EI_DrawContext*) {
  int x = 0, y = 0;
  while (EI_TrackMouseDown(control, &x, &y)) theTrack.push_back(EI_Point{x, y});
}

TEST_F(DialogServiceTest, DragReportsTheMouseUntilReleased) {
  EI_Control* generic = EI_FindControlByID(dialog, 50);
  EI_SetControlHitFunction(generic, TrackingHit);
  host::CLiveDialog& live = *reinterpret_cast<host::CLiveDialog*>(dialog);
  live.running = true;  // as inside EI_ExecuteDialog
  theTrack.clear();
  std::string why;
  ASSERT_TRUE(dialogs.Drag(Live(50), 40, -20, &why)) << why;
  live.running = false;
  ASSERT_EQ(theTrack.size(), 5u);
  EXPECT_EQ(theTrack.front().x, 250);
  EXPECT_EQ(theTrack.front().y, 75);
  EXPECT_EQ(theTrack.back().x, 290);
  EXPECT_EQ(theTrack.back().y, 55);
  int x = 0, y = 0;
  EXPECT_EQ(EI_TrackMouseDown(generic, &x, &y), 0) << "the button is up after the drag";
}

TEST(DialogResourceTest, MistakesAreNamed) {
  struct {
    const char* controls;
    const char* error;
  } cases[] = {
      {R"([{"id": 1, "type": "push", "bounds": [0, 0, 10, 10]}, {"id": 1, "type": "push", "bounds": [0, 0, 10, 10]}])",
       "dialog 5: control id 1 appears twice"},
      {R"([{"id": 2, "type": "edit", "bounds": [0, 0, 101, 10]}])",
       "dialog 5 control 2: bounds lie outside the client area 100 x 80"},
      {R"([{"id": 3, "type": "popup", "bounds": [0, 0, 10, 10], "items": ["a"], "value": 1}])",
       "dialog 5 control 3: \"value\" must name one of the items (0-based)"},
      {R"([{"id": 4, "type": "knob", "bounds": [0, 0, 10, 10]}])", "dialog 5 control 4: unknown control type \"knob\""},
      {R"([{"id": 6, "type": "tab", "bounds": [0, 0, 10, 10], "panels": [{"title": "p", "controls": [9]}]}])",
       "dialog 5 control 6: panel \"p\" names control 9, which is not another control of the dialog"},
      {R"([{"id": 7, "type": "static", "bounds": [0, 0, 10, 10], "title": "caf\u00e9"}])",
       "dialog 5 control 7: \"title\" holds a character that is not printable ASCII"},
  };
  for (const auto& c : cases) {
    std::string text = std::string(R"({"dialogs": {"5": {"size": [100, 100], "frameOffset": [0, 20], "controls": )") +
                       c.controls + "}}}";
    std::string error;
    EXPECT_FALSE(host::ParseDialogResources(nlohmann::json::parse(text), nullptr, &error)) << text;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
