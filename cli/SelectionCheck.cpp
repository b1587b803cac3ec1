// A selection list read as the module reads it (see SelectionCheck.h), only
// to tell what it can name. Linear in the text.
#include "cli/SelectionCheck.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace cli {

namespace {

std::vector<std::string> Words(const std::string& text, const std::string& separators) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < text.size()) {
    at = text.find_first_not_of(separators, at);
    if (at == std::string::npos) break;
    size_t end = text.find_first_of(separators, at);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

// A complete base-10 int32 with an optional sign; a lone '-' reads as 0.
bool WholeNumber(const std::string& text, long* value) {
  if (text.empty()) return false;
  if (text == "-") {
    *value = 0;
    return true;
  }
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno == ERANGE || parsed > INT_MAX || parsed < INT_MIN || *end != '\0') return false;
  *value = parsed;
  return true;
}

}  // namespace

CSelectionCheck CheckSelection(const std::string& text) {
  CSelectionCheck check;
  for (const std::string& word : Words(text, ", \t")) {
    long first = 0, second = 0;
    bool read = false;
    if (word[0] == '*') {
      read = WholeNumber(word.substr(1), &first);
      if (read && first != 0) check.namesAnyNumber = true;
    } else if (word.find('-') != std::string::npos) {
      const std::vector<std::string> parts = Words(word, " -");
      read = parts.size() >= 2 && WholeNumber(parts[0], &first) && WholeNumber(parts[1], &second);
      if (read && std::max(first, second) >= 1) check.namesAnyNumber = true;
    } else {
      read = WholeNumber(word, &first);
      if (read && first >= 1) check.namesAnyNumber = true;
    }
    if (!read) check.skipped.push_back(word);
  }
  return check;
}

}  // namespace cli
