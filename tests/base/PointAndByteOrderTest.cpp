// Fxyz arithmetic, colour conversion and byte reversal.
#include <stdint.h>
#include <string.h>

#include <gtest/gtest.h>

#include "base/ByteOrder.h"
#include "base/Fxyz.h"

namespace {

TEST(FxyzTest, NormaliseDivideAndColour) {
  Fxyz p{3, 0, 4};
  p.Nor();
  EXPECT_FLOAT_EQ(p.x, 0.6f);
  EXPECT_EQ(p.y, 0.0f);
  EXPECT_FLOAT_EQ(p.z, 0.8f);
  Fxyz q{1, -2, 8};
  q /= 4;
  EXPECT_EQ(q.x + q.y + q.z, 0.25f - 0.5f + 2.0f);

  for (uint8_t alpha : {0, 255}) {
    const Fxyz c = ARGB2Fxyz(ARGB{alpha, 255, 0, 51});
    EXPECT_EQ(c.x, 1.0f);
    EXPECT_EQ(c.y, 0.0f);
    EXPECT_FLOAT_EQ(c.z, 0.2f);
  }
}

TEST(ByteOrderTest, ReverseField) {
  uint8_t bytes[] = {1, 2, 3, 4, 9};
  ReverseField(bytes, 4);
  EXPECT_EQ(memcmp(bytes, "\x04\x03\x02\x01\x09", 5), 0);
  ReverseField(bytes, 3);
  EXPECT_EQ(memcmp(bytes, "\x02\x03\x04\x01\x09", 5), 0);
  ReverseField(bytes, 1);
  ReverseField(bytes, 0);
  ReverseField(bytes, -2);
  EXPECT_EQ(memcmp(bytes, "\x02\x03\x04\x01\x09", 5), 0);
}

}  // namespace
