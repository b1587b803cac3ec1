// Shared set-up for the dialog tests: a fresh fake dialog host per test, and
// checks that the module neither misused a handle nor left a dialog alive.
#ifndef TRESSEL_TESTS_UI_DIALOGTESTSUPPORT_H
#define TRESSEL_TESTS_UI_DIALOGTESTSUPPORT_H

#include <gtest/gtest.h>

#include "plugin/ResourceFile.h"
#include "tests/ui/FakeDialogHost.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Reset();
    theRF = nullptr;
  }
  void TearDown() override {
    EXPECT_TRUE(host_.violations.empty()) << host_.violations.front();
    EXPECT_TRUE(host_.live.empty()) << "a dialog was not destroyed";
    EXPECT_EQ(theRF, nullptr) << "the resource file was left open";
    theRF = nullptr;
  }

  FakeDialogHost& host_ = FakeDialogHost::Get();
};

#endif  // TRESSEL_TESTS_UI_DIALOGTESTSUPPORT_H
