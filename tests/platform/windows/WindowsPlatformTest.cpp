// The Windows pieces against the system itself: the ticks are the system's
// milliseconds in sixtieths, and the modifier bits follow the keys that
// synthesised input holds down.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Platform.h"

namespace {

TEST(WindowsTicks, AreTheSystemMillisecondsTimesSixtyOverAThousand) {
  const ULONGLONG before = GetTickCount64();
  const uint32_t ticks = platform::TickCount();
  const ULONGLONG after = GetTickCount64();
  EXPECT_GE(ticks, uint32_t(before * 60 / 1000));
  EXPECT_LE(ticks, uint32_t(after * 60 / 1000));
}

void SendKey(WORD key, bool down) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  ASSERT_EQ(SendInput(1, &input, sizeof input), 1u);
}

// Reads twice after a release: a key pressed since the previous query still
// counts once, by design.
uint16_t SettledModifiers() {
  platform::ModifierKeys();
  return platform::ModifierKeys();
}

TEST(WindowsModifiers, EachKeyGivesItsBits) {
  ASSERT_EQ(SettledModifiers(), 0u) << "a modifier key is already held";
  const struct {
    WORD key;
    uint16_t bits;
  } keys[] = {{VK_SHIFT, 0x0001}, {VK_F1, 0x0006}, {VK_MENU, 0x0008}, {VK_SPACE, 0x0100}};
  for (const auto& k : keys) {
    SendKey(k.key, true);
    EXPECT_EQ(platform::ModifierKeys(), k.bits) << "virtual key " << k.key;
    SendKey(k.key, false);
    EXPECT_EQ(SettledModifiers(), 0u) << "virtual key " << k.key;
  }
  SendKey(VK_SHIFT, true);
  SendKey(VK_SPACE, true);
  EXPECT_EQ(platform::ModifierKeys(), 0x0101u);
  SendKey(VK_SPACE, false);
  SendKey(VK_SHIFT, false);
  EXPECT_EQ(SettledModifiers(), 0u);
}

}  // namespace
