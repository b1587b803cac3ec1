// The window framework against the fake dialog host: value and text rules,
// construction, keys, callback installation, centring and drag resizing.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/ui/DialogTestSupport.h"
#include "ui/CustomItem.h"
#include "ui/ParamData.h"
#include "ui/Window.h"

namespace {

constexpr int kDialog = 500;

class TestWindow : public CEIU_Window {
 public:
  explicit TestWindow(const char* title = nullptr) : CEIU_Window(kDialog, title) {}
  std::map<short, std::function<void(CParamData&)>> params;
  std::vector<EI_Point> adjusted;

  bool GetParam(short id, CParamData& d) override {
    auto it = params.find(id);
    if (it == params.end()) return false;
    it->second(d);
    return true;
  }
  void AdjustSize(short dw, short dh) override { adjusted.push_back(EI_Point{dw, dh}); }
};

class PopupItem : public CEIU_CustomItem {
 public:
  int value = 7;
  bool IsPopup() override { return true; }
  int CtrlVal() override { return value; }
  void SetCtrlVal(int v) override { value = v; }
};

class WindowTest : public DialogTest {
 protected:
  void Define(std::vector<FakeControlLayout> controls, int w = 300, int h = 200) {
    FakeDialogLayout layout;
    layout.width = w;
    layout.height = h;
    layout.controls = std::move(controls);
    host_.resources[kDialog] = layout;
  }
  FakeControl& C(int id) { return *host_.lastMade->Find(id); }
};

TEST_F(WindowTest, PopupsAreOneBasedAndValueWritesDrawAtOnce) {
  Define({{5, ControlType::kPopup, ""}, {6, kCheckBox, ""}});
  TestWindow w;
  EXPECT_EQ(w.CtrlVal(5), 1);
  w.SetCtrlVal(5, 1);
  EXPECT_EQ(C(5).value, 0);
  EXPECT_TRUE(C(5).lastWriteImmediate);
  EXPECT_FALSE(C(5).drawImmediate);
  w.SetCtrlVal(6, 1);
  EXPECT_EQ(w.CtrlVal(6), 1);
}

TEST_F(WindowTest, SetTextWritesOnlyWhatChanged) {
  Define({{8, ControlType::kEditText, "abc"}, {9, ControlType::kStaticText, "x"}});
  TestWindow w;
  PascalString text;
  text = "abc";
  w.SetText(8, text);
  EXPECT_EQ(C(8).textWrites, 0);
  text = "abd";
  w.SetText(8, text);
  EXPECT_EQ(C(8).text, "abd");
  EXPECT_EQ(C(8).textWrites, 1);
  EXPECT_TRUE(C(8).lastWriteImmediate);
  EXPECT_FALSE(C(8).drawImmediate);
  w.SetLong(9, -5);  // through the title: the fake objects to titles on edit fields
  EXPECT_EQ(C(9).text, "-5");
}

TEST_F(WindowTest, TextReadsStayInsideTheBuffer) {
  Define({{8, ControlType::kEditText, std::string(300, 'a')}});
  TestWindow w;
  PascalString text;
  w.GetText(8, text);
  EXPECT_EQ(text.Length(), 254);
  host_.textWithoutTerminator = true;
  C(8).text = "short";
  w.GetText(8, text);
  EXPECT_EQ(text.Length(), 254);
  EXPECT_EQ(std::string(text.c_str(), 5), "short");
}

TEST_F(WindowTest, MissingControlsReadAsZeroWithoutNullHandles) {
  Define({});
  TestWindow w;
  PascalString text;
  text = "x";
  w.GetText(42, text);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(w.CtrlVal(42), 0);
  const EI_Rect r = w.GetItemRect(42);
  EXPECT_EQ(r.left | r.top | r.right | r.bottom, 0);
  w.SetText(42, text);
  w.SetCtrlVal(42, 3);
  w.EnableItem(42, false);
  w.OffsetItem(42, EI_Point{1, 1});
  EXPECT_FALSE(w.Enabled(42));
}

TEST_F(WindowTest, CustomItemsAnswerForThemselves) {
  PopupItem item;
  Define({{3, ControlType::kCustom, "", 0, true, {}, &item}, {4, ControlType::kCustomText, ""}});
  TestWindow w;
  EXPECT_EQ(w.CtrlVal(3), 7);  // no popup offset: the item gives the framework's value
  w.SetCtrlVal(3, 2);
  EXPECT_EQ(item.value, 2);
  EXPECT_EQ(C(3).invalidations, 1);
  EXPECT_EQ(C(3).valueWrites, 0);
  EXPECT_EQ(w.CtrlVal(4), 0);  // no item object
  EXPECT_FALSE(w.IsControlItem(4));
}

TEST_F(WindowTest, UnexportedTabFunctionsAreAskedForAgainAndDoNothing) {
  Define({{6, ControlType::kTab, "", 3}});
  TestWindow w;
  const int before = host_.lookups["EI_GetCurrentTabPanel"];
  EXPECT_EQ(w.CtrlVal(6), 0);
  EXPECT_EQ(w.CtrlVal(6), 0);
  EXPECT_EQ(host_.lookups["EI_GetCurrentTabPanel"], before + 2);
  w.SetCtrlVal(6, 1);
  EXPECT_EQ(C(6).value, 3);
  EXPECT_EQ(C(6).valueWrites, 0);
}

TEST_F(WindowTest, EnablingAndColoursTouchTheHostOnlyAsNeeded) {
  Define({{1, ControlType::kPushButton, "OK"}, {2, 20, ""}});
  TestWindow w;
  w.EnableItem(1, true);
  EXPECT_EQ(C(1).enableWrites, 0);
  w.EnableItem(1, false);
  EXPECT_EQ(C(1).enableWrites, 1);
  EXPECT_FALSE(w.Enabled(1));

  w.SetCtrlValColor(2, ARGB{0x40, 0x10, 0x20, 0x30});
  EXPECT_EQ(C(2).rgba[0], 0x10);
  EXPECT_EQ(C(2).rgba[3], 0x40);
  C(2).rgba[0] = 0x1FF;
  const ARGB c = w.CtrlValColor(2);
  EXPECT_EQ(c.red, 0xFF);
  EXPECT_EQ(c.alpha, 0x40);
}

TEST_F(WindowTest, ConstructionCentresRegistersAndSetsTheTitleLiterally) {
  Define({}, 300, 200);
  TestWindow w("100% %s");
  FakeDialog& d = *host_.lastMade;
  EXPECT_EQ(d.left, 350);
  EXPECT_EQ(d.top, 300);
  EXPECT_EQ(d.extra, &w);
  EXPECT_NE(d.keyFilter, nullptr);
  ASSERT_EQ(d.titles.size(), 1u);
  EXPECT_EQ(d.titles[0], "100% %s");
  // The resource file was opened for the construction only.
  EXPECT_EQ(host_.filesOpened, 1);
  EXPECT_EQ(host_.filesClosed, 1);
}

TEST_F(WindowTest, CenteringClampsToTheMonitorsTopLeft) {
  host_.monitor = EI_Rect{100, 50, 600, 450};
  Define({}, 900, 700);
  TestWindow w;
  EXPECT_EQ(host_.lastMade->left, 100);
  EXPECT_EQ(host_.lastMade->top, 50);
  host_.lastMade->width = 100;
  host_.lastMade->height = 100;
  w.CenterWin(0.5f, 0.25f);  // fy from the bottom: 450 - 100 = 350, minus half the height
  EXPECT_EQ(host_.lastMade->left, 300);
  EXPECT_EQ(host_.lastMade->top, 300);
}

TEST_F(WindowTest, WithoutResourceFileOrDialogRunCancelsAtOnce) {
  Define({{1, ControlType::kPushButton, "OK"}});
  host_.resourceFileOpens = false;
  {
    TestWindow w;
    EXPECT_EQ(w.dialog, nullptr);
    EXPECT_FALSE(w.Run());
  }
  host_.resourceFileOpens = true;
  host_.makeDialogAnswers = false;
  {
    TestWindow w;
    EXPECT_FALSE(w.Run());
  }
  EXPECT_EQ(host_.dialogsMade, 0);
  EXPECT_EQ(host_.executions, 0);
}

TEST_F(WindowTest, ReturnEnterAndEscapeAreHandledEvenWhenTheirButtonIsDisabled) {
  Define({{1, ControlType::kPushButton, "OK", 0, false}, {2, ControlType::kPushButton, "Cancel", 0, false}});
  host_.Script(kDialog, {Press(13), Press(3), Press(27), Do([](FakeDialog& d) {
                           EXPECT_FALSE(d.stopped);
                           d.Find(1)->enabled = true;
                         }),
                         Press(3)});
  TestWindow w;
  EXPECT_FALSE(w.KeyDown('a', 0));
  EXPECT_TRUE(w.Run());
  EXPECT_EQ(host_.unfinishedRuns, 0);

  host_.lastMade->Find(2)->enabled = true;
  host_.Script(kDialog, {Press(27)});
  EXPECT_FALSE(w.Run());
  EXPECT_EQ(host_.unfinishedRuns, 0);
}

TEST_F(WindowTest, HitFunctionsAndEditFiltersGoWhereTheyBelong) {
  int a = 0, b = 0, c = 0, d = 0;
  Define({{1, ControlType::kPushButton, "OK"},
          {3, ControlType::kCustom, ""},
          {4, ControlType::kEditText, ""},
          {5, ControlType::kEditText, ""},
          {6, ControlType::kEditText, ""},
          {7, ControlType::kEditText, ""}});
  TestWindow w;
  w.params[4] = [&](CParamData& p) { p.MakeLong(&a, 0, CParamData::kNoLimit); };
  w.params[5] = [&](CParamData& p) { p.MakeLong(&b, 0, 100); };
  w.params[6] = [&](CParamData& p) { p.MakeLong(&c, 10, CParamData::kNoLimit); };
  w.params[7] = [&](CParamData& p) { p.MakeLong(&d, CParamData::kNoLimit, 100); };
  w.SetEditFilter();
  EXPECT_NE(C(1).hit, nullptr);
  EXPECT_EQ(C(3).hit, nullptr);
  EXPECT_EQ(C(4).filter, nullptr);
  EXPECT_NE(C(5).filter, nullptr);
  EXPECT_EQ(C(5).filterMode, 5);
  EXPECT_NE(C(6).filter, nullptr);
  EXPECT_EQ(C(7).filter, nullptr);
}

TEST_F(WindowTest, CallbacksWithoutAWindowDoNothing) {
  Define({{1, ControlType::kPushButton, "OK"}, {5, ControlType::kEditText, ""}});
  TestWindow w;
  host_.lastMade->extra = nullptr;  // as for a dialog the module did not register
  EI_Control* control = reinterpret_cast<EI_Control*>(&C(1));
  MyHitFunc(control, nullptr);
  MyHitFunc(nullptr, nullptr);
  EXPECT_FALSE(MyEditFilter(reinterpret_cast<EI_Control*>(&C(5)), "1"));
  EXPECT_EQ(MyDialogKeyFilter(reinterpret_cast<EI_Dialog*>(host_.lastMade), 13, 0), 0);
}

class DragSizeTest : public WindowTest {
 protected:
  // Client 296 x 180 inside a frame of (4, 20); the grip is centred on (291, 175).
  void SetUp() override {
    WindowTest::SetUp();
    FakeDialogLayout layout;
    layout.width = 300;
    layout.height = 200;
    layout.frameDx = 4;
    layout.frameDy = 20;
    layout.controls = {{30, kStepper, "", 0, true, EI_Rect{286, 170, 296, 180}}};
    host_.resources[kDialog] = layout;
  }
  void CheckSteps(const FakeDialog& d, int maxW, int maxH) {
    int w = 296, h = 180;
    for (const EI_Point& s : d.sizes) {
      const int cw = s.x - 4, ch = s.y - 20;
      EXPECT_EQ((cw - w) % 2, 0) << "odd width change to " << cw;
      EXPECT_EQ((ch - h) % 2, 0) << "odd height change to " << ch;
      EXPECT_LE(cw, maxW);
      EXPECT_LE(ch, maxH);
      w = cw;
      h = ch;
    }
  }
};

TEST_F(DragSizeTest, SizesChangeInEvenStepsAndTheGripFollows) {
  host_.mouse = {{291, 175}, {291, 175}, {300, 180}, {333, 190}};
  TestWindow w;
  w.DragSize(30, nullptr, nullptr, false);
  FakeDialog& d = *host_.lastMade;
  ASSERT_EQ(d.sizes.size(), 2u);
  EXPECT_EQ(d.sizes[0].x, 300 + 8);  // +9 becomes +8
  EXPECT_EQ(d.sizes[0].y, 200 + 4);  // +5 becomes +4
  CheckSteps(d, 990, 790);
  const EI_Point client = w.GetClientSize();
  EXPECT_EQ(C(30).bounds.right, 296 + (client.x - 296));
  ASSERT_EQ(w.adjusted.size(), 1u);
  EXPECT_EQ(w.adjusted[0].x, client.x - 296);
  EXPECT_EQ(w.adjusted[0].y, client.y - 180);
}

TEST_F(DragSizeTest, NeverPastTheMonitorEdgeMinusTen) {
  // Limits 291 x 171, below the client size of 296 x 180: the dialog shrinks
  // to the limit in even steps, not to one unit past it.
  host_.monitor = EI_Rect{0, 0, 301, 181};
  host_.mouse = {{291, 175}, {900, 900}, {950, 950}};
  EI_Point minimum{500, 100};  // a minimum that does not fit on the monitor
  TestWindow w;
  w.DragSize(30, &minimum, nullptr, false);
  CheckSteps(*host_.lastMade, 291, 171);
  const EI_Point client = w.GetClientSize();
  EXPECT_EQ(client.x, 290);
  EXPECT_EQ(client.y, 170);
}

TEST_F(DragSizeTest, ProportionalDragFollowsTheDiagonalAndLimitsApply) {
  host_.mouse = {{291, 175}, {331, 195}};
  EI_Point maximum{310, 400};
  TestWindow w;
  w.DragSize(30, nullptr, &maximum, true);
  // d = min(40, 20) = 20 on both axes; the width is then capped at 310.
  const EI_Point client = w.GetClientSize();
  EXPECT_EQ(client.x, 310);
  EXPECT_EQ(client.y, 200);
}

TEST_F(DragSizeTest, AnUnknownMonitorDoesNotSqueezeTheDialog) {
  host_.monitor = EI_Rect{0, 0, 0, 0};
  host_.mouse = {{291, 175}, {301, 185}};
  TestWindow w;
  w.DragSize(30, nullptr, nullptr, false);
  const EI_Point client = w.GetClientSize();
  EXPECT_EQ(client.x, 306);
  EXPECT_EQ(client.y, 190);
}

}  // namespace
