// The terminal dialog driver: draws every running dialog (innermost on top)
// from its controls' bounds and turns key presses into the user actions of
// CDialogService. Each key redraws the screen, O(controls).
#include "cli/TerminalDriver.h"

#include <curses.h>
#include <unistd.h>

#include <algorithm>

#include "cli/NumberFields.h"
#include "host/MacRoman.h"

namespace cli {

namespace {

using host::CLiveControl;
using host::CLiveDialog;
namespace Code = host::ControlCode;

constexpr int kColumnPixels = 8;
constexpr int kRowPixels = 16;
constexpr int kCtrlC = 3;  // in raw mode; Enter arrives as a newline or KEY_ENTER
constexpr const char* kHelp = "Tab/S-Tab focus  Space press  arrows choose  Enter OK  Esc cancel  ^C abort";

struct CCell {
  int y = 0, x = 0, height = 1, width = 1;
};

// Where a dialog's client area starts on the screen, its size in cells.
struct CFrame {
  int y = 0, x = 0, rows = 0, columns = 0;
};

CFrame FrameOf(const CLiveDialog& dialog) {
  CFrame frame;
  frame.columns = (dialog.width - dialog.frameDx + kColumnPixels - 1) / kColumnPixels;
  frame.rows = (dialog.height - dialog.frameDy + kRowPixels - 1) / kRowPixels;
  frame.y = std::max(0, (LINES - 1 - (frame.rows + 2)) / 2) + 1;
  frame.x = std::max(0, (COLS - (frame.columns + 2)) / 2) + 1;
  return frame;
}

CCell CellOf(const CFrame& frame, const CLiveControl& control) {
  CCell cell;
  cell.y = frame.y + control.bounds.top / kRowPixels;
  cell.x = frame.x + control.bounds.left / kColumnPixels;
  cell.height = std::max(1, (control.bounds.bottom - control.bounds.top) / kRowPixels);
  cell.width = std::max(1, (control.bounds.right - control.bounds.left) / kColumnPixels);
  return cell;
}

void Put(int y, int x, const std::string& text, int width, attr_t attributes = A_NORMAL) {
  if (width <= 0 || y < 0 || y >= LINES) return;
  attron(attributes);
  mvaddnstr(y, x, host::MacRomanToUtf8(text.substr(0, size_t(width))).c_str(), -1);
  attroff(attributes);
}

// Words of `text` over the rows of the cell.
void PutWrapped(const CCell& cell, const std::string& text, attr_t attributes) {
  size_t start = 0;
  for (int row = 0; row < cell.height && start < text.size(); ++row) {
    size_t end = std::min(text.size(), start + size_t(cell.width));
    if (end < text.size() && row + 1 < cell.height) {
      size_t space = text.rfind(' ', end);
      if (space != std::string::npos && space > start) end = space;
    }
    Put(cell.y + row, cell.x, text.substr(start, end - start), cell.width, attributes);
    start = end;
    while (start < text.size() && text[start] == ' ') ++start;
  }
}

bool Chooses(const CLiveControl& control) {
  return control.type == Code::kRadio || control.type == Code::kPopup || control.type == Code::kSlider ||
         control.type == Code::kTab;
}

}  // namespace

bool CTerminalDriver::Available() { return ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO); }

CTerminalDriver::~CTerminalDriver() {
  if (mStarted) endwin();
}

void CTerminalDriver::Start() {
  if (mStarted) return;
  initscr();
  raw();
  noecho();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  mStarted = true;
}

CLiveControl* CTerminalDriver::Focused(CLiveDialog& dialog) {
  auto found = mFocus.find(&dialog);
  if (found == mFocus.end() || found->second < 0 || size_t(found->second) >= dialog.controls.size()) return nullptr;
  CLiveControl* control = dialog.controls[size_t(found->second)].get();
  return control->Focusable() && dialog.Visible(*control) ? control : nullptr;
}

void CTerminalDriver::MoveFocus(CLiveDialog& dialog, int step) {
  const int count = int(dialog.controls.size());
  if (count == 0) return;
  int at = mFocus.count(&dialog) ? mFocus[&dialog] : (step > 0 ? -1 : 0);
  for (int tried = 0; tried < count; ++tried) {
    at = ((at + step) % count + count) % count;
    const CLiveControl& control = *dialog.controls[size_t(at)];
    if (control.Focusable() && dialog.Visible(control)) {
      mFocus[&dialog] = at;
      return;
    }
  }
}

