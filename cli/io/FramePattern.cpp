// Parses a frame-name pattern once and formats frame numbers into it without
// ever handing the user's text to printf. Linear in the pattern's length.
#include "cli/io/FramePattern.h"

#include <stdio.h>

namespace cliio {

bool CFramePattern::Parse(const std::string& text, CFramePattern* pattern, std::string* error) {
  CFramePattern parsed;
  std::string* part = &parsed.mPrefix;
  int conversions = 0;
  auto fail = [&](const std::string& why) {
    *error = "the output pattern \"" + text + "\" " + why;
    return false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *part += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      *part += '%';
      ++i;
      continue;
    }
    size_t at = i + 1;
    bool zeroPad = false;
    if (at < text.size() && text[at] == '0') {
      zeroPad = true;
      ++at;
    }
    int width = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      width = width * 10 + (text[at] - '0');
      if (width > 32) return fail("has a width above 32");
      ++at;
    }
    if (at >= text.size() || (text[at] != 'd' && text[at] != 'i'))
      return fail("may hold only an integer conversion such as %d or %04d (write %% for a percent sign)");
    if (++conversions > 1) return fail("has more than one frame number conversion");
    parsed.mZeroPad = zeroPad;
    parsed.mWidth = width;
    part = &parsed.mSuffix;
    i = at;
  }
  if (conversions == 0) return fail("has no frame number conversion such as %d or %04d");
  *pattern = std::move(parsed);
  return true;
}

std::string CFramePattern::NameFor(int frame) const {
  char number[48];
  snprintf(number, sizeof number, mZeroPad ? "%0*d" : "%*d", mWidth, frame);
  return mPrefix + number + mSuffix;
}

}  // namespace cliio
