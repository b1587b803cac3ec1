// The progress indicator's timing and nesting, driven by a test clock.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform/Platform.h"
#include "plugin/PluginTask.h"
#include "tests/support/FakeTask.h"
#include "ui/InfoDlg.h"

namespace {

uint32_t gNow = 1000;
uint32_t TestClock() { return gNow; }

struct Reports {
  int count = 0;
  HostStatusRec last;
  int32_t answer = 0;
};

class InfoDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gNow = 1000;
    platform::SetTickSourceForTesting(TestClock);
    task_.onRequest = [this](uint32_t selector, int32_t size, void* record) -> int32_t {
      EXPECT_EQ(selector, Request::kStatus);
      EXPECT_EQ(size, int32_t(sizeof(HostStatusRec)));
      ++reports_.count;
      memcpy(&reports_.last, record, sizeof reports_.last);
      return reports_.answer;
    };
  }
  void TearDown() override { platform::SetTickSourceForTesting(nullptr); }

  FakeTask task_;
  Reports reports_;
};

std::string Text(const uint8_t* p) { return std::string(reinterpret_cast<const char*>(p + 1), p[0]); }

TEST_F(InfoDlgTest, WithoutAnIndicatorUpdateSendsNothing) {
  EXPECT_TRUE(InfoDlg::Update(5));
  EXPECT_TRUE(InfoDlg::Update(0));
  EXPECT_EQ(reports_.count, 0);
}

TEST_F(InfoDlgTest, ReportsAreThrottledAndShowThePreviousTotal) {
  InfoDlg dlg;
  InfoDlg::SetIndicator(PascalString("Reading"), 200, PascalString());
  EXPECT_TRUE(InfoDlg::Update(5));
  gNow += 39;
  EXPECT_TRUE(InfoDlg::Update(5));
  EXPECT_EQ(reports_.count, 0);
  EXPECT_EQ(dlg.Total(), 10);

  gNow += 1;
  EXPECT_TRUE(InfoDlg::Update(110));
  ASSERT_EQ(reports_.count, 1);
  EXPECT_FLOAT_EQ(reports_.last.fraction, 0.0f);
  EXPECT_EQ(reports_.last.maximum, 200);
  EXPECT_EQ(Text(reports_.last.title), "Reading");
  void* const context = reports_.last.hostContext;
  EXPECT_EQ(context, task_.HostContext());
  EXPECT_EQ(dlg.Record().reported, 120);

  // Zero units always report, even within the interval.
  EXPECT_TRUE(InfoDlg::Update(0));
  ASSERT_EQ(reports_.count, 2);
  EXPECT_FLOAT_EQ(reports_.last.fraction, 0.6f);
}

TEST_F(InfoDlgTest, AStopAnswerReachesTheTaskAndLaterUpdatesReportAgain) {
  InfoDlg dlg;
  InfoDlg::SetIndicator(PascalString("Work"), 10, PascalString());
  reports_.answer = 128;
  EXPECT_FALSE(InfoDlg::Update(0));
  EXPECT_EQ(plug->status, 128);
  EXPECT_EQ(plug->result, 128);
  reports_.answer = 0;
  EXPECT_TRUE(InfoDlg::Update(0));
  EXPECT_EQ(reports_.count, 2);
}

TEST_F(InfoDlgTest, AnEmptyTextIsInheritedFromTheNearestEnclosingIndicator) {
  InfoDlg outer;
  InfoDlg::SetIndicator(PascalString("Wiring"), 3, PascalString("group 1"));
  {
    InfoDlg middle;
    InfoDlg::SetIndicator(PascalString("Middle"), 3, PascalString());
    InfoDlg inner;
    InfoDlg::SetIndicator(PascalString("Reading vertices"), 3, PascalString());
    EXPECT_EQ(Text(inner.Record().text), "group 1");
    EXPECT_EQ(InfoDlg::mInstance, &inner);
  }
  EXPECT_EQ(InfoDlg::mInstance, &outer);
  // Without any text around, an indicator keeps its own.
  InfoDlg::SetIndicator(PascalString("Again"), 3, PascalString());
  EXPECT_EQ(Text(outer.Record().text), "group 1");
}

TEST_F(InfoDlgTest, ReportsGoOnAcrossTheTickWrap) {
  // Scheduled just before the wrap, due 8 ticks before it.
  gNow = 0xFFFFFFD0u;
  InfoDlg dlg;
  InfoDlg::SetIndicator(PascalString("Wrap"), 100, PascalString());
  gNow = 0xFFFFFFF0u;
  EXPECT_TRUE(InfoDlg::Update(1));
  EXPECT_EQ(reports_.count, 0);
  gNow = 0x5;  // the clock has wrapped: the report is overdue
  EXPECT_TRUE(InfoDlg::Update(1));
  EXPECT_EQ(reports_.count, 1);
}

TEST_F(InfoDlgTest, SetIndicatorWithoutAnIndicatorDoesNothing) {
  InfoDlg::SetIndicator(PascalString("Nothing"), 3, PascalString());
  EXPECT_EQ(InfoDlg::mInstance, nullptr);
}

}  // namespace
