// The alert box: built from a dialog resource with the pending alert title,
// its "^0"/"^1" markers replaced by the caller's texts (one scan of the
// dialog's controls per marker), closed by any push button.
#include "ui/AlertBox.h"

PascalString theAlertTitle;

void SetAlertTitle(const PascalString& title) { theAlertTitle = title; }

CEIU_ModalBox::CEIU_ModalBox(int resourceId, PascalString first, PascalString second)
    : CEIU_Window(resourceId, theAlertTitle.c_str()) {
  if (!first.IsEmpty()) SubstText(this, PascalString("^0"), first, nullptr);
  if (!second.IsEmpty()) SubstText(this, PascalString("^1"), second, nullptr);
  theAlertTitle.SetLen(0);
}

CEIU_ModalBox::~CEIU_ModalBox() {}

void CEIU_ModalBox::HitControl(short id) {
  if (!dialog || GetControlType(id) != ControlType::kPushButton) return;
  EI_StopDialog(dialog, id == 1 ? 1 : 0);
}

bool CEIU_ModalBox::SubstText(CEIU_Window* window, const PascalString& marker, const PascalString& replacement,
                              int* foundIndex) {
  if (!window || !window->dialog || marker.IsEmpty()) return false;
  const int count = EI_CountControls(window->dialog);
  for (int i = 0; i < count; ++i) {
    CE_Control* control = EI_FindControlByIndex(window->dialog, i);
    if (!control) continue;
    const int type = EI_GetControlType(control);
    if (type != ControlType::kStaticText && type != ControlType::kEditText) continue;
    PascalString text;
    CEIU_Win::GetText(control, text);
    const short at = text.Pos(marker.c_str());
    if (at == 0) continue;
    text.Delete(at, static_cast<short>(marker.Length()));
    text.Insert(replacement.c_str(), at);
    CEIU_Win::SetText(control, text);
    if (foundIndex) *foundIndex = i;
    return true;
  }
  return false;
}

void CustomAlert(short resourceId, PascalString first, PascalString second) {
  CEIU_ModalBox box(resourceId, first, second);
  box.Run();
}
