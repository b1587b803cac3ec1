// CEIU_Window: making and owning the host dialog, registering the window for
// the host's callbacks, transferring every bound parameter between controls
// and variables, and the modal run. Transfers are one pass over the dialog's
// controls with one GetParam each.
#include <string.h>

#include "plugin/PluginTask.h"
#include "plugin/ResourceFile.h"
#include "ui/ParamData.h"
#include "ui/Window.h"

namespace {

constexpr int kEditFilterMode = 5;

void SetTitle(EI_Dialog* dialog, const char* title) {
  if (!title) return;
  PascalString text;
  text = title;
  EI_SetDialogTitle(dialog, text.c_str());
}

void Register(EI_Dialog* dialog, CEIU_Window* window) {
  EI_SetDialogExtraData(dialog, window);
  EI_SetDialogKeyFilterFunction(dialog, MyDialogKeyFilter);
}

}  // namespace

CEIU_Window::CEIU_Window(long resourceId, const char* title) {
  dialog = nullptr;
  modifiers = 0;
  const int id = static_cast<int>(resourceId);
  if (theRF) {
    dialog = EI_MakeDialog(theRF, id);
  } else {
    if (!PluginTask::OpenRFile()) return;
    dialog = EI_MakeDialog(theRF, id);
    PluginTask::CloseRFile();
  }
  if (!dialog) return;
  Register(dialog, this);
  CenterWin(0.5f, 0.5f);
  SetTitle(dialog, title);
}

CEIU_Window::~CEIU_Window() {
  if (dialog) {
    EI_DestroyDialog(dialog);
    dialog = nullptr;
  }
}

bool CEIU_Window::Run() {
  if (!dialog) return false;
  SetData();
  SetEditFilter();
  if (EI_ExecuteDialog(dialog) == 0) return false;
  GetData();
  return true;
}

void CEIU_Window::Init(EI_Dialog* adopted, const char* title) {
  // The window owns one dialog at a time; one it already holds would be lost.
  if (dialog && dialog != adopted) EI_DestroyDialog(dialog);
  dialog = adopted;
  if (!dialog) return;
  Register(dialog, this);
  SetData();
  SetEditFilter();
  SetTitle(dialog, title);
}

bool CEIU_Window::GetParam(short, CParamData&) { return false; }

void CEIU_Window::HitControl(short id) {
  if (!dialog) return;
  if (id == 1) EI_StopDialog(dialog, 1);
  else if (id == 2) EI_StopDialog(dialog, 0);
}

void CEIU_Window::CtlMouseMove(short) {}

bool CEIU_Window::KeyDown(long key, long) {
  if (key == Key::kReturn || key == Key::kEnter) {
    if (Enabled(1)) HitControl(1);
    return true;
  }
  if (key == Key::kEscape) {
    if (Enabled(2)) HitControl(2);
    return true;
  }
  return false;
}

void CEIU_Window::SpecialDown(long) {}

void CEIU_Window::Idle() {
  const int32_t now = FWGetModifiers();
  if (now == modifiers) return;
  const int32_t changed = modifiers ^ now;
  modifiers = now;
  SpecialDown(changed);
}

void CEIU_Window::AdjustSize(short, short) {}

bool CEIU_Window::ExecCommand(long command, long, void*) {
  HitControl(static_cast<short>(command));
  return true;
}

void CEIU_Window::SetData() {
  if (!dialog) return;
  const int count = EI_CountControls(dialog);
  for (int i = 0; i < count; ++i) {
    CE_Control* control = EI_FindControlByIndex(dialog, i);
    if (!control) continue;
    const short id = ControlId(control);
    CParamData descriptor;
    if (GetParam(id, descriptor)) descriptor.SetData(this, id);
  }
}

void CEIU_Window::SetData(short id) {
  CParamData descriptor;
  if (GetParam(id, descriptor)) descriptor.SetData(this, id);
}

void CEIU_Window::GetData() {
  if (!dialog) return;
  const int count = EI_CountControls(dialog);
  for (int i = 0; i < count; ++i) {
    CE_Control* control = EI_FindControlByIndex(dialog, i);
    if (control) GetData(ControlId(control));
  }
}

void CEIU_Window::GetData(short id) {
  CParamData descriptor;
  if (GetParam(id, descriptor)) descriptor.GetData(this, id);
}

void CEIU_Window::SetEditFilter() {
  if (!dialog) return;
  const int count = EI_CountControls(dialog);
  for (int i = 0; i < count; ++i) {
    CE_Control* control = EI_FindControlByIndex(dialog, i);
    if (!control) continue;
    const short id = ControlId(control);
    const int type = EI_GetControlType(control);
    if (type != ControlType::kCustom && type != ControlType::kCustomText)
      EI_SetControlHitFunction(control, MyHitFunc);
    CParamData descriptor;
    if (!GetParam(id, descriptor)) continue;
    if (descriptor.lowerLimit && (descriptor.lowerValue != 0 || descriptor.upperLimit))
      EI_SetEditTextFilter(control, kEditFilterMode, MyEditFilter);
  }
}

CEIU_Window* CEIU_Window::GetParent(const CE_Control* control) {
  if (!control) return nullptr;
  EI_Dialog* owner = EI_GetControlDialog(const_cast<CE_Control*>(control));
  if (!owner) return nullptr;
  return static_cast<CEIU_Window*>(EI_GetDialogExtraData(owner));
}

intptr_t MyDialogKeyFilter(EI_Dialog* dialog, int key, int second) {
  if (!dialog) return 0;
  CEIU_Window* window = static_cast<CEIU_Window*>(EI_GetDialogExtraData(dialog));
  if (!window) return 0;
  return window->KeyDown(static_cast<long>(key), static_cast<long>(second)) ? 1 : 0;
}

void MyHitFunc(EI_Control* control, EI_DrawContext*) {
  CEIU_Window* window = CEIU_Window::GetParent(control);
  if (!window) return;
  window->HitControl(ControlId(control));
}

bool MyEditFilter(EI_Control* control, const char* text) {
  CEIU_Window* window = CEIU_Window::GetParent(control);
  if (!window) return false;
  CParamData descriptor;
  if (!window->GetParam(ControlId(control), descriptor)) return false;
  // The field can never be read back longer than a PascalString holds, so a
  // longer text is refused rather than judged by its first 254 characters.
  const char* proposed = text ? text : "";
  if (strlen(proposed) > size_t(PascalString::kMaxLength)) return false;
  PascalString value;
  value = proposed;
  return descriptor.Valid(value);
}
