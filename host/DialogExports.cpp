// The host's exported dialog and control functions, under the plain names the
// module looks up; each hands over to CDialogService. Built into every
// executable that loads the module. Compiled with TRESSEL_HOST_WITHOUT_MAKE_DIALOG
// it leaves EI_MakeDialog out, so tests can see the module's answer to a host
// that lacks it.
#include "host/DialogService.h"
#include "ui/EIFunctions.h"

#include "host/Export.h"

using host::CDialogService;

namespace {
CDialogService& Dialogs() { return CDialogService::Instance(); }
}  // namespace

#ifndef TRESSEL_HOST_WITHOUT_MAKE_DIALOG
TRESSEL_HOST_EXPORT EI_Dialog* EI_MakeDialog(EI_ResourceFile file, int id) { return Dialogs().MakeDialog(file, id); }
#endif
TRESSEL_HOST_EXPORT void EI_DestroyDialog(EI_Dialog* d) { Dialogs().DestroyDialog(d); }
TRESSEL_HOST_EXPORT int EI_ExecuteDialog(EI_Dialog* d) { return Dialogs().ExecuteDialog(d); }
TRESSEL_HOST_EXPORT void EI_StopDialog(EI_Dialog* d, int confirm) { Dialogs().StopDialog(d, confirm); }
TRESSEL_HOST_EXPORT void EI_SetDialogExtraData(EI_Dialog* d, void* data) { Dialogs().SetDialogExtraData(d, data); }
TRESSEL_HOST_EXPORT void* EI_GetDialogExtraData(EI_Dialog* d) { return Dialogs().GetDialogExtraData(d); }
TRESSEL_HOST_EXPORT void EI_SetDialogKeyFilterFunction(EI_Dialog* d, EI_KeyFilterProc f) {
  Dialogs().SetDialogKeyFilter(d, f);
}
TRESSEL_HOST_EXPORT void EI_SetDialogTitle(EI_Dialog* d, const char* title) { Dialogs().SetDialogTitle(d, title); }
TRESSEL_HOST_EXPORT void EI_GetDialogSize(EI_Dialog* d, int* w, int* h) { Dialogs().GetDialogSize(d, w, h); }
TRESSEL_HOST_EXPORT void EI_SetDialogSize(EI_Dialog* d, int w, int h) { Dialogs().SetDialogSize(d, w, h); }
TRESSEL_HOST_EXPORT void EI_GetDialogFrameOffset(EI_Dialog* d, int* dx, int* dy) {
  Dialogs().GetDialogFrameOffset(d, dx, dy);
}
TRESSEL_HOST_EXPORT void EI_MoveDialog(EI_Dialog* d, int left, int top) { Dialogs().MoveDialog(d, left, top); }
TRESSEL_HOST_EXPORT void EI_GetMonitorBounds(EI_Rect* r) { Dialogs().GetMonitorBounds(r); }

TRESSEL_HOST_EXPORT int EI_CountControls(EI_Dialog* d) { return Dialogs().CountControls(d); }
TRESSEL_HOST_EXPORT EI_Control* EI_FindControlByIndex(EI_Dialog* d, int index) {
  return Dialogs().FindControlByIndex(d, index);
}
TRESSEL_HOST_EXPORT EI_Control* EI_FindControlByID(EI_Dialog* d, int id) { return Dialogs().FindControlByID(d, id); }
TRESSEL_HOST_EXPORT int EI_GetControlID(EI_Control* c) { return Dialogs().GetControlID(c); }
TRESSEL_HOST_EXPORT int EI_GetControlType(EI_Control* c) { return Dialogs().GetControlType(c); }
TRESSEL_HOST_EXPORT EI_Dialog* EI_GetControlDialog(EI_Control* c) { return Dialogs().GetControlDialog(c); }
TRESSEL_HOST_EXPORT int EI_GetControlValue(EI_Control* c) { return Dialogs().GetControlValue(c); }
TRESSEL_HOST_EXPORT void EI_SetControlValue(EI_Control* c, int v) { Dialogs().SetControlValue(c, v); }
TRESSEL_HOST_EXPORT int EI_GetCurrentTabPanel(EI_Control* c) { return Dialogs().GetCurrentTabPanel(c); }
TRESSEL_HOST_EXPORT void EI_SetCurrentTabPanel(EI_Control* c, int panel) { Dialogs().SetCurrentTabPanel(c, panel); }
TRESSEL_HOST_EXPORT void EI_GetControlTitle(EI_Control* c, char* buffer, int* capacity) {
  Dialogs().GetControlTitle(c, buffer, capacity);
}
TRESSEL_HOST_EXPORT void EI_SetControlTitle(EI_Control* c, const char* text) { Dialogs().SetControlTitle(c, text); }
TRESSEL_HOST_EXPORT void EI_GetEditTextString(EI_Control* c, char* buffer, int* capacity) {
  Dialogs().GetEditTextString(c, buffer, capacity);
}
TRESSEL_HOST_EXPORT void EI_SetEditTextString(EI_Control* c, const char* text) {
  Dialogs().SetEditTextString(c, text);
}
TRESSEL_HOST_EXPORT void EI_SetEditTextFilter(EI_Control* c, int mode, EI_EditFilterProc f) {
  Dialogs().SetEditTextFilter(c, mode, f);
}
TRESSEL_HOST_EXPORT int EI_GetControlEnable(EI_Control* c) { return Dialogs().GetControlEnable(c); }
TRESSEL_HOST_EXPORT void EI_SetControlEnable(EI_Control* c, int on) { Dialogs().SetControlEnable(c, on); }
TRESSEL_HOST_EXPORT int EI_GetControlDrawImmediate(EI_Control* c) { return Dialogs().GetControlDrawImmediate(c); }
TRESSEL_HOST_EXPORT void EI_SetControlDrawImmediate(EI_Control* c, int on) {
  Dialogs().SetControlDrawImmediate(c, on);
}
TRESSEL_HOST_EXPORT void EI_InvalControl(EI_Control* c) { Dialogs().InvalControl(c); }
TRESSEL_HOST_EXPORT void EI_GetControlBounds(EI_Control* c, EI_Rect* r) { Dialogs().GetControlBounds(c, r); }
TRESSEL_HOST_EXPORT void EI_SetControlBounds(EI_Control* c, EI_Rect* r) { Dialogs().SetControlBounds(c, r); }
TRESSEL_HOST_EXPORT void* EI_GetControlExtraData(EI_Control* c) { return Dialogs().GetControlExtraData(c); }
TRESSEL_HOST_EXPORT void EI_SetControlHitFunction(EI_Control* c, EI_HitProc f) {
  Dialogs().SetControlHitFunction(c, f);
}
TRESSEL_HOST_EXPORT int EI_TrackMouseDown(EI_Control* c, int* x, int* y) { return Dialogs().TrackMouseDown(c, x, y); }
TRESSEL_HOST_EXPORT void EI_SetColorButtonColor(EI_Control* c, int r, int g, int b, int a) {
  Dialogs().SetColorButtonColor(c, r, g, b, a);
}
TRESSEL_HOST_EXPORT void EI_GetColorButtonColor(EI_Control* c, int* r, int* g, int* b, int* a) {
  Dialogs().GetColorButtonColor(c, r, g, b, a);
}
