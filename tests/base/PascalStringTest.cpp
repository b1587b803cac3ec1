// PascalString: capacity limits and bounds, aliasing, editing, number
// conversion and word extraction.
#include "base/PascalString.h"

#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The characters, after checking that length byte and terminator agree.
std::string Text(const PascalString& s) {
  EXPECT_LE(s.Length(), PascalString::kMaxLength);
  EXPECT_EQ(s.Raw()[s.Length() + 1], 0);
  return std::string(s.c_str(), size_t(s.Length()));
}

TEST(PascalStringBounds, LongTextIsCutAt254) {
  PascalString s;
  s += std::string(300, 'x').c_str();
  EXPECT_EQ(Text(s), std::string(254, 'x'));
  EXPECT_EQ(Text(PascalString("%s", std::string(400, 'y').c_str())).size(), 254u);
  EXPECT_EQ(Text(PascalString("ab") + std::string(260, 'z').c_str()).size(), 254u);

  PascalString full(std::string(250, 'a').c_str());
  full.Insert("0123456789", 2);  // the tail loses its end
  EXPECT_EQ(Text(full), "a0123456789" + std::string(243, 'a'));
}

TEST(PascalStringBounds, NoWritePastTheValueOrReadPastTheSource) {
  // Heap objects of exact size, so the address sanitizer sees any overrun.
  auto s = std::make_unique<PascalString>();
  memset(s->Raw() + 1, 'a', 255);
  s->SetLen(255);
  EXPECT_EQ(s->Length(), 254);
  EXPECT_EQ(s->Raw()[255], 0);

  std::vector<uint8_t> longest(256, 'q');
  longest[0] = 255;
  s->FromPas(longest.data());
  EXPECT_EQ(Text(*s), std::string(253, 'q'));
  std::vector<uint8_t> tight = {3, 'a', 'b', 'c'};
  s->FromPas(tight.data());
  EXPECT_EQ(Text(*s), "abc");

  const uint8_t src[] = {5, 'h', 'e', 'l', 'l', 'o'};
  std::vector<uint8_t> dst(4);
  PascalString::PasCopy(dst.data(), src, 4);
  EXPECT_EQ(dst, (std::vector<uint8_t>{3, 'h', 'e', 'l'}));
}

TEST(PascalStringAppend, OperandsAreTakenLiterallyAndMayAlias) {
  EXPECT_EQ(Text(PascalString("%ld items", 12L)), "12 items");
  EXPECT_EQ(Text(PascalString("a") + "50%"), "a50%");
  PascalString s("abc");
  s.Insert("5%s", 2);
  EXPECT_EQ(Text(s), "a5%sbc");

  s = "abc";
  s += s.c_str();
  EXPECT_EQ(Text(s), "abcabc");
  s = s.c_str();
  EXPECT_EQ(Text(s), "abcabc");
  s.Insert(s.c_str() + 3, 2);
  EXPECT_EQ(Text(s), "aabcbcabc");

  s += nullptr;
  s = static_cast<const char*>(nullptr);
  s.Insert(nullptr, 2);
  s.FromPas(nullptr);
  EXPECT_EQ(Text(s), "aabcbcabc");
}

TEST(PascalStringEdit, DeleteInsertTrimSearch) {
  EXPECT_EQ(Text(PascalString("abcdef").Delete(0, 2)), "cdef");
  EXPECT_EQ(Text(PascalString("abcdef").Delete(4, -1)), "abc");
  EXPECT_EQ(Text(PascalString("abcdef").Delete(7, 1)), "abcdef");
  EXPECT_EQ(Text(PascalString("abcdef").Delete(2, 3)), "aef");

  PascalString s("abcd");
  s.Insert("XY", 3);
  EXPECT_EQ(Text(s), "abXYcd");
  s.Insert("<", 0);
  s.Insert(">", 100);
  EXPECT_EQ(Text(s), "<abXYcd>");

  EXPECT_EQ(Text(PascalString("   ").Trim(" ")), "");
  EXPECT_EQ(Text(PascalString(" \t a b \t").Trim(" \t")), "a b");
  EXPECT_EQ(Text(PascalString("  a  ").TrimLead(" ")), "a  ");

  PascalString t("a\xE9" "b\xE9" "c");
  EXPECT_EQ(t.CharLast('\xE9'), 4);
  EXPECT_EQ(t.CharLast('z'), 0);
  EXPECT_EQ(t.Pos("b\xE9"), 3);
  EXPECT_EQ(t.Pos(""), 1);
  EXPECT_EQ(t.Pos("x"), 0);
}

