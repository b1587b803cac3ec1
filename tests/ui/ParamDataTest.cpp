// Parameter descriptors: limits, the typing rules, conversions with clamping,
// and transfers through a window (including the edit filter as the host
// drives it).
#include <math.h>
#include <string.h>

#include <string>

#include "tests/ui/DialogTestSupport.h"
#include "ui/ParamData.h"
#include "ui/Window.h"

namespace {

PascalString Text(const char* s) {
  PascalString p;
  p = s;
  return p;
}

TEST(ParamDataTest, TheSentinelMeansNoLimitAndCopiesKeepTheirOwnLimits) {
  int v = 0;
  CParamData d;
  d.MakeLong(&v, CParamData::kNoLimit, CParamData::kNoLimit);
  EXPECT_EQ(d.lowerLimit, nullptr);
  EXPECT_EQ(d.upperLimit, nullptr);
  uint8_t buffer[256] = {};
  d.MakeStr(buffer, 0, 100);
  EXPECT_EQ(d.lowerLimit, &d.lowerValue);
  EXPECT_EQ(d.upperLimit, &d.upperValue);
  EXPECT_EQ(*d.upperLimit, 100);
  const CParamData copy(d);
  EXPECT_EQ(copy.upperLimit, &copy.upperValue);
  EXPECT_EQ(copy.lowerLimit, &copy.lowerValue);
}

TEST(ParamDataTest, TypingRules) {
  int i = 0;
  float f = 0;
  CParamData integer, real, positive;
  integer.MakeLong(&i, 0, 100);
  real.MakeFlot(&f, 0, CParamData::kNoLimit);
  positive.MakeLong(&i, 10, CParamData::kNoLimit);
  EXPECT_TRUE(integer.Valid(Text("-")));  // a minus just typed
  EXPECT_FALSE(integer.Valid(Text("-1")));
  EXPECT_TRUE(integer.Valid(Text("100")));
  EXPECT_FALSE(integer.Valid(Text("101")));
  EXPECT_FALSE(integer.Valid(Text("")));
  EXPECT_FALSE(integer.Valid(Text("1x")));
  EXPECT_FALSE(real.Valid(Text("-")));
  EXPECT_FALSE(real.Valid(Text("-0.5")));
  EXPECT_TRUE(real.Valid(Text("1e3")));
  EXPECT_FALSE(real.Valid(Text("inf")));
  EXPECT_FALSE(real.Valid(Text("nan")));
  EXPECT_TRUE(positive.Valid(Text("1")));  // 15 can be typed through 1
}

TEST(ParamDataTest, TextConversionsClampToTheLimits) {
  int i = 0;
  CParamData integer;
  integer.MakeLong(&i, 0.5, 9.7);
  PascalString t = Text("12a");  // the readable prefix, then clamped
  integer.GetData(t);
  EXPECT_EQ(i, 9);
  t = Text("-3");
  integer.GetData(t);
  EXPECT_EQ(i, 0);

  float f = 1;
  CParamData real;
  real.MakeFlot(&f, 0.5, 2);
  t = Text("3");
  real.GetData(t);
  EXPECT_EQ(f, 2.0f);
  t = Text("0");
  real.GetData(t);
  EXPECT_EQ(f, 0.5f);

  CParamData open;
  open.MakeFlot(&f, CParamData::kNoLimit, CParamData::kNoLimit);
  t = Text("abc");
  open.GetData(t);
  EXPECT_EQ(f, 0.0f);
  t = Text("1e300");
  open.GetData(t);
  EXPECT_TRUE(isfinite(f));
  EXPECT_GT(f, 1e38f);
  t = Text("nan");
  open.GetData(t);
  EXPECT_EQ(f, 0.0f);

  uint8_t byte = 0;
  CParamData bytes;
  bytes.type = CParamData::kByt1;
  bytes.data = &byte;
  t = Text("300");
  bytes.GetData(t);
  EXPECT_EQ(byte, 255);
}

TEST(ParamDataTest, StringsKeepExactlyWhatTypingAccepted) {
  uint8_t buffer[256];
  memset(buffer, 0xEE, sizeof buffer);
  CParamData d;
  d.MakeStr(buffer, 0, 100);
  EXPECT_TRUE(d.Valid(Text(std::string(99, 'a').c_str())));
  EXPECT_FALSE(d.Valid(Text(std::string(100, 'a').c_str())));
  PascalString t = Text(std::string(100, 'b').c_str());
  d.GetData(t);
  EXPECT_EQ(t.Length(), 99);  // the argument itself is cut
  EXPECT_EQ(buffer[0], 99);
  EXPECT_EQ(buffer[99], 'b');
  EXPECT_EQ(buffer[100], 0);
  EXPECT_EQ(buffer[101], 0xEE);
}

class ParamWindowTest : public DialogTest {
 protected:
  static constexpr int kDialog = 600;
  class Window : public CEIU_Window {
   public:
    Window() : CEIU_Window(kDialog, nullptr) {}
    int count = 0, flags = 0x10, wholeFlags = 0;
    float ratio = 1.5f, scale = 2.0f;
    bool GetParam(short id, CParamData& d) override {
      switch (id) {
        case 11: d.MakeLong(&count, 0, 100); return true;
        case 12: d.MakeFlot(&ratio, 0, 1000); return true;
        case 13: d.MakeFlot(&scale, 0.5, 2); return true;
        case 14:
        case 15:
          d.type = CParamData::kFlag;
          d.data = id == 14 ? &flags : &wholeFlags;
          d.lowerValue = id == 14 ? 16 : -16;  // bit 0x10; shown inverted for 15
          return true;
        default: return false;
      }
    }
  };
  void SetUp() override {
    DialogTest::SetUp();
    FakeDialogLayout layout;
    layout.controls = {{1, ControlType::kPushButton, "OK"}, {2, ControlType::kPushButton, "Cancel"},
                     {11, ControlType::kEditText, ""}, {12, ControlType::kEditText, ""},
                     {13, ControlType::kEditText, ""}, {14, kCheckBox, ""}, {15, kCheckBox, ""}};
    host_.resources[kDialog] = layout;
  }
};

TEST_F(ParamWindowTest, TheEditFilterJudgesEachProposedText) {
  // Typing starts in emptied fields, as after selecting the whole text.
  auto clear = [](int id) { return Do([id](FakeDialog& d) { d.Find(id)->text.clear(); }); };
  host_.Script(kDialog, {clear(11), Type(11, "-1"), Do([](FakeDialog& d) { EXPECT_EQ(d.Find(11)->text, "-"); }),
                         Paste(11, "42"), clear(12), Type(12, "-2.5"),
                         Do([](FakeDialog& d) { EXPECT_EQ(d.Find(12)->text, "2.5"); }), Paste(13, "3"),
                         Paste(13, "0.1"), Press(13)});
  Window w;
  EXPECT_TRUE(w.Run());
  EXPECT_EQ(w.count, 42);
  EXPECT_EQ(w.ratio, 2.5f);
  EXPECT_EQ(w.scale, 0.5f);  // 3 refused while typing; 0.1 accepted, raised to the lower limit
}

TEST_F(ParamWindowTest, NumbersAndFlagsAreShownAsStored) {
  host_.Script(kDialog, {Do([](FakeDialog& d) {
                           EXPECT_EQ(d.Find(11)->text, "0");
                           EXPECT_EQ(d.Find(12)->text, "1.5");
                           EXPECT_EQ(d.Find(13)->text, "2.0");
                           EXPECT_EQ(d.Find(14)->value, 1);
                           EXPECT_EQ(d.Find(15)->value, 1);  // bit clear, shown inverted
                           d.Find(14)->value = 0;
                           d.Find(15)->value = 0;
                         }),
                         Press(3)});
  Window w;
  w.flags = 0x13;
  EXPECT_TRUE(w.Run());
  EXPECT_EQ(w.flags, 0x03);
  EXPECT_EQ(w.wholeFlags, 0x10);
}

TEST_F(ParamWindowTest, CancelKeepsTheVariables) {
  host_.Script(kDialog, {Paste(11, "77"), Press(27)});
  Window w;
  EXPECT_FALSE(w.Run());
  EXPECT_EQ(w.count, 0);
}

}  // namespace
