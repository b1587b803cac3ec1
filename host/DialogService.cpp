// Live dialogs and controls behind the module's dialog functions: made from
// the layouts of an open resource file, checked on every call (live handle,
// promised text buffers, sane arguments), and run modally through a driver.
// Every call is O(log live) for the handle check plus the work it names.
#include "host/DialogService.h"

#include <algorithm>
#include <cstring>

#include "host/FileService.h"

namespace host {

namespace {

// The only edit filter mode this host knows: the filter is asked with the
// complete proposed text before every change a person makes.
constexpr int kWholeTextFilterMode = 5;
constexpr int kTextCapacity = int(kMaxControlText);
constexpr int kDragSteps = 4;
constexpr int64_t kPointerReach = int64_t(1) << 20;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ControlName(const CLiveControl& control) {
  return "control " + std::to_string(control.id) + " of dialog " + std::to_string(control.dialog->resourceId);
}

}  // namespace

bool CLiveControl::IsValueControl() const {
  switch (type) {
    case ControlCode::kPush:
    case ControlCode::kStatic:
    case ControlCode::kEdit:
    case ControlCode::kCustom:
    case ControlCode::kCustomText:
    case ControlCode::kColor:
      return false;
    default:
      return true;
  }
}

bool CLiveControl::Focusable() const {
  if (!enabled) return false;
  switch (type) {
    case ControlCode::kStatic:
    case ControlCode::kCustom:
    case ControlCode::kCustomText:
      return false;
    default:
      return true;
  }
}

CLiveControl* CLiveDialog::Find(int id) const {
  for (const auto& control : controls)
    if (control->id == id) return control.get();
  return nullptr;
}

bool CLiveDialog::Visible(const CLiveControl& control) const {
  for (const auto& tab : controls) {
    if (tab->type != ControlCode::kTab) continue;
    for (size_t panel = 0; panel < tab->layout.panels.size(); ++panel) {
      const std::vector<int>& members = tab->layout.panels[panel].controls;
      if (std::find(members.begin(), members.end(), control.id) != members.end() && tab->value != int(panel) + 1)
        return false;
    }
  }
  return true;
}

CDialogService& CDialogService::Instance() {
  static CDialogService service;
  return service;
}

CDialogService::CDialogService() {
  CFileService::Instance().AddCompanion([this] { CheckIdle(); }, [this] { Reset(); });
}

void CDialogService::Violate(const char* name, std::string detail) {
  CFileService::Instance().Report(name, std::move(detail));
}

bool CDialogService::InCommand(const char* function) {
  if (CFileService::Instance().CommandInProgress()) return true;
  Violate("dialog function outside a command", std::string(function) + " called while no command was in progress");
  return false;
}

CLiveDialog* CDialogService::LiveDialog(EI_Dialog* d, const char* function) {
  if (!InCommand(function)) return nullptr;
  if (!d) {
    Violate("null dialog", std::string(function) + " got a null dialog");
    return nullptr;
  }
  auto found = mDialogs.find(reinterpret_cast<CLiveDialog*>(d));
  if (found == mDialogs.end()) {
    Violate("unknown dialog", std::string(function) + " got a dialog handle the host did not hand out or already destroyed");
    return nullptr;
  }
  if (found->second->destroyPending) {
    Violate("unknown dialog", std::string(function) + " got a dialog that was already destroyed");
    return nullptr;
  }
  return found->second.get();
}

CLiveControl* CDialogService::LiveControl(EI_Control* c, const char* function) {
  if (!InCommand(function)) return nullptr;
  if (!c) {
    Violate("null control", std::string(function) + " got a null control");
    return nullptr;
  }
  auto found = mControls.find(reinterpret_cast<CLiveControl*>(c));
  if (found == mControls.end() || found->second->destroyPending) {
    Violate("unknown control", std::string(function) + " got a control handle that is not a control of a live dialog");
    return nullptr;
  }
  return found->first;
}

// --- dialogs

EI_Dialog* CDialogService::MakeDialog(void* file, int id) {
  if (!InCommand("EI_MakeDialog")) return nullptr;
  const nlohmann::json* content = CFileService::Instance().Content(file);
  if (!content) {
    Violate("unknown resource file", "EI_MakeDialog got a resource file handle that is not open");
    return nullptr;
  }
  std::map<int, CDialogTemplate> layouts;
  std::string error;
  ParseDialogResources(*content, &layouts, &error);  // checked when the file was opened
  auto layout = layouts.find(id);
  if (layout == layouts.end()) {
    ++mFailedMakes;
    mLastMakeFailure = "the resource file has no dialog " + std::to_string(id);
    return nullptr;
  }
  auto dialog = std::make_unique<CLiveDialog>();
  const CDialogTemplate& from = layout->second;
  dialog->resourceId = from.id;
  dialog->title = from.title;
  dialog->width = from.width;
  dialog->height = from.height;
  dialog->frameDx = from.frameDx;
  dialog->frameDy = from.frameDy;
  for (const CControlTemplate& control : from.controls) {
    auto live = std::make_unique<CLiveControl>();
    live->dialog = dialog.get();
    live->layout = control;
    live->id = control.id;
    live->type = control.type;
    live->bounds = control.bounds;
    live->title = control.title;
    live->text = control.text;
    live->value = control.value;
    live->enabled = control.enabled;
    std::copy(control.color, control.color + 4, live->color);
    if (control.type == ControlCode::kCustom || control.type == ControlCode::kCustomText)
      live->item = std::make_unique<CHostCustomItem>(control.customPopup, control.customValue);
    mControls[live.get()] = dialog.get();
    dialog->controls.push_back(std::move(live));
  }
  CLiveDialog* handle = dialog.get();
  mDialogs[handle] = std::move(dialog);
  ++mMade;
  mLastMakeFailure.clear();
  return handle->Handle();
}

void CDialogService::Free(CLiveDialog* dialog) {
  for (const auto& control : dialog->controls) {
    mControls.erase(control.get());
    if (mTrack.control == control.get()) mTrack = CTrack{};
  }
  mDialogs.erase(dialog);
}

void CDialogService::DestroyDialog(EI_Dialog* d) {
  CLiveDialog* dialog = LiveDialog(d, "EI_DestroyDialog");
  if (!dialog) return;
  if (dialog->running) {
    Violate("dialog still running", "EI_DestroyDialog of dialog " + std::to_string(dialog->resourceId) +
                                        " while its EI_ExecuteDialog has not returned");
    dialog->destroyPending = true;
    return;
  }
  Free(dialog);
}

int CDialogService::ExecuteDialog(EI_Dialog* d) {
  CLiveDialog* dialog = LiveDialog(d, "EI_ExecuteDialog");
  if (!dialog) return 0;
  if (dialog->running) {
    Violate("dialog already running", "EI_ExecuteDialog of dialog " + std::to_string(dialog->resourceId) +
                                          " inside its own run");
    return 0;
  }
  ++mExecutions;
  mExecutedResources.push_back(dialog->resourceId);
  dialog->running = true;
  dialog->stopped = false;
  dialog->confirm = 0;
  mRunning.push_back(dialog);
  if (mDriver)
    mDriver->Run(*dialog);
  else
    ++mUndriven;
  mRunning.erase(std::find(mRunning.begin(), mRunning.end(), dialog));
  dialog->running = false;
  int result = dialog->stopped && dialog->confirm ? 1 : 0;
  if (dialog->destroyPending) Free(dialog);
  return result;
}

void CDialogService::StopDialog(EI_Dialog* d, int confirm) {
  CLiveDialog* dialog = LiveDialog(d, "EI_StopDialog");
  if (!dialog) return;
  if (!dialog->running) {
    Violate("dialog not running", "EI_StopDialog of dialog " + std::to_string(dialog->resourceId) +
                                      ", which is not running");
    return;
  }
  dialog->stopped = true;
  dialog->confirm = confirm != 0;
}

void CDialogService::SetDialogExtraData(EI_Dialog* d, void* data) {
  if (CLiveDialog* dialog = LiveDialog(d, "EI_SetDialogExtraData")) dialog->extraData = data;
}

void* CDialogService::GetDialogExtraData(EI_Dialog* d) {
  CLiveDialog* dialog = LiveDialog(d, "EI_GetDialogExtraData");
  return dialog ? dialog->extraData : nullptr;
}

void CDialogService::SetDialogKeyFilter(EI_Dialog* d, EI_KeyFilterProc filter) {
  if (CLiveDialog* dialog = LiveDialog(d, "EI_SetDialogKeyFilterFunction")) dialog->keyFilter = filter;
}

void CDialogService::SetDialogTitle(EI_Dialog* d, const char* title) {
  CLiveDialog* dialog = LiveDialog(d, "EI_SetDialogTitle");
  if (!dialog) return;
  if (!title) {
    Violate("null text", "EI_SetDialogTitle got a null title");
    return;
  }
  dialog->title = std::string(title).substr(0, kMaxControlText);
}

void CDialogService::GetDialogSize(EI_Dialog* d, int* width, int* height) {
  CLiveDialog* dialog = LiveDialog(d, "EI_GetDialogSize");
  if (!dialog) return;
  if (!width || !height) {
    Violate("null pointer", "EI_GetDialogSize got a null width or height pointer");
    return;
  }
  *width = dialog->width;
  *height = dialog->height;
}

void CDialogService::SetDialogSize(EI_Dialog* d, int width, int height) {
  CLiveDialog* dialog = LiveDialog(d, "EI_SetDialogSize");
  if (!dialog) return;
  if (width <= dialog->frameDx || height <= dialog->frameDy) {
    Violate("dialog size", "EI_SetDialogSize(" + std::to_string(width) + ", " + std::to_string(height) +
                               ") leaves no client area inside the frame");
    return;
  }
  dialog->width = width;
  dialog->height = height;
}

void CDialogService::GetDialogFrameOffset(EI_Dialog* d, int* dx, int* dy) {
  CLiveDialog* dialog = LiveDialog(d, "EI_GetDialogFrameOffset");
  if (!dialog) return;
  if (!dx || !dy) {
    Violate("null pointer", "EI_GetDialogFrameOffset got a null pointer");
    return;
  }
  *dx = dialog->frameDx;
  *dy = dialog->frameDy;
}

void CDialogService::MoveDialog(EI_Dialog* d, int left, int top) {
  CLiveDialog* dialog = LiveDialog(d, "EI_MoveDialog");
  if (!dialog) return;
  dialog->left = left;
  dialog->top = top;
  dialog->moved = true;
}

void CDialogService::GetMonitorBounds(EI_Rect* bounds) {
  if (!InCommand("EI_GetMonitorBounds")) return;
  if (!bounds) {
    Violate("null pointer", "EI_GetMonitorBounds got a null rectangle");
    return;
  }
  *bounds = mMonitor;
}

// --- controls

int CDialogService::CountControls(EI_Dialog* d) {
  CLiveDialog* dialog = LiveDialog(d, "EI_CountControls");
  return dialog ? int(dialog->controls.size()) : 0;
}

EI_Control* CDialogService::FindControlByIndex(EI_Dialog* d, int index) {
  CLiveDialog* dialog = LiveDialog(d, "EI_FindControlByIndex");
  if (!dialog || index < 0 || size_t(index) >= dialog->controls.size()) return nullptr;
  return reinterpret_cast<EI_Control*>(dialog->controls[size_t(index)].get());
}

EI_Control* CDialogService::FindControlByID(EI_Dialog* d, int id) {
  CLiveDialog* dialog = LiveDialog(d, "EI_FindControlByID");
  return dialog ? reinterpret_cast<EI_Control*>(dialog->Find(id)) : nullptr;
}

int CDialogService::GetControlID(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetControlID");
  return control ? control->id : 0;
}

int CDialogService::GetControlType(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetControlType");
  return control ? control->type : 0;
}

EI_Dialog* CDialogService::GetControlDialog(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetControlDialog");
  return control ? control->dialog->Handle() : nullptr;
}

int CDialogService::GetControlValue(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetControlValue");
  return control ? control->value : 0;
}

// Values are kept as written, also outside a control's range (a radio group
// then shows no chosen item): the module's stored value must survive a
// dialog that the user confirms without touching that control.
void CDialogService::SetControlValue(EI_Control* c, int value) {
  CLiveControl* control = LiveControl(c, "EI_SetControlValue");
  if (!control) return;
  control->value = value;
  ++control->invalidations;
}

int CDialogService::GetCurrentTabPanel(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetCurrentTabPanel");
  if (!control) return 0;
  if (control->type != ControlCode::kTab) {
    Violate("not a tab control", "EI_GetCurrentTabPanel of " + ControlName(*control));
    return 0;
  }
  return control->value;
}

void CDialogService::SetCurrentTabPanel(EI_Control* c, int panel) {
  CLiveControl* control = LiveControl(c, "EI_SetCurrentTabPanel");
  if (!control) return;
  if (control->type != ControlCode::kTab) {
    Violate("not a tab control", "EI_SetCurrentTabPanel of " + ControlName(*control));
    return;
  }
  if (panel < 1 || size_t(panel) > control->layout.panels.size()) {
    Violate("no such tab panel", "EI_SetCurrentTabPanel(" + std::to_string(panel) + ") of " + ControlName(*control) +
                                     ", which has " + std::to_string(control->layout.panels.size()) + " panels");
    return;
  }
  control->value = panel;
  ++control->invalidations;
}

// The module promises capacity 254 and a 255-byte buffer whose last byte is
// already 0. Whatever it passes, at most capacity characters and the
// terminator are written.
void CDialogService::ReadText(CLiveControl* control, const std::string& text, char* buffer, int* capacity,
                              const char* function) {
  if (!buffer || !capacity) {
    Violate("text buffer", std::string(function) + " got a null buffer or capacity pointer");
    return;
  }
  const int room = *capacity;
  if (room != kTextCapacity)
    Violate("text capacity", std::string(function) + " of " + ControlName(*control) + " got capacity " +
                                 std::to_string(room) + " instead of " + std::to_string(kTextCapacity));
  else if (buffer[kTextCapacity] != 0)
    Violate("text buffer", std::string(function) + " of " + ControlName(*control) +
                               ": the buffer's byte after its capacity was not 0 beforehand");
  if (room < 0) return;
  size_t length = std::min(text.size(), size_t(room));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = 0;
}

void CDialogService::GetControlTitle(EI_Control* c, char* buffer, int* capacity) {
  CLiveControl* control = LiveControl(c, "EI_GetControlTitle");
  if (control) ReadText(control, control->title, buffer, capacity, "EI_GetControlTitle");
}

void CDialogService::SetControlTitle(EI_Control* c, const char* text) {
  CLiveControl* control = LiveControl(c, "EI_SetControlTitle");
  if (!control) return;
  if (!text) {
    Violate("null text", "EI_SetControlTitle of " + ControlName(*control) + " got a null text");
    return;
  }
  control->title = std::string(text).substr(0, kMaxControlText);
  ++control->invalidations;
}

void CDialogService::GetEditTextString(EI_Control* c, char* buffer, int* capacity) {
  CLiveControl* control = LiveControl(c, "EI_GetEditTextString");
  if (!control) return;
  if (control->type != ControlCode::kEdit)
    Violate("not an edit text", "EI_GetEditTextString of " + ControlName(*control));
  ReadText(control, control->text, buffer, capacity, "EI_GetEditTextString");
}

void CDialogService::SetEditTextString(EI_Control* c, const char* text) {
  CLiveControl* control = LiveControl(c, "EI_SetEditTextString");
  if (!control) return;
  if (!text) {
    Violate("null text", "EI_SetEditTextString of " + ControlName(*control) + " got a null text");
    return;
  }
  if (control->type != ControlCode::kEdit) {
    Violate("not an edit text", "EI_SetEditTextString of " + ControlName(*control));
    return;
  }
  control->text = std::string(text).substr(0, kMaxControlText);
  ++control->invalidations;
}

void CDialogService::SetEditTextFilter(EI_Control* c, int mode, EI_EditFilterProc filter) {
  CLiveControl* control = LiveControl(c, "EI_SetEditTextFilter");
  if (!control) return;
  if (mode != kWholeTextFilterMode) {
    Violate("edit filter mode", "EI_SetEditTextFilter of " + ControlName(*control) + " with mode " +
                                    std::to_string(mode) + "; this host knows mode 5 only");
    return;
  }
  control->filter = filter;
  control->filterMode = mode;
}

int CDialogService::GetControlEnable(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetControlEnable");
  return control && control->enabled ? 1 : 0;
}

void CDialogService::SetControlEnable(EI_Control* c, int on) {
  CLiveControl* control = LiveControl(c, "EI_SetControlEnable");
  if (!control) return;
  control->enabled = on != 0;
  ++control->invalidations;
}

int CDialogService::GetControlDrawImmediate(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetControlDrawImmediate");
  return control && control->drawImmediate ? 1 : 0;
}

void CDialogService::SetControlDrawImmediate(EI_Control* c, int on) {
  if (CLiveControl* control = LiveControl(c, "EI_SetControlDrawImmediate")) control->drawImmediate = on != 0;
}

void CDialogService::InvalControl(EI_Control* c) {
  if (CLiveControl* control = LiveControl(c, "EI_InvalControl")) ++control->invalidations;
}

void CDialogService::GetControlBounds(EI_Control* c, EI_Rect* bounds) {
  CLiveControl* control = LiveControl(c, "EI_GetControlBounds");
  if (!control) return;
  if (!bounds) {
    Violate("null pointer", "EI_GetControlBounds of " + ControlName(*control) + " got a null rectangle");
    return;
  }
  *bounds = control->bounds;
}

void CDialogService::SetControlBounds(EI_Control* c, EI_Rect* bounds) {
  CLiveControl* control = LiveControl(c, "EI_SetControlBounds");
  if (!control) return;
  if (!bounds) {
    Violate("null pointer", "EI_SetControlBounds of " + ControlName(*control) + " got a null rectangle");
    return;
  }
  if (bounds->right < bounds->left || bounds->bottom < bounds->top) {
    Violate("control bounds", "EI_SetControlBounds of " + ControlName(*control) + " with right < left or bottom < top");
    return;
  }
  control->bounds = *bounds;
  ++control->invalidations;
}

void* CDialogService::GetControlExtraData(EI_Control* c) {
  CLiveControl* control = LiveControl(c, "EI_GetControlExtraData");
  return control ? static_cast<CEIU_CustomItem*>(control->item.get()) : nullptr;
}

void CDialogService::SetControlHitFunction(EI_Control* c, EI_HitProc hit) {
  if (CLiveControl* control = LiveControl(c, "EI_SetControlHitFunction")) control->hit = hit;
}

int CDialogService::TrackMouseDown(EI_Control* c, int* x, int* y) {
  CLiveControl* control = LiveControl(c, "EI_TrackMouseDown");
  if (!control) return 0;
  if (!x || !y) {
    Violate("null pointer", "EI_TrackMouseDown of " + ControlName(*control) + " got a null position pointer");
    return 0;
  }
  if (mTrack.control != control || mTrack.points.empty()) return 0;
  *x = mTrack.points.front().x;
  *y = mTrack.points.front().y;
  mTrack.points.erase(mTrack.points.begin());
  return 1;
}

void CDialogService::SetColorButtonColor(EI_Control* c, int red, int green, int blue, int alpha) {
  CLiveControl* control = LiveControl(c, "EI_SetColorButtonColor");
  if (!control) return;
  if (control->type != ControlCode::kColor) {
    Violate("not a colour button", "EI_SetColorButtonColor of " + ControlName(*control));
    return;
  }
  const int rgba[4] = {red, green, blue, alpha};
  for (int component : rgba)
    if (component < 0 || component > 255) {
      Violate("colour component", "EI_SetColorButtonColor of " + ControlName(*control) + " with a component " +
                                      std::to_string(component) + " outside 0 to 255");
      return;
    }
  std::copy(rgba, rgba + 4, control->color);
  ++control->invalidations;
}

void CDialogService::GetColorButtonColor(EI_Control* c, int* red, int* green, int* blue, int* alpha) {
  CLiveControl* control = LiveControl(c, "EI_GetColorButtonColor");
  if (!control) return;
  if (!red || !green || !blue || !alpha) {
    Violate("null pointer", "EI_GetColorButtonColor of " + ControlName(*control) + " got a null pointer");
    return;
  }
  if (control->type != ControlCode::kColor) {
    Violate("not a colour button", "EI_GetColorButtonColor of " + ControlName(*control));
    return;
  }
  *red = control->color[0];
  *green = control->color[1];
  *blue = control->color[2];
  *alpha = control->color[3];
}

// --- what a person does

bool CDialogService::Operable(CLiveControl& control, std::string* why) const {
  std::string reason;
  if (!control.dialog->running || control.dialog->stopped)
    reason = "dialog " + std::to_string(control.dialog->resourceId) + " is not running";
  else if (!control.enabled)
    reason = "control " + std::to_string(control.id) + " is disabled";
  else if (!control.dialog->Visible(control))
    reason = "control " + std::to_string(control.id) + " is on a tab panel that is not shown";
  if (reason.empty()) return true;
  if (why) *why = reason;
  return false;
}

void CDialogService::RunHit(CLiveControl& control) {
  if (control.hit) {
    control.hit(reinterpret_cast<EI_Control*>(&control), nullptr);
    return;
  }
  // Without a hit function the host's own default buttons still end the dialog.
  if (control.type == ControlCode::kPush && (control.id == 1 || control.id == 2)) {
    control.dialog->stopped = true;
    control.dialog->confirm = control.id == 1;
  }
}

bool CDialogService::ProposeText(CLiveControl& control, const std::string& text, std::string* why) {
  if (!Operable(control, why)) return false;
  if (control.type != ControlCode::kEdit) {
    if (why) *why = "control " + std::to_string(control.id) + " is not an edit text";
    return false;
  }
  if (text.size() > kMaxControlText) {
    if (why) *why = "control " + std::to_string(control.id) + " holds at most " + std::to_string(kMaxControlText) +
                    " characters";
    return false;
  }
  if (control.filter && !control.filter(reinterpret_cast<EI_Control*>(&control), text.c_str())) {
    if (why) *why = "the edit filter of control " + std::to_string(control.id) + " refused " + Quoted(text);
    return false;
  }
  control.text = text;
  ++control.invalidations;
  return true;
}

bool CDialogService::TypeCharacter(CLiveControl& control, char c, std::string* why) {
  return ProposeText(control, control.text + c, why);
}

bool CDialogService::Backspace(CLiveControl& control, std::string* why) {
  if (control.text.empty()) {
    if (why) *why = "control " + std::to_string(control.id) + " is empty";
    return false;
  }
  return ProposeText(control, control.text.substr(0, control.text.size() - 1), why);
}

bool CDialogService::ReplaceText(CLiveControl& control, const std::string& text, std::string* why) {
  return ProposeText(control, text, why);
}

bool CDialogService::ChooseValue(CLiveControl& control, int value, std::string* why) {
  if (!Operable(control, why)) return false;
  auto refuse = [&](const std::string& reason) {
    if (why) *why = "control " + std::to_string(control.id) + ": " + reason;
    return false;
  };
  switch (control.type) {
    case ControlCode::kCheck:
      if (value != 0 && value != 1) return refuse("a check box takes 0 or 1");
      break;
    case ControlCode::kRadio:
    case ControlCode::kPopup:
      if (value < 0 || size_t(value) >= control.layout.items.size())
        return refuse("there is no item " + std::to_string(value) + " (items count from 0)");
      break;
    case ControlCode::kSlider:
      if (value < control.layout.minimum || value > control.layout.maximum)
        return refuse("the slider runs from " + std::to_string(control.layout.minimum) + " to " +
                      std::to_string(control.layout.maximum));
      break;
    case ControlCode::kTab:
      if (value < 1 || size_t(value) > control.layout.panels.size())
        return refuse("there is no panel " + std::to_string(value) + " (panels count from 1)");
      break;
    case ControlCode::kCustom:
    case ControlCode::kCustomText:
      control.item->SetCtrlVal(value);
      ++control.invalidations;
      return true;
    default:
      if (!control.IsValueControl()) return refuse("it has no value to choose");
      break;
  }
  control.value = value;
  ++control.invalidations;
  RunHit(control);
  return true;
}

bool CDialogService::Click(CLiveControl& control, std::string* why) {
  if (!Operable(control, why)) return false;
  if (control.type == ControlCode::kCheck) {
    control.value = control.value ? 0 : 1;
    ++control.invalidations;
  }
  RunHit(control);
  return true;
}

bool CDialogService::PressKey(CLiveDialog& dialog, int key) {
  if (dialog.keyFilter && dialog.keyFilter(dialog.Handle(), key, 0) != 0) return true;
  int target = 0;
  if (key == 13 || key == 3) target = 1;
  if (key == 27) target = 2;
  CLiveControl* control = target ? dialog.Find(target) : nullptr;
  return control && Click(*control, nullptr);
}

bool CDialogService::Drag(CLiveControl& control, int dx, int dy, std::string* why) {
  if (!Operable(control, why)) return false;
  // In 64 bits and clamped: a script may drag by any 32-bit distance, but a
  // pointer stops at the edge of the desk. Its reach, a million pixels either
  // way, is far beyond any screen and keeps every difference of two positions
  // (which is what a dialog computes from them) well inside an int.
  const auto clamp = [](int64_t value) { return int32_t(std::clamp<int64_t>(value, -kPointerReach, kPointerReach)); };
  const int64_t x = (int64_t(control.bounds.left) + control.bounds.right) / 2;
  const int64_t y = (int64_t(control.bounds.top) + control.bounds.bottom) / 2;
  mTrack.control = &control;
  mTrack.points.assign(1, EI_Point{clamp(x), clamp(y)});
  for (int step = 1; step <= kDragSteps; ++step)
    mTrack.points.push_back(EI_Point{clamp(x + int64_t(dx) * step / kDragSteps), clamp(y + int64_t(dy) * step / kDragSteps)});
  RunHit(control);
  mTrack = CTrack{};
  return true;
}

void CDialogService::Close(CLiveDialog& dialog) {
  if (!dialog.running) return;
  dialog.stopped = true;
  dialog.confirm = 0;
}

// --- bookkeeping

void CDialogService::CheckIdle() {
  if (mDialogs.empty()) return;
  std::string ids;
  for (auto& entry : mDialogs) ids += (ids.empty() ? "" : ", ") + std::to_string(entry.first->resourceId);
  Violate("dialog leak", std::to_string(mDialogs.size()) + " dialog(s) (resource " + ids +
                             ") not destroyed after the command");
  mDialogs.clear();
  mControls.clear();
  mRunning.clear();
  mTrack = CTrack{};
}

void CDialogService::Reset() {
  mDialogs.clear();
  mControls.clear();
  mRunning.clear();
  mTrack = CTrack{};
  mMade = mFailedMakes = mExecutions = mUndriven = 0;
  mLastMakeFailure.clear();
  mExecutedResources.clear();
}

}  // namespace host
