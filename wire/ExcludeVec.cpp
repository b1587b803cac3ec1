// Parsing the selection list and testing membership. Words are separated by
// runs of ',', ' ' and tab; a word is "n", "a-b" (either order; anything after
// a second '-' is ignored) or "*d" (every multiple of d). Init is linear in
// the text length; Inside is linear in the number of entries.
#include "wire/ExcludeVec.h"

#include <stdint.h>

namespace {
// ExtractLexema options: remove the word from the text, trim the word.
constexpr uint8_t kTakeAndTrim = 3;
}  // namespace

void CExcludeVec::Init(PascalString text) {
  ranges.Free();
  steps.Free();
  PascalString word;
  while (text.ExtractLexema(word, 1, ", \t", kTakeAndTrim)) {
    int number = 0;
    if (word[1] == '*') {
      word.Delete(1, 1);
      // A step of 0 names no number (nothing is a multiple of it), and must
      // never reach the division in Inside.
      if (word.GetLong(number) && number != 0) {
        int* step = steps.ElemNew();
        if (step) *step = number;
      }
    } else if (word.Pos("-") > 0) {
      PascalString first, second;
      int a = 0, b = 0;
      if (word.ExtractLexema(first, 1, " -", kTakeAndTrim) && word.ExtractLexema(second, 1, " -", kTakeAndTrim) &&
          first.GetLong(a) && second.GetLong(b)) {
        CRange* range = ranges.ElemNew();
        if (range) *range = CRange{a < b ? a : b, a < b ? b : a};
      }
    } else if (word.GetLong(number)) {
      CRange* range = ranges.ElemNew();
      if (range) *range = CRange{number, number};
    }
  }
}

bool CExcludeVec::Inside(int n) const {
  for (size_t i = 0; i < ranges.count; ++i)
    if (ranges[i].lo <= n && n <= ranges[i].hi) return true;
  // In 64 bits, so that no divisor (-1 included) can overflow the remainder.
  for (size_t i = 0; i < steps.count; ++i)
    if (steps[i] != 0 && int64_t(n) % int64_t(steps[i]) == 0) return true;
  return false;
}