TEST(PascalStringNumbers, GetLongAndGetDouble) {
  struct LongCase {
    const char* text;
    bool ok;
    int value;
  };
  // Beyond 32 bits (and beyond 64) the value saturates and the text still
  // reads as a number; trailing text after a huge number still fails.
  const LongCase longs[] = {{"-", true, 0},        {"12a", false, 12},  {" 7", true, 7},
                            {"", false, 0},        {"3 ", false, 3},    {"-2147483648", true, INT32_MIN},
                            {"2147483648", true, INT32_MAX}, {"-99999999999999999999", true, INT32_MIN},
                            {"99999999999", true, INT32_MAX}, {"+4294967297", true, INT32_MAX},
                            {"99999999999x", false, INT32_MAX}};
  for (const LongCase& c : longs) {
    int v = -1;
    EXPECT_EQ(PascalString(c.text).GetLong(v), c.ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
  double d = -1;
  EXPECT_FALSE(PascalString("1.5 ").GetDouble(d));
  EXPECT_EQ(d, 0);
  EXPECT_TRUE(PascalString("1e3").GetDouble(d));
  EXPECT_EQ(d, 1000);
  EXPECT_FALSE(PascalString("-").GetDouble(d));
  EXPECT_FALSE(PascalString("").GetDouble(d));
}

TEST(PascalStringNumbers, SetDouble) {
  struct Case {
    double x;
    short digits;
    const char* text;
  };
  const Case cases[] = {{0.25, 5, "0.25"},          {2, 5, "2.0"},           {2000000, 5, "2e+06"},
                        {1000000, 5, "1000000.0"},  {0.00002, -1, "0.00002"}, {0, -1, "0.0"},
                        {0.1234567, 5, "0.12346"},  {100, 0, "100"},         {0.000001, 5, "0.0"},
                        {123, 300, "123.0"}};
  for (const Case& c : cases) {
    PascalString s("old");
    s.SetDouble(c.x, c.digits);
    EXPECT_EQ(Text(s), c.text) << c.x << " with " << c.digits;
  }
}

TEST(PascalStringWords, ExtractWordAndLexema) {
  const PascalString s("  a, bb ,c");
  PascalString w("stale");
  EXPECT_EQ(s.ExtractWord(w, 2, ", "), 6);
  EXPECT_EQ(Text(w), "bb");
  EXPECT_EQ(s.ExtractWord(w, 3, ", "), 10);
  EXPECT_EQ(Text(w), "c");
  EXPECT_EQ(s.ExtractWord(w, 4, ", "), 0);
  EXPECT_TRUE(w.IsEmpty());

  PascalString range("x 1-5 y");
  EXPECT_TRUE(range.ExtractLexema(w, 2, " ", 3));
  EXPECT_EQ(Text(w), "1-5");
  EXPECT_EQ(Text(range), " y");

  // Bit 0 trims the word and rejects a blank one; without bit 1 the source stays.
  PascalString list("a, \t ,b");
  EXPECT_FALSE(list.ExtractLexema(w, 2, ",", 1));
  EXPECT_TRUE(list.ExtractLexema(w, 2, ",", 0));
  EXPECT_EQ(Text(w), " \t ");
  EXPECT_FALSE(list.ExtractLexema(w, 4, ",", 3));
  EXPECT_EQ(Text(list), "a, \t ,b");
}

}  // namespace
