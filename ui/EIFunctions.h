// The host's exported dialog, control and file functions: the contract both
// sides share. The host executable exports them under these plain names; the
// module defines hidden forwarders of the same names (ui/EIBinding.cpp) that
// find the host's functions by name on first use.
//
// Handles are opaque: the module never dereferences them. Rectangles are in a
// dialog's own coordinates (controls, mouse) or screen coordinates (monitor,
// dialog position); y grows downwards. Texts are NUL-terminated 8-bit.
#ifndef TRESSEL_UI_EIFUNCTIONS_H
#define TRESSEL_UI_EIFUNCTIONS_H

#include <stdint.h>

struct EI_Dialog;
struct EI_Control;
struct EI_DrawContext;
typedef EI_Control CE_Control;
typedef void* EI_ResourceFile;   // an open resource file
typedef void* EI_DirectoryRef;   // a directory reference
typedef void* EI_FileRef;        // a file reference

struct EI_Point {
  int32_t x;  // horizontal; for sizes: width
  int32_t y;  // vertical; for sizes: height
};

struct EI_Rect {
  int32_t left, top, right, bottom;
};

// Called by the host for a key press in a dialog; nonzero when consumed.
typedef intptr_t (*EI_KeyFilterProc)(EI_Dialog* dialog, int key, int second);
// Called by the host when the user operates a control.
typedef void (*EI_HitProc)(EI_Control* control, EI_DrawContext* context);
// Asked before a field's text changes; `text` is the complete proposed text.
typedef bool (*EI_EditFilterProc)(EI_Control* control, const char* text);

// X(result, name, parameters, arguments)
#define TRESSEL_EI_FUNCTIONS(X)                                                                   \
  /* dialogs */                                                                                   \
  X(EI_Dialog*, EI_MakeDialog, (EI_ResourceFile file, int id), (file, id))                        \
  X(void, EI_DestroyDialog, (EI_Dialog * d), (d))                                                 \
  X(int, EI_ExecuteDialog, (EI_Dialog * d), (d))                                                  \
  X(void, EI_StopDialog, (EI_Dialog * d, int confirm), (d, confirm))                              \
  X(void, EI_SetDialogExtraData, (EI_Dialog * d, void* data), (d, data))                          \
  X(void*, EI_GetDialogExtraData, (EI_Dialog * d), (d))                                           \
  X(void, EI_SetDialogKeyFilterFunction, (EI_Dialog * d, EI_KeyFilterProc f), (d, f))             \
  X(void, EI_SetDialogTitle, (EI_Dialog * d, const char* title), (d, title))                      \
  X(void, EI_GetDialogSize, (EI_Dialog * d, int* w, int* h), (d, w, h))                           \
  X(void, EI_SetDialogSize, (EI_Dialog * d, int w, int h), (d, w, h))                             \
  X(void, EI_GetDialogFrameOffset, (EI_Dialog * d, int* dx, int* dy), (d, dx, dy))                \
  X(void, EI_MoveDialog, (EI_Dialog * d, int left, int top), (d, left, top))                      \
  X(void, EI_GetMonitorBounds, (EI_Rect * r), (r))                                                \
  /* controls */                                                                                  \
  X(int, EI_CountControls, (EI_Dialog * d), (d))                                                  \
  X(EI_Control*, EI_FindControlByIndex, (EI_Dialog * d, int index), (d, index))                   \
  X(EI_Control*, EI_FindControlByID, (EI_Dialog * d, int id), (d, id))                            \
  X(int, EI_GetControlID, (EI_Control * c), (c))                                                  \
  X(int, EI_GetControlType, (EI_Control * c), (c))                                                \
  X(EI_Dialog*, EI_GetControlDialog, (EI_Control * c), (c))                                       \
  X(int, EI_GetControlValue, (EI_Control * c), (c))                                               \
  X(void, EI_SetControlValue, (EI_Control * c, int v), (c, v))                                    \
  X(int, EI_GetCurrentTabPanel, (EI_Control * c), (c))                                            \
  X(void, EI_SetCurrentTabPanel, (EI_Control * c, int panel), (c, panel))                         \
  X(void, EI_GetControlTitle, (EI_Control * c, char* buffer, int* capacity), (c, buffer, capacity)) \
  X(void, EI_SetControlTitle, (EI_Control * c, const char* text), (c, text))                      \
  X(void, EI_GetEditTextString, (EI_Control * c, char* buffer, int* capacity), (c, buffer, capacity)) \
  X(void, EI_SetEditTextString, (EI_Control * c, const char* text), (c, text))                    \
  X(void, EI_SetEditTextFilter, (EI_Control * c, int mode, EI_EditFilterProc f), (c, mode, f))    \
  X(int, EI_GetControlEnable, (EI_Control * c), (c))                                              \
  X(void, EI_SetControlEnable, (EI_Control * c, int on), (c, on))                                 \
  X(int, EI_GetControlDrawImmediate, (EI_Control * c), (c))                                       \
  X(void, EI_SetControlDrawImmediate, (EI_Control * c, int on), (c, on))                          \
  X(void, EI_InvalControl, (EI_Control * c), (c))                                                 \
  X(void, EI_GetControlBounds, (EI_Control * c, EI_Rect * r), (c, r))                             \
  X(void, EI_SetControlBounds, (EI_Control * c, EI_Rect * r), (c, r))                             \
  X(void*, EI_GetControlExtraData, (EI_Control * c), (c))                                         \
  X(void, EI_SetControlHitFunction, (EI_Control * c, EI_HitProc f), (c, f))                       \
  X(int, EI_TrackMouseDown, (EI_Control * c, int* x, int* y), (c, x, y))                          \
  X(void, EI_SetColorButtonColor, (EI_Control * c, int r, int g, int b, int a), (c, r, g, b, a))  \
  X(void, EI_GetColorButtonColor, (EI_Control * c, int* r, int* g, int* b, int* a), (c, r, g, b, a)) \
  /* files */                                                                                     \
  X(EI_DirectoryRef, EI_GetHomeDirectory, (), ())                                                 \
  X(EI_FileRef, EI_MakeFileRef, (EI_DirectoryRef dir, const char* name, uint32_t type, const char* ext), \
    (dir, name, type, ext))                                                                       \
  X(EI_ResourceFile, EI_OpenResourceFile, (EI_FileRef ref), (ref))                                \
  X(void, EI_DestroyFileRef, (EI_FileRef ref), (ref))                                             \
  X(void, EI_DestroyDirectoryRef, (EI_DirectoryRef dir), (dir))                                   \
  X(void, EI_CloseResourceFile, (EI_ResourceFile file), (file))

#define TRESSEL_EI_DECLARE(result, name, params, args) result name params;
extern "C" {
TRESSEL_EI_FUNCTIONS(TRESSEL_EI_DECLARE)
}
#undef TRESSEL_EI_DECLARE

// Number of functions in the list (checked in ui/EIBinding.cpp).
constexpr int kEIFunctionCount = 46;

// The right and bottom edges of the monitor rectangle; (0, 0) without the
// host's monitor query.
EI_Point GetMonitorRB_();

#endif  // TRESSEL_UI_EIFUNCTIONS_H
