// CDialogScript: a dialog driver that plays a script of user actions, one per
// line (the language is documented in docs/dialog-script.md). Nested dialogs
// (an alert opened from a hit function) take the following lines until they
// are stopped; then the enclosing dialog continues with the rest.
#ifndef TRESSEL_HOST_DIALOGSCRIPT_H
#define TRESSEL_HOST_DIALOGSCRIPT_H

#include <filesystem>
#include <string>
#include <vector>

#include "host/DialogService.h"

namespace host {

class CDialogScript : public CDialogDriver {
 public:
  // Parses the whole script; false with "line N: ..." in *error for the first
  // line that is not an action. Nothing runs until a dialog does.
  bool Parse(const std::string& text, std::string* error);
  bool Load(const std::filesystem::path& path, std::string* error);

  // Plays lines against `dialog` until it is stopped. A failed action or
  // expectation fails the script and cancels every running dialog; a script
  // that runs out while a dialog still runs cancels it with a warning.
  void Run(CLiveDialog& dialog) override;

  bool Failed() const { return !mFailure.empty(); }
  const std::string& Failure() const { return mFailure; }  // "line N: ..."
  // Refused keystrokes, a script that ended early: things worth telling.
  const std::vector<std::string>& Warnings() const { return mWarnings; }
  // Lines not yet played (a script longer than the dialogs it drove).
  size_t Remaining() const { return mActions.size() - mNext; }

 private:
  enum class Verb { kType, kClear, kSet, kClick, kKey, kDrag, kExpect, kOk, kCancel, kClose };
  enum class Expectation { kValue, kText, kEnabled, kDialog, kTitle };
  struct CAction {
    int line = 0;
    Verb verb = Verb::kOk;
    Expectation expectation = Expectation::kValue;
    int control = 0;
    int number = 0;  // value, key code, dx, expected number
    int dy = 0;
    std::string text;
  };
  bool ParseLine(const std::string& line, int number, std::string* error);
  void Perform(CLiveDialog& dialog, const CAction& action);
  CLiveControl* Control(CLiveDialog& dialog, const CAction& action);
  void Fail(const CAction& action, const std::string& what);
  void Warn(const CAction& action, const std::string& what);

  std::vector<CAction> mActions;
  size_t mNext = 0;
  std::string mFailure;
  std::vector<std::string> mWarnings;
};

}  // namespace host

#endif  // TRESSEL_HOST_DIALOGSCRIPT_H
