// CEIU_CustomItem: the object behind a custom control (types 0 and 15). The
// host makes it and hands its address out as the control's extra data; the
// module calls it only through CEIU_Item1, and only the last three slots.
//
// The slot order is part of the contract with the host, which may build these
// objects with another compiler: destructor, the four host-side operations,
// IsPopup, CtrlVal, SetCtrlVal. Add nothing and reorder nothing.
#ifndef TRESSEL_UI_CUSTOMITEM_H
#define TRESSEL_UI_CUSTOMITEM_H

#include "ui/EIFunctions.h"

class CEIU_CustomItem {
 public:
  virtual ~CEIU_CustomItem() {}
  // Host-side operations (drawing and input of the item); never called by
  // the module. The defaults do nothing.
  virtual void Draw(EI_DrawContext* /*context*/) {}
  virtual void MouseDown(EI_Point /*where*/) {}
  virtual bool KeyDown(long /*key*/) { return false; }
  virtual void Idle() {}
  // The module's view of the item's value. A popup's value is 1-based.
  virtual bool IsPopup() { return false; }
  virtual int CtrlVal() { return 0; }
  virtual void SetCtrlVal(int /*value*/) {}
};

#endif  // TRESSEL_UI_CUSTOMITEM_H
