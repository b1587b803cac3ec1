// The settings dialog and the 'INTF' handler over the fake dialog host and a
// fake task that keeps the instance data block ('ALOC') and records the
// channel values ('SCHN') and resets ('RSET').
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "plugin/PluginTask.h"
#include "tests/support/FakeTask.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/AlertBox.h"
#include "ui/WireDialog.h"
#include "wire/WireTag.h"

namespace {

constexpr int kSettings = 21000;
constexpr int kAlert = 400;

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

class SettingsDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    FakeDialogLayout settings;
    settings.controls = {{1, ControlType::kPushButton, "OK"},       {2, ControlType::kPushButton, "Cancel"},
                         {3, ControlType::kPushButton, "Apply"},    {4, kStepper, ""},
                         {5, ControlType::kEditText, ""},           {6, ControlType::kEditText, ""},
                         {7, kCheckBox, ""},                        {8, ControlType::kEditText, ""},
                         {9, ControlType::kPushButton, "About"}};
    host_.resources[kSettings] = settings;
    FakeDialogLayout alert;
    alert.controls = {{1, ControlType::kPushButton, "OK"}, {3, kCheckBox, ""},
                      {4, ControlType::kPushButton, "Later"}, {5, ControlType::kStaticText, "Note"}};
    host_.resources[kAlert] = alert;

    task_.onRequest = [this](uint32_t selector, int32_t, void* record) -> int32_t {
      liveDialogsAt_.push_back({selector, int(host_.live.size())});
      if (selector == Request::kAllocate) {
        auto* rec = static_cast<HostAllocateRec*>(record);
        std::vector<uint8_t> resized(size_t(rec->instanceDataSize), 0);
        std::copy_n(block_.begin(), std::min(block_.size(), resized.size()), resized.begin());
        block_.swap(resized);
        rec->instanceData = block_.data();
        return 0;
      }
      if (selector == Request::kSetChannel) {
        auto* rec = static_cast<HostSetChannelRec*>(record);
        channelValues_.push_back(*static_cast<const double*>(rec->valuePtr));
      }
      return 0;
    };
    tag_ = CWireTag::Get1Wire();
  }
  void TearDown() override {
    CWireTag::FreeLive(tag_);
    DialogTest::TearDown();
  }

  int32_t RunInterface() { return plug->Interface(); }
  // Stream offsets after this build's pointer-sized tag slot.
  int32_t StoredMode() const { return int32_t(BigEndian32(block_.data() + sizeof(void*) + 8)); }
  float StoredPush() const {
    const uint32_t bits = BigEndian32(block_.data() + sizeof(void*) + 12);
    float f;
    memcpy(&f, &bits, 4);
    return f;
  }

  FakeTask task_{Selector::kInterface};
  std::vector<uint8_t> block_;
  std::vector<double> channelValues_;
  std::vector<std::pair<uint32_t, int>> liveDialogsAt_;  // each request with the dialogs alive then
  CWireTag* tag_ = nullptr;
};

TEST_F(SettingsDialogTest, OpensOnTheTagAndControl7EnablesControl8AtOnce) {
  tag_->mode = 1;
  tag_->push = 1.5f;
  tag_->scale = 2.0f;
  tag_->excludeText = "1-3";
  host_.Script(kSettings, {Do([](FakeDialog& d) {
                             EXPECT_EQ(d.titles.back(), "Tressel 1.0.2");
                             EXPECT_EQ(d.Find(4)->value, 1);
                             EXPECT_EQ(d.Find(5)->text, "1.5");
                             EXPECT_EQ(d.Find(6)->text, "2.0");
                             EXPECT_EQ(d.Find(8)->text, "1-3");
                             EXPECT_FALSE(d.Find(8)->enabled);
                             EXPECT_NE(d.Find(8)->filter, nullptr);
                             EXPECT_EQ(d.Find(5)->filter, nullptr);
                           }),
                           Click(7), Do([](FakeDialog& d) { EXPECT_TRUE(d.Find(8)->enabled); }),
                           Click(7), Do([](FakeDialog& d) { EXPECT_FALSE(d.Find(8)->enabled); }),
                           Paste(5, "9"), Press(27)});
  EXPECT_EQ(RunInterface(), kResultCancelled);
  EXPECT_EQ(plug->result, kResultCancelled);
  EXPECT_EQ(tag_->push, 1.5f);
  EXPECT_EQ(task_.Count(Request::kModelReset), 0u);
  EXPECT_EQ(host_.dialogsDestroyed, 1);
}

