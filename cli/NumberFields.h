// Which edit fields of a dialog hold numbers, and whether their text reads as
// one. The module reads a Push or Scale text that is not wholly a number as 0
// without a word; the terminal dialog uses this to tell the person before they
// confirm. A field is a number field when its label (the static text just left
// of it on the same row) is "Push:" or "Scale:".
#ifndef TRESSEL_CLI_NUMBERFIELDS_H
#define TRESSEL_CLI_NUMBERFIELDS_H

#include <string>
#include <vector>

#include "host/DialogService.h"

namespace cli {

// True when the module reads `text` as the number it shows: not empty, and
// wholly a number as strtod reads one (so "2.5x", "abc" and "" are not).
bool ReadsAsNumber(const std::string& text);

// The label of an edit field: the title of the visible static text whose row
// overlaps the field's and that ends nearest to its left edge, without its
// trailing colon and blanks; empty when there is none.
std::string FieldLabel(const host::CLiveDialog& dialog, const host::CLiveControl& field);

// One line per visible number field whose text does not read as a number:
// "Push: '2.5x' is not a number; it will be read as 0". Linear in the
// controls for each edit field.
std::vector<std::string> NumberFieldWarnings(const host::CLiveDialog& dialog);

}  // namespace cli

#endif  // TRESSEL_CLI_NUMBERFIELDS_H
