// The dialog window framework over the host's EI_ functions.
//
// CEIU_Win wraps one host dialog handle (never creating or destroying it) and
// reaches controls by their signed 16-bit resource ids. CEIU_Window owns its
// dialog, registers itself as the dialog's extra data so that the host's key,
// hit and edit callbacks come back to its virtual operations, moves values
// between controls and variables through CParamData descriptors, and runs the
// dialog modally. A missing control or a window without a dialog reads as 0,
// empty text or a zero rectangle, and writes nothing; the host is never handed
// a null control or dialog.
#ifndef TRESSEL_UI_WINDOW_H
#define TRESSEL_UI_WINDOW_H

#include <stdint.h>

#include "base/Fxyz.h"
#include "base/PascalString.h"
#include "ui/EIFunctions.h"

class CParamData;

// Host control type codes the framework interprets (EI_GetControlType).
namespace ControlType {
constexpr int kCustom = 0;      // value through the item object (CEIU_Item1)
constexpr int kPushButton = 1;
constexpr int kTab = 6;         // value is the current tab panel
constexpr int kStaticText = 9;  // text through the control title
constexpr int kEditText = 10;   // text through the edit text
constexpr int kPopup = 13;      // host value 0-based, framework value 1-based
constexpr int kCustomText = 15; // like kCustom, but a text item for transfers
}  // namespace ControlType

// Keyboard modifier bits, as FWGetModifiers reports them.
namespace Modifier {
constexpr int kShift = 0x0001;
constexpr int kCommand = 0x0006;
constexpr int kOption = 0x0008;
constexpr int kSpace = 0x0100;
}  // namespace Modifier

// Key codes the window and its host see.
namespace Key {
constexpr long kEnter = 3;
constexpr long kReturn = 13;
constexpr long kEscape = 27;
constexpr long kSpace = 32;
}  // namespace Key

// The modifier keys held right now (Modifier:: bits).
uint16_t FWGetModifiers();

// Custom controls: the item object is the control's extra data
// (CEIU_CustomItem, ui/CustomItem.h). Without an object: 0, false, nothing.
struct CEIU_Item1 {
  static int CtrlVal(CE_Control* control);
  static void SetCtrlVal(CE_Control* control, int value);
  static bool IsPopup(CE_Control* control);
};

class CEIU_Win {
 public:
  EI_Dialog* dialog = nullptr;  // not owned here; null when none could be made

  // --- By control. A null control reads as 0 / empty and writes nothing.
  static int CtrlVal(CE_Control* control);
  static void SetCtrlVal(CE_Control* control, int value);
  static bool IsPopup(CE_Control* control);
  // Reads at most 254 characters.
  static void GetText(CE_Control* control, PascalString& text);
  // No write at all when the control already shows exactly this text.
  static void SetText(CE_Control* control, const PascalString& text);
  static void SetLong(CE_Control* control, int value);
  // PascalString::SetDouble(value, precision).
  static void SetDouble(CE_Control* control, double value, short precision);
  static ARGB CtrlValColor(CE_Control* control);
  // Calls the host only when the state changes.
  static void EnableItem(CE_Control* control, bool on);
  static void RedrawItem(CE_Control* control);
  static void OffsetItem(CE_Control* control, EI_Point delta);

  // --- By id (EI_FindControlByID on this dialog).
  CE_Control* FindControl(short id) const;
  int CtrlVal(short id) const { return CtrlVal(FindControl(id)); }
  void SetCtrlVal(short id, int value) const { SetCtrlVal(FindControl(id), value); }
  void GetText(short id, PascalString& text) const { GetText(FindControl(id), text); }
  void SetText(short id, const PascalString& text) const { SetText(FindControl(id), text); }
  void SetLong(short id, int value) const { SetLong(FindControl(id), value); }
  void SetDouble(short id, double value, short precision) const {
    SetDouble(FindControl(id), value, precision);
  }
  ARGB CtrlValColor(short id) const { return CtrlValColor(FindControl(id)); }
  void SetCtrlValColor(short id, ARGB color) const;
  void EnableItem(short id, bool on) const { EnableItem(FindControl(id), on); }
  void RedrawItem(short id) const { RedrawItem(FindControl(id)); }
  void OffsetItem(short id, EI_Point delta) const { OffsetItem(FindControl(id), delta); }
  bool Enabled(short id) const;
  int GetControlType(short id) const;
  // Value items: every type but the text items 9, 10 and 15.
  bool IsControlItem(short id) const;
  EI_Rect GetItemRect(short id) const;

  // --- The dialog as a whole.
  // Outer size minus the frame, per axis.
  EI_Point GetClientSize() const;
  void SetClientSize(EI_Point size) const;
  // Places the dialog at fractions of the monitor: fx from the left edge, fy
  // from the bottom edge upwards; never left of or above the monitor.
  void CenterWin(float fx, float fy) const;
};

// The low 16 bits of a host control id, as the framework's signed id.
short ControlId(CE_Control* control);

class CEIU_Window : public CEIU_Win {
 public:
  // Makes the dialog from the resource file (opening the file for the call
  // when it is not open), registers with it, centres it and sets the title
  // (taken literally; null keeps the resource's). Without a resource file or
  // without the dialog resource the window exists with no dialog.
  CEIU_Window(long resourceId, const char* title);
  CEIU_Window(const CEIU_Window&) = delete;
  CEIU_Window& operator=(const CEIU_Window&) = delete;

  // The virtual operations, in slot order (derived classes add none).
  virtual ~CEIU_Window();
  // SetData, SetEditFilter, the host's modal loop, and GetData when the dialog
  // was confirmed. False when cancelled or when there is no dialog.
  virtual bool Run();
  // Adopts a dialog made elsewhere (owned from now on): registers, SetData,
  // SetEditFilter, title. Does not centre.
  virtual void Init(EI_Dialog* adopted, const char* title);
  // Binds control `id` to a variable; the base binds nothing.
  virtual bool GetParam(short id, CParamData& descriptor);
  // 1 confirms, 2 cancels, others do nothing.
  virtual void HitControl(short id);
  virtual void CtlMouseMove(short id);
  // Return/Enter hit control 1 and Escape control 2 when enabled; those three
  // keys count as handled either way. Others are left to the host (false).
  virtual bool KeyDown(long key, long second);
  virtual void SpecialDown(long changed);
  // Tracks the modifier keys; calls SpecialDown with the bits that changed.
  virtual void Idle();
  // Resizes the dialog while the user drags grip control `id`.
  virtual void DragSize(short id, const EI_Point* minSize, const EI_Point* maxSize, bool proportional);
  virtual void AdjustSize(short dw, short dh);
  virtual bool ExecCommand(long command, long, void*);
  virtual void SetData();
  virtual void SetData(short id);
  virtual void GetData();
  virtual void GetData(short id);

  // The hit function on every control but custom items, and the edit filter
  // on fields whose descriptor is bounded (a lower limit other than 0, or a
  // lower and an upper limit).
  void SetEditFilter();

  // The window that owns `control`, or null.
  static CEIU_Window* GetParent(const CE_Control* control);

  int32_t modifiers = 0;  // the last FWGetModifiers seen by Idle
};

// Handed to the host (signatures in ui/EIFunctions.h).
intptr_t MyDialogKeyFilter(EI_Dialog* dialog, int key, int second);
void MyHitFunc(EI_Control* control, EI_DrawContext* context);
bool MyEditFilter(EI_Control* control, const char* text);

#endif  // TRESSEL_UI_WINDOW_H