void CTerminalDriver::DrawDialog(CLiveDialog& dialog, bool top) {
  const CFrame frame = FrameOf(dialog);
  for (int row = -1; row <= frame.rows; ++row) mvhline(frame.y + row, frame.x - 1, ' ', frame.columns + 2);
  attr_t border = top ? A_BOLD : A_DIM;
  attron(border);
  mvaddch(frame.y - 1, frame.x - 1, ACS_ULCORNER);
  mvhline(frame.y - 1, frame.x, ACS_HLINE, frame.columns);
  mvaddch(frame.y - 1, frame.x + frame.columns, ACS_URCORNER);
  mvvline(frame.y, frame.x - 1, ACS_VLINE, frame.rows);
  mvvline(frame.y, frame.x + frame.columns, ACS_VLINE, frame.rows);
  mvaddch(frame.y + frame.rows, frame.x - 1, ACS_LLCORNER);
  mvhline(frame.y + frame.rows, frame.x, ACS_HLINE, frame.columns);
  mvaddch(frame.y + frame.rows, frame.x + frame.columns, ACS_LRCORNER);
  attroff(border);
  if (!dialog.title.empty()) Put(frame.y - 1, frame.x + 1, " " + dialog.title + " ", frame.columns - 2, border);

  CLiveControl* focused = top ? Focused(dialog) : nullptr;
  int cursorY = -1, cursorX = -1;
  for (const auto& owned : dialog.controls) {
    const CLiveControl& control = *owned;
    if (!dialog.Visible(control)) continue;
    const CCell cell = CellOf(frame, control);
    attr_t attributes = control.enabled ? A_NORMAL : A_DIM;
    if (&control == focused) attributes |= A_REVERSE;
    switch (control.type) {
      case Code::kStatic:
        PutWrapped(cell, control.title, control.enabled ? A_NORMAL : A_DIM);
        break;
      case Code::kPush: {
        std::string label = "[ " + control.title + " ]";
        int pad = std::max(0, (cell.width - int(label.size())) / 2);
        Put(cell.y, cell.x + pad, label, cell.width - pad, attributes);
        break;
      }
      case Code::kCheck:
        Put(cell.y, cell.x, std::string(control.value ? "[x] " : "[ ] ") + control.title, cell.width, attributes);
        break;
      case Code::kRadio:
        for (size_t k = 0; k < control.layout.items.size(); ++k) {
          bool chosen = control.value == int(k);
          std::string line = std::string(chosen ? "(o) " : "( ) ") + control.layout.items[k];
          int y = cell.height >= int(control.layout.items.size()) ? cell.y + int(k) : cell.y;
          int x = cell.height >= int(control.layout.items.size()) ? cell.x : cell.x + int(k) * (cell.width / int(control.layout.items.size()));
          Put(y, x, line, cell.width, chosen ? attributes : (control.enabled ? A_NORMAL : A_DIM));
        }
        break;
      case Code::kPopup: {
        bool known = control.value >= 0 && size_t(control.value) < control.layout.items.size();
        Put(cell.y, cell.x, "< " + (known ? control.layout.items[size_t(control.value)] : std::string("?")) + " >",
            cell.width, attributes);
        break;
      }
      case Code::kEdit: {
        // The end of the text, where typing happens, stays in view.
        const int room = std::max(1, cell.width - 1);
        std::string shown = control.text.size() > size_t(room) ? control.text.substr(control.text.size() - size_t(room)) : control.text;
        mvhline(cell.y, cell.x, ' ', cell.width);
        Put(cell.y, cell.x, shown + std::string(size_t(cell.width) - shown.size(), ' '), cell.width,
            attributes | A_UNDERLINE);
        if (&control == focused) {
          cursorY = cell.y;
          cursorX = cell.x + int(shown.size());
        }
        break;
      }
      case Code::kTab: {
        int x = cell.x;
        for (size_t k = 0; k < control.layout.panels.size(); ++k) {
          std::string label = " " + control.layout.panels[k].title + " ";
          bool current = control.value == int(k) + 1;
          Put(cell.y, x, label, cell.x + cell.width - x, current ? attributes | A_BOLD : A_NORMAL);
          x += int(label.size()) + 1;
        }
        break;
      }
      case Code::kSlider:
        Put(cell.y, cell.x, "< " + std::to_string(control.value) + " >", cell.width, attributes);
        break;
      case Code::kColor: {
        char text[16];
        std::snprintf(text, sizeof text, "[#%02x%02x%02x]", control.color[0], control.color[1], control.color[2]);
        Put(cell.y, cell.x, text, cell.width, attributes);
        break;
      }
      case Code::kCustom:
      case Code::kCustomText:
        Put(cell.y, cell.x, "[" + std::to_string(control.ItemValue()) + "]", cell.width, attributes);
        break;
      default:
        Put(cell.y, cell.x, std::to_string(control.value), cell.width, attributes);
        break;
    }
  }
  if (top) {
    curs_set(cursorY >= 0 ? 1 : 0);
    if (cursorY >= 0) move(cursorY, cursorX);
  }
}

