// The host side of the module's dialog and control functions: live dialogs
// built from the open resource file's layouts, their controls, the monitor,
// and the modal loop, which hands a running dialog to a driver (a script, or
// a person at a terminal). One per process, like the exported names.
//
// Handles are addresses of the objects held here; a handle the service did
// not hand out, or already took back, is never dereferenced: it is recorded
// as a violation (through CFileService, so it reaches the host of the current
// command) and the call does nothing or answers 0.
#ifndef TRESSEL_HOST_DIALOGSERVICE_H
#define TRESSEL_HOST_DIALOGSERVICE_H

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/DialogResource.h"
#include "ui/CustomItem.h"
#include "ui/EIFunctions.h"

namespace host {

class CLiveDialog;

// The item object behind a custom control, made by the host from the
// control's "extra" data; the module reaches its last three slots.
class CHostCustomItem : public CEIU_CustomItem {
 public:
  CHostCustomItem(bool popup, int value) : mPopup(popup), mValue(value) {}
  bool IsPopup() override { return mPopup; }
  int CtrlVal() override { return mValue; }
  void SetCtrlVal(int value) override { mValue = value; }

 private:
  bool mPopup;
  int mValue;
};

class CLiveControl {
 public:
  CLiveDialog* dialog = nullptr;  // owner
  CControlTemplate layout;        // as read from the resource file
  int id = 0, type = 0;
  EI_Rect bounds{0, 0, 0, 0};
  std::string title, text;
  int value = 0;
  bool enabled = true;
  bool drawImmediate = false;
  int color[4] = {0, 0, 0, 255};
  std::unique_ptr<CHostCustomItem> item;  // custom controls only
  EI_HitProc hit = nullptr;
  EI_EditFilterProc filter = nullptr;
  int filterMode = 0;
  int invalidations = 0;  // EI_InvalControl calls and shown changes

  bool IsValueControl() const;  // what the module reads with EI_GetControlValue
  bool Focusable() const;       // a person can operate it
  int ItemValue() const { return item ? item->CtrlVal() : value; }
};

class CLiveDialog {
 public:
  int resourceId = 0;
  std::string title;
  int width = 0, height = 0;
  int frameDx = 0, frameDy = 0;
  int left = 0, top = 0;  // screen position
  bool moved = false;     // EI_MoveDialog called
  void* extraData = nullptr;
  EI_KeyFilterProc keyFilter = nullptr;
  std::vector<std::unique_ptr<CLiveControl>> controls;  // index order
  bool running = false;
  bool stopped = false;  // EI_StopDialog during the current run
  int confirm = 0;
  bool destroyPending = false;  // destroyed while running: freed when the run ends

  CLiveControl* Find(int id) const;
  // False for a control on a tab panel that is not the current one.
  bool Visible(const CLiveControl& control) const;
  EI_Dialog* Handle() { return reinterpret_cast<EI_Dialog*>(this); }
};

// Runs one dialog until it is stopped. REQUIRES: when Run returns, the
// dialog has been stopped (a driver that gives up stops it as cancelled).
class CDialogDriver {
 public:
  virtual ~CDialogDriver() = default;
  virtual void Run(CLiveDialog& dialog) = 0;
};

class CDialogService {
 public:
  static CDialogService& Instance();

  // The screen rectangle dialogs may use; 1920 x 1080 at (0, 0) by default.
  void SetMonitor(EI_Rect bounds) { mMonitor = bounds; }
  EI_Rect Monitor() const { return mMonitor; }
  // Not owned; null: every EI_ExecuteDialog is cancelled at once.
  void SetDriver(CDialogDriver* driver) { mDriver = driver; }

