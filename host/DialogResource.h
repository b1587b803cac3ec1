// Dialog layouts of a resource file (format "tressel-resources", documented in
// docs/resource-file.md): dialogs by resource id, each with its title, outer
// size, frame offset and controls.
#ifndef TRESSEL_HOST_DIALOGRESOURCE_H
#define TRESSEL_HOST_DIALOGRESOURCE_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ui/EIFunctions.h"

namespace host {

// Control type codes as EI_GetControlType reports them. Codes the module
// interprets are fixed by the module; the value controls (2, 3, 4, 5 and any
// code from 16 up) are this host's choice.
namespace ControlCode {
constexpr int kCustom = 0;      // value through its item object (extra data)
constexpr int kPush = 1;
constexpr int kCheck = 2;       // value 0 or 1; a click toggles it
constexpr int kRadio = 3;       // value: 0-based index of the chosen item
constexpr int kSlider = 4;      // value from minimum to maximum
constexpr int kColor = 5;       // colour button; value unused
constexpr int kTab = 6;         // current panel, 1-based
constexpr int kStatic = 9;      // text in the title
constexpr int kEdit = 10;
constexpr int kPopup = 13;      // value: 0-based index of the chosen item
constexpr int kCustomText = 15; // a custom item counted among the text items
}  // namespace ControlCode

// The name used in resource files for a code ("push", "check", ...); codes
// without a name read as "value".
const char* ControlCodeName(int code);

struct CTabPanel {
  std::string title;
  std::vector<int> controls;  // ids of the controls shown only on this panel
};

struct CControlTemplate {
  int id = 0;
  int type = 0;
  EI_Rect bounds{0, 0, 0, 0};
  std::string title;  // push, check, radio, static (its text), tab
  std::string text;   // edit text
  int value = 0;
  bool enabled = true;
  std::vector<std::string> items;  // radio and popup
  int minimum = 0, maximum = 0;    // slider
  std::vector<CTabPanel> panels;   // tab
  int color[4] = {0, 0, 0, 255};   // colour button: red, green, blue, alpha
  // Custom items: what the item object the host makes reports.
  bool customPopup = false;
  int customValue = 0;
};

struct CDialogTemplate {
  int id = 0;
  std::string title;
  int width = 0, height = 0;      // outer size
  int frameDx = 0, frameDy = 0;   // outer size minus client size
  std::vector<CControlTemplate> controls;  // in index order
};

// Longest text an edit field or title holds: what the module reads back.
constexpr size_t kMaxControlText = 254;

// Reads and checks every dialog of a parsed resource file. False with one
// line naming the dialog and control at fault in *error.
bool ParseDialogResources(const nlohmann::json& document, std::map<int, CDialogTemplate>* dialogs,
                          std::string* error);

}  // namespace host

#endif  // TRESSEL_HOST_DIALOGRESOURCE_H
