// Flag values of `tressel wire` (see WireOptions.h). Each parser is linear in
// the length of its text.
#include "cli/WireOptions.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

// The whole text as a finite single-precision number: no blanks, no suffix.
bool ParseFiniteFloat(const std::string& flag, const std::string& text, float* value, std::string* error) {
  errno = 0;
  char* end = nullptr;
  const float parsed = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || std::isspace(static_cast<unsigned char>(text[0]))) {
    *error = flag + ": '" + text + "' is not a number";
    return false;
  }
  if (!std::isfinite(parsed) || (errno == ERANGE && std::fabs(parsed) > 1)) {
    *error = flag + ": '" + text + "' is not a finite single-precision number";
    return false;
  }
  *value = parsed;
  return true;
}

bool EndsWithPercent(const std::string& text) { return !text.empty() && text.back() == '%'; }

}  // namespace

bool ParseWireMode(const std::string& text, int32_t* mode, std::string* error) {
  static const char* const kNames[] = {"rings", "borders", "welded"};
  for (int32_t m = 0; m < 3; ++m) {
    if (text == std::to_string(m) || text == kNames[m]) {
      *mode = m;
      return true;
    }
  }
  *error = "--mode: '" + text + "' is not 0, 1, 2, rings, borders or welded";
  return false;
}

std::string WireModeName(int32_t mode) {
  switch (mode) {
    case 0: return "rings";
    case 1: return "borders";
    case 2: return "welded";
    default: return std::to_string(mode);
  }
}

bool ParsePush(const std::string& text, CPushValue* push, std::string* error) {
  CPushValue parsed;
  parsed.share = EndsWithPercent(text);
  const std::string number = parsed.share ? text.substr(0, text.size() - 1) : text;
  if (!ParseFiniteFloat("--push", number, &parsed.value, error)) {
    if (parsed.share) *error = "--push: '" + text + "' is not a number or a percentage such as 2%";
    return false;
  }
  *push = parsed;
  return true;
}

bool ParseScale(const std::string& text, float* scale, std::string* error) {
  const bool percent = EndsWithPercent(text);
  float value = 0;
  if (!ParseFiniteFloat("--scale", percent ? text.substr(0, text.size() - 1) : text, &value, error)) {
    if (percent) *error = "--scale: '" + text + "' is not a number or a percentage such as 90%";
    return false;
  }
  *scale = percent ? float(double(value) / 100.0) : value;
  return true;
}

float PushFromShare(float percent, double size) { return float(double(percent) / 100.0 * size); }

bool HasStemField(const std::string& pattern) { return pattern.find("{stem}") != std::string::npos; }

bool ExpandStem(const std::string& pattern, const std::string& stem, bool escapePercent, std::string* out,
                std::string* error) {
  std::string expanded;
  for (size_t at = 0; at < pattern.size();) {
    if (pattern[at] != '{') {
      expanded += pattern[at++];
      continue;
    }
    // Only a word in braces is a field; any other brace is part of the name.
    const size_t close = pattern.find_first_not_of("abcdefghijklmnopqrstuvwxyz_", at + 1);
    if (close == std::string::npos || pattern[close] != '}' || close == at + 1) {
      expanded += pattern[at++];
      continue;
    }
    const std::string field = pattern.substr(at + 1, close - at - 1);
    if (field != "stem") {
      *error = "'" + pattern + "': unknown field {" + field + "} (the field is {stem})";
      return false;
    }
    for (char c : stem) {
      expanded += c;
      if (c == '%' && escapePercent) expanded += '%';
    }
    at = close + 1;
  }
  *out = expanded;
  return true;
}

}  // namespace cli
