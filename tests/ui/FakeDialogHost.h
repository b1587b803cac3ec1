// FakeDialogHost: an in-process stand-in for the host's EI_ functions, for
// white-box tests of the dialog framework.
//
// The module's forwarders find these functions through the platform resolver
// seam (installed once for the whole test binary, before any forwarder runs).
// Dialogs are built from resource layouts the test defines; EI_ExecuteDialog
// runs the next script queued for the dialog's resource id:
//   Type(id, text)  one character at a time; each complete proposed text goes
//                   through the edit filter and a refused change is not applied
//   Paste(id, text) the whole text as one proposed change
//   Click(id)       an enabled control: a check box (kCheckBox) toggles, then
//                   the hit function runs
//   Press(key)      the key filter first; a key it does not consume gets the
//                   host's handling: Return/Enter click control 1, Escape
//                   control 2, when enabled
//   Do(f)           runs f (inspection in the middle of a dialog)
// A script that ends without the dialog being stopped cancels it and is
// counted in unfinishedRuns.
//
// Every handle the module passes is checked; a null or dead control or
// dialog, or a text buffer not prepared as promised, is a violation.
#ifndef TRESSEL_TESTS_UI_FAKEDIALOGHOST_H
#define TRESSEL_TESTS_UI_FAKEDIALOGHOST_H

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/EIFunctions.h"

constexpr int kCheckBox = 2;  // a value item the fake toggles on a click
constexpr int kStepper = 16;  // a value item holding any integer

struct FakeDialog;

struct FakeControl {
  int id = 0;
  int type = 0;
  int value = 0;
  std::string text;
  bool enabled = true;
  bool drawImmediate = false;
  EI_Rect bounds{0, 0, 0, 0};
  void* extra = nullptr;
  int rgba[4] = {0, 0, 0, 0};
  EI_HitProc hit = nullptr;
  EI_EditFilterProc filter = nullptr;
  int filterMode = -1;
  FakeDialog* dialog = nullptr;

  // What the module did to it.
  int textWrites = 0;
  int valueWrites = 0;
  int enableWrites = 0;
  int invalidations = 0;
  bool lastWriteImmediate = false;  // drawImmediate during the latest text or value write
};

struct FakeControlLayout {
  int id;
  int type;
  std::string text;
  int value = 0;
  bool enabled = true;
  EI_Rect bounds{0, 0, 0, 0};
  void* extra = nullptr;
};

struct FakeDialogLayout {
  int width = 300, height = 200;
  int frameDx = 0, frameDy = 0;
  std::vector<FakeControlLayout> controls;
};

struct FakeDialog {
  int resourceId = 0;
  std::vector<std::unique_ptr<FakeControl>> controls;
  void* extra = nullptr;
  EI_KeyFilterProc keyFilter = nullptr;
  std::vector<std::string> titles;  // every title set, in order
  int width = 0, height = 0, frameDx = 0, frameDy = 0;
  int left = -1, top = -1;          // last EI_MoveDialog
  std::vector<EI_Point> sizes;      // every EI_SetDialogSize
  bool running = false;
  bool stopped = false;
  int confirm = 0;

  FakeControl* Find(int id);
};

struct FakeAction {
  enum Kind { kType, kPaste, kClick, kPress, kDo } kind = kDo;
  int id = 0;
  std::string text;
  int key = 0;
  std::function<void(FakeDialog&)> run;
};
FakeAction Type(int id, const std::string& text);
FakeAction Paste(int id, const std::string& text);
FakeAction Click(int id);
FakeAction Press(int key);
FakeAction Do(std::function<void(FakeDialog&)> run);

class FakeDialogHost {
 public:
  static FakeDialogHost& Get();
  // Back to an empty host: no resources, scripts or dialogs; counters 0.
  void Reset();

  std::map<int, FakeDialogLayout> resources;
  // Queued scripts per dialog resource id, taken one per EI_ExecuteDialog.
  std::map<int, std::deque<std::vector<FakeAction>>> scripts;
  void Script(int resourceId, std::vector<FakeAction> actions) {
    scripts[resourceId].push_back(std::move(actions));
  }

  EI_Rect monitor{0, 0, 1000, 800};
  bool resourceFileOpens = true;  // EI_OpenResourceFile succeeds
  bool resourceFileCloseThrows = false;  // EI_CloseResourceFile raises (an int) after closing
  bool makeDialogAnswers = true;  // false: EI_MakeDialog answers null, as without the function
  bool textWithoutTerminator = false;  // text reads fill the whole capacity and write no NUL

  // Mouse positions EI_TrackMouseDown reports, one per call; then released.
  std::vector<EI_Point> mouse;
  size_t mouseNext = 0;

  // Observations.
  std::vector<std::unique_ptr<FakeDialog>> live;
  FakeDialog* lastMade = nullptr;  // stays valid until Reset, also once destroyed
  int dialogsMade = 0;
  int dialogsDestroyed = 0;
  int filesOpened = 0;
  int filesClosed = 0;
  int executions = 0;
  int unfinishedRuns = 0;
  std::vector<std::string> violations;
  std::map<std::string, int> lookups;  // resolver questions per name

  // Internal: checked handle conversions.
  FakeDialog* DialogOf(EI_Dialog* dialog, const char* function);
  FakeControl* ControlOf(EI_Control* control, const char* function);
  void Violation(const std::string& what) { violations.push_back(what); }

  std::vector<std::unique_ptr<FakeDialog>> graveyard;  // destroyed dialogs, kept for inspection
};

// Names the resolver never answers (the tab panel functions), so that the
// module's handling of a function the host does not export can be observed.
bool IsUnexportedForTesting(const char* name);

#endif  // TRESSEL_TESTS_UI_FAKEDIALOGHOST_H
