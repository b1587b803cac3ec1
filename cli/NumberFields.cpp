// Number fields of the terminal dialog (see NumberFields.h).
#include "cli/NumberFields.h"

#include <cstdlib>

namespace cli {

namespace {

namespace Code = host::ControlCode;

bool IsNumberLabel(const std::string& label) { return label == "Push" || label == "Scale"; }

}  // namespace

bool ReadsAsNumber(const std::string& text) {
  if (text.empty()) return false;
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

std::string FieldLabel(const host::CLiveDialog& dialog, const host::CLiveControl& field) {
  const host::CLiveControl* nearest = nullptr;
  for (const auto& owned : dialog.controls) {
    const host::CLiveControl& control = *owned;
    if (control.type != Code::kStatic || !dialog.Visible(control)) continue;
    const bool sameRow = control.bounds.top < field.bounds.bottom && field.bounds.top < control.bounds.bottom;
    if (!sameRow || control.bounds.right > field.bounds.left) continue;
    if (!nearest || control.bounds.right > nearest->bounds.right) nearest = &control;
  }
  if (!nearest) return "";
  std::string label = nearest->title;
  while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.pop_back();
  return label;
}

std::vector<std::string> NumberFieldWarnings(const host::CLiveDialog& dialog) {
  std::vector<std::string> warnings;
  for (const auto& owned : dialog.controls) {
    const host::CLiveControl& control = *owned;
    if (control.type != Code::kEdit || !dialog.Visible(control)) continue;
    const std::string label = FieldLabel(dialog, control);
    if (IsNumberLabel(label) && !ReadsAsNumber(control.text))
      warnings.push_back(label + ": '" + control.text + "' is not a number; it will be read as 0");
  }
  return warnings;
}

}  // namespace cli
