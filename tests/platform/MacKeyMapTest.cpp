// The macOS module's modifier set from a key map, checked on every build
// (the module itself cannot run here): each key sets its own bit, Command and
// Control share one, other keys set none.
#include <gtest/gtest.h>

#include "platform/macos/KeyMap.h"

namespace {

uint16_t With(std::initializer_list<unsigned> keyCodes) {
  uint8_t map[16] = {};
  for (unsigned code : keyCodes) map[code / 8] |= uint8_t(1u << (code % 8));
  return platform::ModifiersFromKeyMap(map);
}

TEST(MacKeyMap, EachModifierKeySetsItsBit) {
  EXPECT_EQ(With({}), 0);
  EXPECT_EQ(With({56}), 0x0001);  // Shift
  EXPECT_EQ(With({55}), 0x0006);  // Command
  EXPECT_EQ(With({59}), 0x0006);  // Control
  EXPECT_EQ(With({58}), 0x0008);  // Option
  EXPECT_EQ(With({49}), 0x0100);  // Space
  EXPECT_EQ(With({56, 55, 58, 49}), 0x010F);
}

TEST(MacKeyMap, OtherKeysAndNeighbouringBitsSetNothing) {
  // 48 (Tab), 50, 57 (Caps Lock) and 60 (right Shift) sit beside the keys read.
  EXPECT_EQ(With({0, 48, 50, 57, 60, 127}), 0);
}

}  // namespace
