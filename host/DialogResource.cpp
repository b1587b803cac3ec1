// Reading the dialog layouts of a resource file: every dialog and control is
// checked (ids, types, bounds inside the client area, items, panels) so that
// a mistake in the file is reported when it is opened, not when a dialog
// misbehaves. Linear in the size of the document.
#include "host/DialogResource.h"

#include <set>
#include <stdexcept>

namespace host {

namespace {

struct CNamedCode {
  const char* name;
  int code;
};
const CNamedCode kCodes[] = {
    {"custom", ControlCode::kCustom}, {"push", ControlCode::kPush},     {"check", ControlCode::kCheck},
    {"radio", ControlCode::kRadio},   {"slider", ControlCode::kSlider}, {"color", ControlCode::kColor},
    {"tab", ControlCode::kTab},       {"static", ControlCode::kStatic}, {"edit", ControlCode::kEdit},
    {"popup", ControlCode::kPopup},   {"customText", ControlCode::kCustomText},
};

// Thrown with the text of the first mistake; caught at the top.
struct CBadResource : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Bad(const std::string& where, const std::string& what) { throw CBadResource(where + ": " + what); }

const nlohmann::json* Member(const nlohmann::json& object, const char* name) {
  auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

int Integer(const nlohmann::json& value, const std::string& where, const char* name) {
  if (!value.is_number_integer()) Bad(where, std::string("\"") + name + "\" must be an integer");
  int64_t number = value.get<int64_t>();
  if (number < INT32_MIN || number > INT32_MAX) Bad(where, std::string("\"") + name + "\" is out of range");
  return int(number);
}

int OptionalInteger(const nlohmann::json& object, const char* name, int fallback, const std::string& where) {
  const nlohmann::json* value = Member(object, name);
  return value ? Integer(*value, where, name) : fallback;
}

// Texts are 8-bit on the module's side; the file holds printable ASCII only,
// so that no conversion can change what the module reads.
std::string Text(const nlohmann::json& object, const char* name, const std::string& where) {
  const nlohmann::json* value = Member(object, name);
  if (!value) return "";
  if (!value->is_string()) Bad(where, std::string("\"") + name + "\" must be a string");
  std::string text = value->get<std::string>();
  for (unsigned char c : text)
    if (c < 0x20 || c > 0x7E) Bad(where, std::string("\"") + name + "\" holds a character that is not printable ASCII");
  if (text.size() > kMaxControlText)
    Bad(where, std::string("\"") + name + "\" is longer than " + std::to_string(kMaxControlText) + " characters");
  return text;
}

std::vector<int> Integers(const nlohmann::json& object, const char* name, size_t count, const std::string& where) {
  const nlohmann::json* value = Member(object, name);
  if (!value) Bad(where, std::string("\"") + name + "\" is missing");
  if (!value->is_array() || value->size() != count)
    Bad(where, std::string("\"") + name + "\" must be an array of " + std::to_string(count) + " integers");
  std::vector<int> numbers;
  for (const nlohmann::json& item : *value) numbers.push_back(Integer(item, where, name));
  return numbers;
}

int TypeCode(const nlohmann::json& value, const std::string& where) {
  if (value.is_string()) {
    for (const CNamedCode& named : kCodes)
      if (value.get<std::string>() == named.name) return named.code;
    Bad(where, "unknown control type \"" + value.get<std::string>() + "\"");
  }
  int code = Integer(value, where, "type");
  if (code < 0 || code > 255) Bad(where, "type code must lie from 0 to 255");
  return code;
}

std::vector<std::string> Items(const nlohmann::json& object, const std::string& where) {
  const nlohmann::json* value = Member(object, "items");
  if (!value || !value->is_array() || value->empty()) Bad(where, "\"items\" must be a non-empty array of strings");
  std::vector<std::string> items;
  for (size_t k = 0; k < value->size(); ++k) {
    nlohmann::json holder = {{"item", (*value)[k]}};
    items.push_back(Text(holder, "item", where + " item " + std::to_string(k)));
  }
  return items;
}

CControlTemplate ParseControl(const nlohmann::json& object, const std::string& dialogWhere, size_t index) {
  std::string where = dialogWhere + " control #" + std::to_string(index);
  if (!object.is_object()) Bad(where, "must be an object");
  CControlTemplate control;
  const nlohmann::json* id = Member(object, "id");
  if (!id) Bad(where, "\"id\" is missing");
  control.id = Integer(*id, where, "id");
  where = dialogWhere + " control " + std::to_string(control.id);
  // The module keeps ids as signed 16-bit values.
  if (control.id < -32768 || control.id > 32767) Bad(where, "id must fit in 16 signed bits");
  const nlohmann::json* type = Member(object, "type");
  if (!type) Bad(where, "\"type\" is missing");
  control.type = TypeCode(*type, where);
  std::vector<int> bounds = Integers(object, "bounds", 4, where);
  control.bounds = EI_Rect{bounds[0], bounds[1], bounds[2], bounds[3]};
  if (control.bounds.right < control.bounds.left || control.bounds.bottom < control.bounds.top)
    Bad(where, "bounds must have right >= left and bottom >= top");
  control.title = Text(object, "title", where);
  control.text = Text(object, "text", where);
  control.value = OptionalInteger(object, "value", 0, where);
  if (const nlohmann::json* enabled = Member(object, "enabled")) {
    if (!enabled->is_boolean()) Bad(where, "\"enabled\" must be true or false");
    control.enabled = enabled->get<bool>();
  }
  switch (control.type) {
    case ControlCode::kRadio:
    case ControlCode::kPopup:
      control.items = Items(object, where);
      if (control.value < 0 || size_t(control.value) >= control.items.size())
        Bad(where, "\"value\" must name one of the items (0-based)");
      break;
    case ControlCode::kCheck:
      if (control.value != 0 && control.value != 1) Bad(where, "a check box's \"value\" is 0 or 1");
      break;
    case ControlCode::kSlider:
      control.minimum = OptionalInteger(object, "minimum", 0, where);
      control.maximum = OptionalInteger(object, "maximum", 100, where);
      if (control.maximum < control.minimum || control.value < control.minimum || control.value > control.maximum)
        Bad(where, "a slider needs minimum <= value <= maximum");
      break;
    case ControlCode::kColor: {
      if (Member(object, "color")) {
        std::vector<int> rgba = Integers(object, "color", 4, where);
        for (int k = 0; k < 4; ++k) {
          if (rgba[size_t(k)] < 0 || rgba[size_t(k)] > 255) Bad(where, "colour components lie from 0 to 255");
          control.color[k] = rgba[size_t(k)];
        }
      }
      break;
    }
    case ControlCode::kTab: {
      const nlohmann::json* panels = Member(object, "panels");
      if (!panels || !panels->is_array() || panels->empty()) Bad(where, "a tab control needs a non-empty \"panels\" array");
      for (const nlohmann::json& entry : *panels) {
        if (!entry.is_object()) Bad(where, "each panel must be an object");
        CTabPanel panel;
        panel.title = Text(entry, "title", where);
        if (const nlohmann::json* ids = Member(entry, "controls")) {
          if (!ids->is_array()) Bad(where, "a panel's \"controls\" must be an array of ids");
          for (const nlohmann::json& panelId : *ids) panel.controls.push_back(Integer(panelId, where, "controls"));
        }
        control.panels.push_back(std::move(panel));
      }
      if (Member(object, "value") == nullptr) control.value = 1;
      if (control.value < 1 || size_t(control.value) > control.panels.size())
        Bad(where, "a tab control's \"value\" names a panel, from 1");
      break;
    }
    case ControlCode::kCustom:
    case ControlCode::kCustomText:
      if (const nlohmann::json* extra = Member(object, "extra")) {
        if (!extra->is_object()) Bad(where, "\"extra\" must be an object");
        if (const nlohmann::json* popup = Member(*extra, "popup")) {
          if (!popup->is_boolean()) Bad(where, "\"extra\".\"popup\" must be true or false");
          control.customPopup = popup->get<bool>();
        }
        control.customValue = OptionalInteger(*extra, "value", 0, where);
      }
      break;
    default:
      break;
  }
  return control;
}

CDialogTemplate ParseDialog(const std::string& key, const nlohmann::json& object) {
  std::string where = "dialog " + key;
  CDialogTemplate dialog;
  size_t used = 0;
  long long id = 0;
  try {
    id = std::stoll(key, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != key.size() || id < -32768 || id > 32767)
    Bad(where, "the key must be a resource id (a 16-bit signed integer)");
  dialog.id = int(id);
  if (!object.is_object()) Bad(where, "must be an object");
  dialog.title = Text(object, "title", where);
  std::vector<int> size = Integers(object, "size", 2, where);
  dialog.width = size[0];
  dialog.height = size[1];
  if (Member(object, "frameOffset")) {
    std::vector<int> frame = Integers(object, "frameOffset", 2, where);
    dialog.frameDx = frame[0];
    dialog.frameDy = frame[1];
  }
  if (dialog.frameDx < 0 || dialog.frameDy < 0 || dialog.width <= dialog.frameDx || dialog.height <= dialog.frameDy)
    Bad(where, "the size must exceed a non-negative frame offset");
  const nlohmann::json* controls = Member(object, "controls");
  if (!controls || !controls->is_array()) Bad(where, "\"controls\" must be an array");
  std::set<int> ids;
  const int clientWidth = dialog.width - dialog.frameDx, clientHeight = dialog.height - dialog.frameDy;
  for (size_t k = 0; k < controls->size(); ++k) {
    CControlTemplate control = ParseControl((*controls)[k], where, k);
    if (!ids.insert(control.id).second) Bad(where, "control id " + std::to_string(control.id) + " appears twice");
    const EI_Rect& b = control.bounds;
    if (b.left < 0 || b.top < 0 || b.right > clientWidth || b.bottom > clientHeight)
      Bad(where + " control " + std::to_string(control.id), "bounds lie outside the client area " +
                                                                  std::to_string(clientWidth) + " x " +
                                                                  std::to_string(clientHeight));
    dialog.controls.push_back(std::move(control));
  }
  for (const CControlTemplate& control : dialog.controls)
    for (const CTabPanel& panel : control.panels)
      for (int member : panel.controls)
        if (!ids.count(member) || member == control.id)
          Bad(where + " control " + std::to_string(control.id), "panel \"" + panel.title +
                                                                    "\" names control " + std::to_string(member) +
                                                                    ", which is not another control of the dialog");
  return dialog;
}

}  // namespace

const char* ControlCodeName(int code) {
  for (const CNamedCode& named : kCodes)
    if (named.code == code) return named.name;
  return "value";
}

bool ParseDialogResources(const nlohmann::json& document, std::map<int, CDialogTemplate>* dialogs, std::string* error) {
  try {
    std::map<int, CDialogTemplate> parsed;
    const nlohmann::json* all = document.is_object() ? Member(document, "dialogs") : nullptr;
    if (!all || !all->is_object()) Bad("resource file", "\"dialogs\" must be an object keyed by resource id");
    for (auto entry = all->begin(); entry != all->end(); ++entry) {
      CDialogTemplate dialog = ParseDialog(entry.key(), entry.value());
      int id = dialog.id;
      if (!parsed.emplace(id, std::move(dialog)).second)
        Bad("dialog " + entry.key(), "resource id " + std::to_string(id) + " appears twice");
    }
    if (dialogs) *dialogs = std::move(parsed);
    return true;
  } catch (const CBadResource& bad) {
    if (error) *error = bad.what();
    return false;
  }
}

}  // namespace host