  // --- The exported functions (host/DialogExports.cpp).
  EI_Dialog* MakeDialog(void* file, int id);
  void DestroyDialog(EI_Dialog* d);
  int ExecuteDialog(EI_Dialog* d);
  void StopDialog(EI_Dialog* d, int confirm);
  void SetDialogExtraData(EI_Dialog* d, void* data);
  void* GetDialogExtraData(EI_Dialog* d);
  void SetDialogKeyFilter(EI_Dialog* d, EI_KeyFilterProc filter);
  void SetDialogTitle(EI_Dialog* d, const char* title);
  void GetDialogSize(EI_Dialog* d, int* width, int* height);
  void SetDialogSize(EI_Dialog* d, int width, int height);
  void GetDialogFrameOffset(EI_Dialog* d, int* dx, int* dy);
  void MoveDialog(EI_Dialog* d, int left, int top);
  void GetMonitorBounds(EI_Rect* bounds);
  int CountControls(EI_Dialog* d);
  EI_Control* FindControlByIndex(EI_Dialog* d, int index);
  EI_Control* FindControlByID(EI_Dialog* d, int id);
  int GetControlID(EI_Control* c);
  int GetControlType(EI_Control* c);
  EI_Dialog* GetControlDialog(EI_Control* c);
  int GetControlValue(EI_Control* c);
  void SetControlValue(EI_Control* c, int value);
  int GetCurrentTabPanel(EI_Control* c);
  void SetCurrentTabPanel(EI_Control* c, int panel);
  void GetControlTitle(EI_Control* c, char* buffer, int* capacity);
  void SetControlTitle(EI_Control* c, const char* text);
  void GetEditTextString(EI_Control* c, char* buffer, int* capacity);
  void SetEditTextString(EI_Control* c, const char* text);
  void SetEditTextFilter(EI_Control* c, int mode, EI_EditFilterProc filter);
  int GetControlEnable(EI_Control* c);
  void SetControlEnable(EI_Control* c, int on);
  int GetControlDrawImmediate(EI_Control* c);
  void SetControlDrawImmediate(EI_Control* c, int on);
  void InvalControl(EI_Control* c);
  void GetControlBounds(EI_Control* c, EI_Rect* bounds);
  void SetControlBounds(EI_Control* c, EI_Rect* bounds);
  void* GetControlExtraData(EI_Control* c);
  void SetControlHitFunction(EI_Control* c, EI_HitProc hit);
  int TrackMouseDown(EI_Control* c, int* x, int* y);
  void SetColorButtonColor(EI_Control* c, int red, int green, int blue, int alpha);
  void GetColorButtonColor(EI_Control* c, int* red, int* green, int* blue, int* alpha);

  // --- What a person does, for the drivers. Each is refused (false, with the
  // reason in *why) for a control that is disabled, hidden or of the wrong
  // kind. The module's callbacks run inside these.
  // One typed character: the proposed full text goes through the edit filter.
  bool TypeCharacter(CLiveControl& control, char c, std::string* why);
  bool Backspace(CLiveControl& control, std::string* why);
  // The field's whole text replaced by `text` in one change.
  bool ReplaceText(CLiveControl& control, const std::string& text, std::string* why);
  // Chooses a value (radio item, popup item, slider position, check state,
  // tab panel), then the hit function runs as for a click.
  bool ChooseValue(CLiveControl& control, int value, std::string* why);
  // A check box toggles first; then the hit function, or for push buttons 1
  // and 2 without one, the host's own confirm or cancel.
  bool Click(CLiveControl& control, std::string* why);
  // The key filter first; a key it does not consume gets the host's handling:
  // Return (13) and Enter (3) click control 1, Escape (27) control 2, when
  // enabled. Returns true when the key had an effect or was consumed.
  bool PressKey(CLiveDialog& dialog, int key);
  // Mouse down on the control's centre, moved by (dx, dy) in a few steps,
  // released: EI_TrackMouseDown reports the points while the hit function runs.
  bool Drag(CLiveControl& control, int dx, int dy, std::string* why);
  // Stops a running dialog as cancelled (its close box).
  void Close(CLiveDialog& dialog);

  // --- Inspection.
  const std::vector<CLiveDialog*>& RunningDialogs() const { return mRunning; }  // innermost last
  size_t LiveDialogs() const { return mDialogs.size(); }
  size_t DialogsMade() const { return mMade; }
  size_t FailedMakes() const { return mFailedMakes; }
  const std::string& LastMakeFailure() const { return mLastMakeFailure; }
  size_t Executions() const { return mExecutions; }
  size_t UndrivenExecutions() const { return mUndriven; }
  const std::vector<int>& ExecutedResources() const { return mExecutedResources; }

  // Dialogs still live once no command is in progress are a leak (called by
  // CFileService::CheckIdle); forgets them.
  void CheckIdle();
  // Forgets every dialog and counter; keeps the monitor and driver.
  void Reset();

 private:
  CDialogService();
  void Violate(const char* name, std::string detail);
  bool InCommand(const char* function);
  CLiveDialog* LiveDialog(EI_Dialog* d, const char* function);
  CLiveControl* LiveControl(EI_Control* c, const char* function);
  void ReadText(CLiveControl* control, const std::string& text, char* buffer, int* capacity, const char* function);
  bool Operable(CLiveControl& control, std::string* why) const;
  bool ProposeText(CLiveControl& control, const std::string& text, std::string* why);
  void RunHit(CLiveControl& control);
  void Free(CLiveDialog* dialog);

  EI_Rect mMonitor{0, 0, 1920, 1080};
  CDialogDriver* mDriver = nullptr;
  std::map<CLiveDialog*, std::unique_ptr<CLiveDialog>> mDialogs;
  std::map<CLiveControl*, CLiveDialog*> mControls;
  std::vector<CLiveDialog*> mRunning;
  struct CTrack {
    CLiveControl* control = nullptr;
    std::vector<EI_Point> points;  // still to report, then released
  } mTrack;
  size_t mMade = 0, mFailedMakes = 0, mExecutions = 0, mUndriven = 0;
  std::string mLastMakeFailure;
  std::vector<int> mExecutedResources;
};

}  // namespace host

#endif  // TRESSEL_HOST_DIALOGSERVICE_H
