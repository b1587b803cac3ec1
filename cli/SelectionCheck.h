// The command's reading of a selection list, to warn before a run that the
// list will select nothing. It follows the module's rules: words separated by
// commas, spaces and tabs; a word is a number "N", a range "A-B" (either order,
// anything after a second '-' ignored), or a step "*N" (every N-th); a word
// that is none of these is skipped without a word from the module.
#ifndef TRESSEL_CLI_SELECTIONCHECK_H
#define TRESSEL_CLI_SELECTIONCHECK_H

#include <string>
#include <vector>

namespace cli {

struct CSelectionCheck {
  std::vector<std::string> skipped;  // the words the module skips, in text order
  // Whether any facet or chain number (1, 2, ...) can be in the set: a range
  // reaching 1 or beyond, or a step other than 0.
  bool namesAnyNumber = false;
};

CSelectionCheck CheckSelection(const std::string& text);

}  // namespace cli

#endif  // TRESSEL_CLI_SELECTIONCHECK_H