TEST_F(SettingsDialogTest, ApplyThenCancelKeepsTheAppliedValues) {
  host_.Script(kSettings, {Paste(5, "3.25"), Click(3), Paste(5, "9"), Press(27)});
  EXPECT_EQ(RunInterface(), kResultCancelled);
  EXPECT_EQ(tag_->push, 3.25f);
  EXPECT_EQ(StoredPush(), 3.25f);
  EXPECT_EQ(task_.Count(Request::kModelReset), 1u);
  ASSERT_EQ(channelValues_.size(), 2u);
  EXPECT_EQ(channelValues_[0], 3.25);
}

TEST_F(SettingsDialogTest, SpaceAppliesOnlyWhileApplyIsEnabledAndReturnIsTheHosts) {
  host_.resources[kSettings].controls[2].enabled = false;
  host_.Script(kSettings, {Paste(5, "4"), Press(32),
                           Do([this](FakeDialog& d) {
                             EXPECT_FALSE(d.stopped);
                             EXPECT_EQ(task_.Count(Request::kModelReset), 0u);
                             EXPECT_EQ(tag_->push, 10.0f);
                             d.Find(3)->enabled = true;
                           }),
                           Press(32), Do([this](FakeDialog&) { EXPECT_EQ(task_.Count(Request::kModelReset), 1u); }),
                           Press(13)});
  EXPECT_EQ(RunInterface(), kResultOk);
  EXPECT_EQ(tag_->push, 4.0f);
  EXPECT_EQ(task_.Count(Request::kModelReset), 2u);
}

TEST_F(SettingsDialogTest, ConfirmStoresAllFiveSettingsAndResets) {
  const std::string list = "1-5, 7, *3, " + std::string(100, '9');
  host_.Script(kSettings, {Do([](FakeDialog& d) { d.Find(4)->value = 2; }), Paste(5, "-2.5"), Paste(6, "abc"),
                           Click(7), Type(8, list), Press(3)});
  const size_t before = block_.size();
  EXPECT_EQ(RunInterface(), kResultOk);
  EXPECT_EQ(tag_->mode, 2);
  EXPECT_EQ(tag_->push, -2.5f);
  EXPECT_EQ(tag_->scale, 0.0f);  // not a number, no limits
  EXPECT_EQ(tag_->useExclude, 1);
  EXPECT_EQ(std::string(tag_->excludeText.c_str()), list.substr(0, 99));  // typing stopped at 99
  EXPECT_EQ(block_.size(), before + 99);
  EXPECT_EQ(StoredMode(), 2);
  EXPECT_EQ(StoredPush(), -2.5f);
  ASSERT_EQ(channelValues_.size(), 2u);
  EXPECT_EQ(channelValues_[0], -2.5);
  EXPECT_EQ(channelValues_[1], 0.0);
  EXPECT_EQ(task_.Count(Request::kModelReset), 1u);
}

// The settings are stored and the reset asked for while the dialog still
// exists; it is destroyed when the command ends, confirmed or not.
TEST_F(SettingsDialogTest, TheDialogIsDestroyedAfterTheSettingsAndTheReset) {
  host_.Script(kSettings, {Paste(5, "3"), Press(13)});
  liveDialogsAt_.clear();
  EXPECT_EQ(RunInterface(), kResultOk);
  std::vector<uint32_t> stores;
  for (const auto& seen : liveDialogsAt_)
    if (seen.first == Request::kSetChannel || seen.first == Request::kAllocate || seen.first == Request::kModelReset) {
      stores.push_back(seen.first);
      EXPECT_EQ(seen.second, 1) << std::hex << seen.first;
    }
  EXPECT_EQ(stores, (std::vector<uint32_t>{Request::kSetChannel, Request::kSetChannel, Request::kAllocate,
                                           Request::kModelReset}));
  EXPECT_TRUE(host_.live.empty());
  EXPECT_EQ(host_.dialogsDestroyed, 1);

  host_.Script(kSettings, {Press(27)});
  EXPECT_EQ(RunInterface(), kResultCancelled);
  EXPECT_TRUE(host_.live.empty());
  EXPECT_EQ(host_.dialogsDestroyed, 2);
}

