// CTerminalDriver: a person runs the dialogs in the terminal (ncurses). The
// controls are laid out from their bounds (8 pixels a column, 16 a row), a
// nested dialog is drawn over the one below it. Keys: Tab / Shift-Tab move the
// focus; printable characters and Backspace edit the focused field through its
// edit filter; Space presses the focused button or toggles the focused check
// box; arrows choose in the focused radio group, popup, slider or tab; every
// other key goes to the dialog's key filter and then to the host's handling
// (Return and Enter confirm through control 1, Escape cancels through
// control 2); Ctrl-C cancels every open dialog.
#ifndef TRESSEL_CLI_TERMINALDRIVER_H
#define TRESSEL_CLI_TERMINALDRIVER_H

#include <map>
#include <string>

#include "host/DialogService.h"

namespace cli {

class CTerminalDriver : public host::CDialogDriver {
 public:
  // True when stdin and stdout are both terminals.
  static bool Available();
  CTerminalDriver() = default;
  ~CTerminalDriver() override;  // gives the screen back
  CTerminalDriver(const CTerminalDriver&) = delete;
  CTerminalDriver& operator=(const CTerminalDriver&) = delete;

  void Run(host::CLiveDialog& dialog) override;

 private:
  void Start();
  void Draw();
  void DrawDialog(host::CLiveDialog& dialog, bool top);
  void Handle(host::CLiveDialog& dialog, int key);
  void MoveFocus(host::CLiveDialog& dialog, int step);
  host::CLiveControl* Focused(host::CLiveDialog& dialog);

  bool mStarted = false;
  std::map<host::CLiveDialog*, int> mFocus;  // index of the focused control
  std::string mMessage;                      // shown on the status line until the next key
};

}  // namespace cli

#endif  // TRESSEL_CLI_TERMINALDRIVER_H