void CTerminalDriver::Draw() {
  erase();
  Put(LINES - 1, 0, mMessage.empty() ? kHelp : mMessage, COLS, mMessage.empty() ? A_DIM : A_BOLD);
  const std::vector<CLiveDialog*>& running = host::CDialogService::Instance().RunningDialogs();
  for (size_t k = 0; k < running.size(); ++k) DrawDialog(*running[k], k + 1 == running.size());
  // The module reads a number field's text that is not a number as 0 without a
  // word: say so above the help line, over anything drawn there, while it
  // stands, so it is seen before OK. The cursor stays in the focused field.
  if (!running.empty()) {
    int cursorY = 0, cursorX = 0;
    getyx(stdscr, cursorY, cursorX);
    const std::vector<std::string> warnings = NumberFieldWarnings(*running.back());
    for (size_t k = 0; k < warnings.size() && int(k) + 2 < LINES; ++k) {
      const int y = LINES - 2 - int(warnings.size() - 1 - k);
      mvhline(y, 0, ' ', COLS);
      Put(y, 0, "! " + warnings[k], COLS, A_BOLD);
    }
    move(cursorY, cursorX);
  }
  refresh();
}

void CTerminalDriver::Handle(CLiveDialog& dialog, int key) {
  host::CDialogService& service = host::CDialogService::Instance();
  CLiveControl* focused = Focused(dialog);
  std::string why;
  mMessage.clear();
  if (key == kCtrlC) {
    for (CLiveDialog* open : service.RunningDialogs()) service.Close(*open);
    return;
  }
  if (key == '\t') return MoveFocus(dialog, 1);
  if (key == KEY_BTAB) return MoveFocus(dialog, -1);
  if (focused && focused->type == Code::kEdit) {
    if (key >= 32 && key < 127) {
      if (!service.TypeCharacter(*focused, char(key), &why)) mMessage = "refused: " + why;
      return;
    }
    if (key == KEY_BACKSPACE || key == 127 || key == 8) {
      service.Backspace(*focused, &why);
      return;
    }
  }
  if (focused && key == ' ') {
    if (!service.Click(*focused, &why)) mMessage = why;
    return;
  }
  if (focused && Chooses(*focused) &&
      (key == KEY_LEFT || key == KEY_RIGHT || key == KEY_UP || key == KEY_DOWN)) {
    const int step = key == KEY_LEFT || key == KEY_UP ? -1 : 1;
    if (!service.ChooseValue(*focused, focused->value + step, &why)) beep();
    return;
  }
  int code = key;
  if (key == '\n' || key == '\r') code = 13;
  if (key == KEY_ENTER) code = 3;
  if (code < 0 || code > 255) return;
  service.PressKey(dialog, code);
}

void CTerminalDriver::Run(CLiveDialog& dialog) {
  Start();
  MoveFocus(dialog, 1);
  while (!dialog.stopped) {
    Draw();
    int key = getch();
    if (key == ERR) {
      // The terminal went away: nobody can answer the dialog.
      for (CLiveDialog* open : host::CDialogService::Instance().RunningDialogs()) host::CDialogService::Instance().Close(*open);
      break;
    }
    if (key == KEY_RESIZE) continue;
    Handle(dialog, key);
  }
  mFocus.erase(&dialog);
  if (host::CDialogService::Instance().RunningDialogs().size() > 1) Draw();
}

}  // namespace cli
