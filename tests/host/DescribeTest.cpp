// The 'DESC' texts and the 'INFO' reply.
#include <cstring>

#include "tests/host/ModuleHarness.h"
#include "host/MacRoman.h"

namespace {

class DescribeTest : public ProtocolTest {
 protected:
  std::string Text(int32_t code) {
    std::string text;
    EXPECT_EQ(host.Describe(code, &text), 0) << code;
    return text;
  }
};

TEST_F(DescribeTest, GeneralCodes) {
  EXPECT_EQ(Text(0), "No plug-in error");
  EXPECT_EQ(Text(1), "Plug-in could not allocate needed memory");
  EXPECT_EQ(Text(2), "Unsupported plug-in command was received");
  EXPECT_EQ(Text(3), "Incompatible plug-in parameter record was received");
  EXPECT_EQ(Text(4), "The user canceled the plug-in operation");
  EXPECT_EQ(Text(5), "A plug-in command was received out of sequence");
  EXPECT_EQ(Text(6), "Plug-in could not get a required resource");
  EXPECT_EQ(Text(7), "unknown error (7)");
  EXPECT_EQ(Text(8), "A requested plug-in feature or mode is not supported");
}

TEST_F(DescribeTest, ProductCodesAndFallback) {
  EXPECT_EQ(Text(9), "unknown error (9)");
  EXPECT_EQ(Text(99), "unknown error (99)");
  EXPECT_EQ(Text(100), "Vorlan child(0) contains particles");
  EXPECT_EQ(Text(101), "Kessik Plug-In can\xD5t find child group(s) geometry");
  EXPECT_EQ(host::MacRomanToUtf8(Text(101)), "Kessik Plug-In can\u2019t find child group(s) geometry");
  EXPECT_EQ(Text(300), "");
  EXPECT_EQ(Text(400), "");
  EXPECT_EQ(Text(-1), "unknown error (4294967295)");
  EXPECT_EQ(Text(INT32_MIN), "unknown error (2147483648)");
}

TEST_F(DescribeTest, InformationReply) {
  PluginInfoRec reply;
  std::memset(&reply, 0xEE, sizeof reply);
  ASSERT_EQ(host.Information(&reply), 0);
  EXPECT_EQ(reply.vendor, FourCC("VELD"));
  EXPECT_EQ(reply.one, 1);
  EXPECT_EQ(host::PascalBytes(reply.product), "Tressel");
  EXPECT_EQ(host::PascalBytes(reply.description), "Wires generator");
  EXPECT_GT(reply.rights[0], 0) << "the rights notice is empty";
  EXPECT_GT(reply.maker[0], 0) << "the maker's name is empty";
  EXPECT_EQ(reply.flags, 0x4000000Fu);
}

}  // namespace