TEST_F(SettingsDialogTest, TheAlertRunsOverTheDialogAndAnyPushButtonClosesIt) {
  host_.Script(kAlert, {Click(3), Do([](FakeDialog& d) { EXPECT_FALSE(d.stopped); }), Click(4)});
  host_.Script(kSettings, {Click(9), Do([this](FakeDialog& d) {
                             EXPECT_TRUE(d.running);
                             EXPECT_EQ(host_.dialogsMade, 2);
                             EXPECT_EQ(host_.dialogsDestroyed, 1);
                             EXPECT_EQ(host_.graveyard.back()->resourceId, kAlert);
                             EXPECT_EQ(host_.graveyard.back()->titles, std::vector<std::string>{""});
                           }),
                           Press(27)});
  EXPECT_EQ(RunInterface(), kResultCancelled);
  EXPECT_EQ(host_.unfinishedRuns, 0);
  EXPECT_EQ(host_.executions, 2);
}

TEST_F(SettingsDialogTest, NoDialogMeansCancelledAndAnUnchangedTag) {
  host_.resourceFileOpens = false;
  EXPECT_EQ(RunInterface(), kResultCancelled);
  host_.resourceFileOpens = true;
  host_.makeDialogAnswers = false;  // as a host without EI_MakeDialog
  ASSERT_TRUE(PluginTask::OpenRFile());  // open around the command, as Main does
  EXPECT_EQ(RunInterface(), kResultCancelled);
  PluginTask::CloseRFile();
  EXPECT_EQ(host_.filesOpened, 1);
  EXPECT_EQ(host_.dialogsMade, 0);
  EXPECT_EQ(tag_->push, 10.0f);
  EXPECT_EQ(task_.Count(Request::kModelReset), 0u);
}

class AlertBoxTest : public DialogTest {
 protected:
  static constexpr int kBox = 401;
  void SetUp() override {
    DialogTest::SetUp();
    FakeDialogLayout box;
    box.controls = {{1, ControlType::kPushButton, "OK ^0"},      {5, ControlType::kStaticText, "a ^0 b ^0"},
                    {6, ControlType::kStaticText, "c ^0"},       {7, ControlType::kEditText, "^1!"},
                    {2, ControlType::kPushButton, "Cancel"}};
    host_.resources[kBox] = box;
  }
};

TEST_F(AlertBoxTest, OnlyTheFirstMarkerOfTheFirstTextControlIsReplaced) {
  PascalString first, second;
  first = "X";
  second = "50%";
  CEIU_ModalBox box(kBox, first, second);
  FakeDialog& d = *host_.lastMade;
  EXPECT_EQ(d.Find(1)->text, "OK ^0");  // a push button is not a text control
  EXPECT_EQ(d.Find(5)->text, "a X b ^0");
  EXPECT_EQ(d.Find(6)->text, "c ^0");
  EXPECT_EQ(d.Find(7)->text, "50%!");
  int index = -1;
  PascalString marker;
  marker = "^9";
  EXPECT_FALSE(CEIU_ModalBox::SubstText(&box, marker, first, &index));
  marker = "b";
  EXPECT_TRUE(CEIU_ModalBox::SubstText(&box, marker, first, &index));
  EXPECT_EQ(index, 1);
}

TEST_F(AlertBoxTest, ATitleServesOneAlertAndButtonsCloseIt) {
  PascalString title;
  title = "Careful";
  SetAlertTitle(title);
  host_.Script(kBox, {Press(13)});
  host_.Script(kBox, {Click(2)});
  CustomAlert(kBox, PascalString(), PascalString());
  CustomAlert(kBox, PascalString(), PascalString());
  ASSERT_EQ(host_.graveyard.size(), 2u);
  EXPECT_EQ(host_.graveyard[0]->titles, std::vector<std::string>{"Careful"});
  EXPECT_EQ(host_.graveyard[1]->titles, std::vector<std::string>{""});
  EXPECT_EQ(host_.graveyard[0]->confirm, 1);
  EXPECT_EQ(host_.graveyard[1]->confirm, 0);
  EXPECT_EQ(host_.unfinishedRuns, 0);
  EXPECT_EQ(host_.graveyard[0]->Find(5)->textWrites, 0);  // no texts given: nothing substituted
  EXPECT_TRUE(theAlertTitle.IsEmpty());
}

}  // namespace
