// The stored settings stream, byte for byte, and how damaged streams load.
#include <string.h>

#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/wire/WireHost.h"
#include "wire/Stream.h"
#include "wire/WireTag.h"

namespace {

const std::vector<uint8_t> kDefaultStream = {0x57, 0x49, 0x52, 0x45, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                                             0x00, 0x00, 0x41, 0x20, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const std::vector<uint8_t> kExampleStream = {0x57, 0x49, 0x52, 0x45, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                             0x01, 0x41, 0x20, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00, 0x00, 0x00,
                                             0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x31, 0x2D, 0x33};

std::vector<uint8_t> WriteTag(const CWireTag& source) {
  CWireTag tag = source;
  CStream counter;
  EXPECT_TRUE(tag.Write(counter));
  std::vector<uint8_t> bytes(size_t(counter.pos));
  CMemStream stream(bytes.data(), bytes.data() + bytes.size());
  EXPECT_TRUE(tag.Write(stream));
  EXPECT_EQ(stream.pos, counter.pos);
  return bytes;
}

bool LoadTag(std::vector<uint8_t> bytes, CWireTag& tag) {
  CMemStream stream(bytes.data(), bytes.data() + bytes.size());
  return tag.Load(stream);
}

}  // namespace

TEST(SettingsStream, DefaultsAndExampleAreTheDocumentedBytes) {
  WireHost host;
  CWireTag tag;
  tag.Init();
  EXPECT_EQ(WriteTag(tag), kDefaultStream);

  tag.mode = CWireTag::kModeUnshared;
  tag.useExclude = 1;
  tag.excludeText = "1-3";
  EXPECT_EQ(WriteTag(tag), kExampleStream);

  CWireTag back;
  back.Init();
  ASSERT_TRUE(LoadTag(kExampleStream, back));
  EXPECT_EQ(back.mode, 1);
  EXPECT_EQ(back.useExclude, 1);
  EXPECT_STREQ(back.excludeText.c_str(), "1-3");
  EXPECT_EQ(back.push, 10.0f);
  EXPECT_EQ(back.scale, 1.0f);
  EXPECT_EQ(CWireTag::LiveCount(), 0u);
  EXPECT_EQ(host.task.LiveBlocks(), 0u);
}

TEST(SettingsStream, FloatsKeepTheirBitsAndAnyVersionLoads) {
  WireHost host;
  CWireTag tag;
  tag.Init();
  tag.push = -0.1f;
  tag.scale = 3.4e38f;
  std::vector<uint8_t> bytes = WriteTag(tag);
  bytes[5] = 0x02;  // version 0x00020000
  CWireTag back;
  back.Init();
  ASSERT_TRUE(LoadTag(bytes, back));
  EXPECT_EQ(back.version, CWireTag::kVersion);
  EXPECT_EQ(memcmp(&back.push, &tag.push, 4), 0);
  EXPECT_EQ(memcmp(&back.scale, &tag.scale, 4), 0);
}

// A stored push or scale that is no finite number reads as its default; every
// other field, and the other float, keep what was stored.
TEST(SettingsStream, NonFinitePushOrScaleLoadsAsItsDefault) {
  WireHost host;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float push, scale, wantPush, wantScale;
  } cases[] = {{nan, 0.5f, 10.0f, 0.5f},  {inf, 0.5f, 10.0f, 0.5f},  {-inf, -2.0f, 10.0f, -2.0f},
               {0.25f, nan, 0.25f, 1.0f}, {0.25f, -inf, 0.25f, 1.0f}, {nan, inf, 10.0f, 1.0f},
               {-3.4e38f, 3.4e38f, -3.4e38f, 3.4e38f}};
  for (const auto& c : cases) {
    CWireTag tag;
    tag.Init();
    tag.mode = 2;
    tag.useExclude = 1;
    tag.excludeText = "*2";
    tag.push = c.push;
    tag.scale = c.scale;
    CWireTag back;
    back.Init();
    ASSERT_TRUE(LoadTag(WriteTag(tag), back)) << c.push << " " << c.scale;
    EXPECT_EQ(back.push, c.wantPush) << c.push << " " << c.scale;
    EXPECT_EQ(back.scale, c.wantScale) << c.push << " " << c.scale;
    EXPECT_EQ(back.mode, 2);
    EXPECT_EQ(back.useExclude, 1);
    EXPECT_STREQ(back.excludeText.c_str(), "*2");
  }
}

TEST(SettingsStream, DamagedStreamsLoadAsDefaults) {
  WireHost host;
  std::vector<uint8_t> example = kExampleStream;
  // Every cut of the example short of its full length fails.
  for (size_t n = 0; n < example.size(); ++n) {
    CWireTag tag;
    tag.Init();
    tag.mode = 5;
    EXPECT_FALSE(LoadTag(std::vector<uint8_t>(example.begin(), example.begin() + long(n)), tag)) << n;
    EXPECT_EQ(tag.mode, 0) << n;
    EXPECT_TRUE(tag.excludeText.IsEmpty()) << n;
  }
  std::vector<uint8_t> wrongMagic = example;
  wrongMagic[3] = 'F';
  CWireTag tag;
  tag.Init();
  tag.useExclude = 1;
  EXPECT_FALSE(LoadTag(wrongMagic, tag));
  EXPECT_EQ(tag.useExclude, 0);

  // A stored length above 254 (or negative) reads 254 characters.
  std::vector<uint8_t> longText(kDefaultStream);
  longText[24] = 0xFF, longText[25] = 0xFF, longText[26] = 0xFF, longText[27] = 0xFF;
  longText.resize(28 + 300, 'x');
  ASSERT_TRUE(LoadTag(longText, tag));
  EXPECT_EQ(tag.excludeText.Length(), 254);
}

TEST(SettingsStream, MemStreamOverrunIsStickyAndMovesNothing) {
  uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
  CMemStream stream(bytes, bytes + 6);
  uint32_t value = 0;
  stream.Read(&value, 4);
  EXPECT_EQ(value, 0x01020304u);
  uint32_t untouched = 0xAAAAAAAA;
  stream.Read(&untouched, 4);
  EXPECT_EQ(stream.error, kStreamReadOverrun);
  EXPECT_EQ(untouched, 0xAAAAAAAAu);
  uint16_t small = 7;
  stream.Read(&small, 2);  // would fit, but the stream has failed
  EXPECT_EQ(small, 7);
  EXPECT_EQ(stream.pos, 4);

  CMemStream writer(bytes, bytes + 6);
  EXPECT_FALSE(writer.NextTag(0x01020304u + 1));
  EXPECT_EQ(writer.pos, 0);
  EXPECT_TRUE(writer.NextTag(0x01020304u));
  writer.Write(&value, 4);
  EXPECT_EQ(writer.error, kStreamWriteOverrun);
  EXPECT_EQ(bytes[4], 5);
  writer.Seek(100);
  EXPECT_EQ(writer.pos, 6);
}
