// CEIU_Win: control access by handle and by id over the host's EI_ functions
// (values with the popup and tab rules, texts, numbers, colours, enabling,
// bounds), the client size and placing the dialog on the monitor. Each
// operation is a handful of host calls.
#include <string.h>

#include "platform/Platform.h"
#include "ui/CustomItem.h"
#include "ui/Window.h"

namespace {

bool IsCustom(int type) { return type == ControlType::kCustom || type == ControlType::kCustomText; }

CEIU_CustomItem* ItemOf(CE_Control* control) {
  return control ? static_cast<CEIU_CustomItem*>(EI_GetControlExtraData(control)) : nullptr;
}

// Runs `write` with immediate drawing on, restoring it to off afterwards when
// it was off, so the change shows at once.
template <typename Write>
void DrawingImmediately(CE_Control* control, Write write) {
  const bool wasOff = EI_GetControlDrawImmediate(control) == 0;
  if (wasOff) EI_SetControlDrawImmediate(control, 1);
  write();
  if (wasOff) EI_SetControlDrawImmediate(control, 0);
}

// Truncation toward zero of a float that may lie beyond the int range.
int32_t TruncateToInt(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483520.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

uint16_t FWGetModifiers() { return platform::ModifierKeys(); }

int CEIU_Item1::CtrlVal(CE_Control* control) {
  CEIU_CustomItem* item = ItemOf(control);
  return item ? item->CtrlVal() : 0;
}

void CEIU_Item1::SetCtrlVal(CE_Control* control, int value) {
  if (CEIU_CustomItem* item = ItemOf(control)) item->SetCtrlVal(value);
}

bool CEIU_Item1::IsPopup(CE_Control* control) {
  CEIU_CustomItem* item = ItemOf(control);
  return item ? item->IsPopup() : false;
}

short ControlId(CE_Control* control) {
  return static_cast<short>(static_cast<uint16_t>(EI_GetControlID(control) & 0xFFFF));
}

int CEIU_Win::CtrlVal(CE_Control* control) {
  if (!control) return 0;
  const int type = EI_GetControlType(control);
  if (type == ControlType::kTab) return EI_GetCurrentTabPanel(control);
  if (IsCustom(type)) return CEIU_Item1::CtrlVal(control);
  return EI_GetControlValue(control) + (IsPopup(control) ? 1 : 0);
}

void CEIU_Win::SetCtrlVal(CE_Control* control, int value) {
  if (!control) return;
  const int type = EI_GetControlType(control);
  if (IsCustom(type)) {
    CEIU_Item1::SetCtrlVal(control, value);
    RedrawItem(control);
    return;
  }
  if (type == ControlType::kTab) {
    EI_SetCurrentTabPanel(control, value);
    return;
  }
  const int hostValue = IsPopup(control) ? value - 1 : value;
  DrawingImmediately(control, [&] { EI_SetControlValue(control, hostValue); });
}

bool CEIU_Win::IsPopup(CE_Control* control) {
  if (!control) return false;
  const int type = EI_GetControlType(control);
  if (IsCustom(type)) return CEIU_Item1::IsPopup(control);
  return type == ControlType::kPopup;
}

void CEIU_Win::GetText(CE_Control* control, PascalString& text) {
  text.SetLen(0);
  if (!control) return;
  // 254 characters and the terminator; the last byte is preset so that a
  // host that fills the buffer without terminating it still ends the text.
  char buffer[PascalString::kMaxLength + 1];
  memset(buffer, 0, sizeof buffer);
  int capacity = PascalString::kMaxLength;
  if (EI_GetControlType(control) == ControlType::kEditText)
    EI_GetEditTextString(control, buffer, &capacity);
  else
    EI_GetControlTitle(control, buffer, &capacity);
  buffer[PascalString::kMaxLength] = 0;
  text = buffer;
}

void CEIU_Win::SetText(CE_Control* control, const PascalString& text) {
  if (!control) return;
  PascalString shown;
  GetText(control, shown);
  if (strcmp(shown.c_str(), text.c_str()) == 0) return;
  const bool edit = EI_GetControlType(control) == ControlType::kEditText;
  DrawingImmediately(control, [&] {
    if (edit)
      EI_SetEditTextString(control, text.c_str());
    else
      EI_SetControlTitle(control, text.c_str());
  });
}

void CEIU_Win::SetLong(CE_Control* control, int value) {
  SetText(control, PascalString("%ld", static_cast<long>(value)));
}

void CEIU_Win::SetDouble(CE_Control* control, double value, short precision) {
  PascalString text;
  text.SetDouble(value, precision);
  SetText(control, text);
}

ARGB CEIU_Win::CtrlValColor(CE_Control* control) {
  int red = 0, green = 0, blue = 0, alpha = 0;
  if (control) EI_GetColorButtonColor(control, &red, &green, &blue, &alpha);
  ARGB color;
  color.alpha = static_cast<uint8_t>(alpha & 0xFF);
  color.red = static_cast<uint8_t>(red & 0xFF);
  color.green = static_cast<uint8_t>(green & 0xFF);
  color.blue = static_cast<uint8_t>(blue & 0xFF);
  return color;
}

void CEIU_Win::EnableItem(CE_Control* control, bool on) {
  if (!control) return;
  if ((EI_GetControlEnable(control) != 0) != on) EI_SetControlEnable(control, on ? 1 : 0);
}

void CEIU_Win::RedrawItem(CE_Control* control) {
  if (!control) return;
  DrawingImmediately(control, [&] { EI_InvalControl(control); });
}

void CEIU_Win::OffsetItem(CE_Control* control, EI_Point delta) {
  if (!control) return;
  EI_Rect bounds;
  memset(&bounds, 0, sizeof bounds);
  EI_GetControlBounds(control, &bounds);
  bounds.left += delta.x;
  bounds.right += delta.x;
  bounds.top += delta.y;
  bounds.bottom += delta.y;
  EI_SetControlBounds(control, &bounds);
}

CE_Control* CEIU_Win::FindControl(short id) const {
  return dialog ? EI_FindControlByID(dialog, id) : nullptr;
}

void CEIU_Win::SetCtrlValColor(short id, ARGB color) const {
  if (CE_Control* control = FindControl(id))
    EI_SetColorButtonColor(control, color.red, color.green, color.blue, color.alpha);
}

bool CEIU_Win::Enabled(short id) const {
  CE_Control* control = FindControl(id);
  return control && EI_GetControlEnable(control) != 0;
}

int CEIU_Win::GetControlType(short id) const {
  CE_Control* control = FindControl(id);
  return control ? EI_GetControlType(control) : 0;
}

bool CEIU_Win::IsControlItem(short id) const {
  const int type = GetControlType(id);
  return type != ControlType::kStaticText && type != ControlType::kEditText &&
         type != ControlType::kCustomText;
}

EI_Rect CEIU_Win::GetItemRect(short id) const {
  EI_Rect bounds;
  memset(&bounds, 0, sizeof bounds);
  if (CE_Control* control = FindControl(id)) EI_GetControlBounds(control, &bounds);
  return bounds;
}

EI_Point CEIU_Win::GetClientSize() const {
  EI_Point size = {0, 0};
  if (!dialog) return size;
  int w = 0, h = 0, dx = 0, dy = 0;
  EI_GetDialogSize(dialog, &w, &h);
  EI_GetDialogFrameOffset(dialog, &dx, &dy);
  size.x = w - dx;
  size.y = h - dy;
  return size;
}

void CEIU_Win::SetClientSize(EI_Point size) const {
  if (!dialog) return;
  int dx = 0, dy = 0;
  EI_GetDialogFrameOffset(dialog, &dx, &dy);
  EI_SetDialogSize(dialog, size.x + dx, size.y + dy);
}

void CEIU_Win::CenterWin(float fx, float fy) const {
  if (!dialog) return;
  EI_Rect monitor;
  memset(&monitor, 0, sizeof monitor);
  EI_GetMonitorBounds(&monitor);
  int w = 0, h = 0;
  EI_GetDialogSize(dialog, &w, &h);
  const float left = static_cast<float>(monitor.left), top = static_cast<float>(monitor.top);
  const float right = static_cast<float>(monitor.right), bottom = static_cast<float>(monitor.bottom);
  int64_t x = int64_t(TruncateToInt(left + (right - left) * fx)) - w / 2;
  int64_t y = int64_t(TruncateToInt(bottom - (bottom - top) * fy)) - h / 2;
  if (x < monitor.left) x = monitor.left;
  if (y < monitor.top) y = monitor.top;
  if (x > INT32_MAX) x = INT32_MAX;
  if (y > INT32_MAX) y = INT32_MAX;
  EI_MoveDialog(dialog, static_cast<int>(x), static_cast<int>(y));
}
