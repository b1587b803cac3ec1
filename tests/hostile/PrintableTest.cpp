// The one escaping every name goes through before it is printed.
#include <gtest/gtest.h>

#include <string>

#include "cli/io/Printable.h"

namespace {

TEST(Printable, EscapesControlsAndBrokenUtf8AndKeepsTheRest) {
  struct {
    std::string raw, printed;
  } cases[] = {
      {"plain name.obj", "plain name.obj"},
      {"\x1b[31mred\x1b[0m", "\\e[31mred\\e[0m"},
      {"a\nb\rc\td", "a\\nb\\rc\\td"},
      {std::string("nul\0bel\x07" "del\x7f", 12), "nul\\x00bel\\x07del\\x7F"},
      {"back\\slash \\e", "back\\slash \\e"},
      {"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x99\x82", "caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x99\x82"},  // kept
      {"c1 \xc2\x9b" "2J", "c1 \\u009B2J"},                                                       // CSI as one character
      {"latin1 \xe9t\xe9", "latin1 \\xE9t\\xE9"},                                                 // not UTF-8
      {"cut \xe6\x97", "cut \\xE6\\x97"},                                                         // truncated sequence
      {"overlong \xc0\xaf \xe0\x80\xaf", "overlong \\xC0\\xAF \\xE0\\x80\\xAF"},
      {"surrogate \xed\xa0\x80", "surrogate \\xED\\xA0\\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cliio::Printable(c.raw), c.printed) << c.printed;
    EXPECT_EQ(cliio::Printable(c.printed), c.printed) << "escaping twice changes nothing";
  }
}

TEST(Printable, NoByteOfTheResultIsAControlCharacter) {
  std::string every;
  for (int byte = 0; byte < 256; ++byte) every += char(byte);
  for (char c : cliio::Printable(every)) {
    const unsigned char u = static_cast<unsigned char>(c);
    EXPECT_TRUE(u >= 0x20 && u != 0x7F) << int(u);
  }
}

}  // namespace
