#include "tests/ui/FakeDialogHost.h"

#include <string.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/Platform.h"

namespace {

int gDirectoryToken, gFileToken, gResourceFileToken;

FakeDialogHost& H() { return FakeDialogHost::Get(); }

// --- Dialogs.
EI_Dialog* FakeMakeDialog(EI_ResourceFile file, int id) {
  if (file != &gResourceFileToken) H().Violation("EI_MakeDialog without the open resource file");
  if (!H().makeDialogAnswers) return nullptr;
  auto layout = H().resources.find(id);
  if (layout == H().resources.end()) return nullptr;
  auto dialog = std::make_unique<FakeDialog>();
  dialog->resourceId = id;
  dialog->width = layout->second.width;
  dialog->height = layout->second.height;
  dialog->frameDx = layout->second.frameDx;
  dialog->frameDy = layout->second.frameDy;
  for (const FakeControlLayout& c : layout->second.controls) {
    auto control = std::make_unique<FakeControl>();
    control->id = c.id;
    control->type = c.type;
    control->text = c.text;
    control->value = c.value;
    control->enabled = c.enabled;
    control->bounds = c.bounds;
    control->extra = c.extra;
    control->dialog = dialog.get();
    dialog->controls.push_back(std::move(control));
  }
  FakeDialog* made = dialog.get();
  H().live.push_back(std::move(dialog));
  H().lastMade = made;
  ++H().dialogsMade;
  return reinterpret_cast<EI_Dialog*>(made);
}

void FakeDestroyDialog(EI_Dialog* d) {
  FakeDialog* dialog = H().DialogOf(d, "EI_DestroyDialog");
  if (!dialog) return;
  if (dialog->running) H().Violation("EI_DestroyDialog of a running dialog");
  auto& live = H().live;
  auto it = std::find_if(live.begin(), live.end(), [&](const auto& p) { return p.get() == dialog; });
  H().graveyard.push_back(std::move(*it));
  live.erase(it);
  ++H().dialogsDestroyed;
}

void RunAction(FakeDialog& dialog, const FakeAction& action);

int FakeExecuteDialog(EI_Dialog* d) {
  FakeDialog* dialog = H().DialogOf(d, "EI_ExecuteDialog");
  if (!dialog) return 0;
  ++H().executions;
  std::vector<FakeAction> script;
  auto& queue = H().scripts[dialog->resourceId];
  if (!queue.empty()) {
    script = std::move(queue.front());
    queue.pop_front();
  }
  dialog->running = true;
  dialog->stopped = false;
  for (const FakeAction& action : script) {
    if (dialog->stopped) break;
    RunAction(*dialog, action);
  }
  dialog->running = false;
  if (!dialog->stopped) {
    ++H().unfinishedRuns;
    return 0;
  }
  return dialog->confirm;
}

void FakeStopDialog(EI_Dialog* d, int confirm) {
  FakeDialog* dialog = H().DialogOf(d, "EI_StopDialog");
  if (!dialog) return;
  if (!dialog->running) H().Violation("EI_StopDialog outside EI_ExecuteDialog");
  dialog->stopped = true;
  dialog->confirm = confirm;
}

void FakeSetDialogExtraData(EI_Dialog* d, void* data) {
  if (FakeDialog* dialog = H().DialogOf(d, "EI_SetDialogExtraData")) dialog->extra = data;
}
void* FakeGetDialogExtraData(EI_Dialog* d) {
  FakeDialog* dialog = H().DialogOf(d, "EI_GetDialogExtraData");
  return dialog ? dialog->extra : nullptr;
}
void FakeSetDialogKeyFilterFunction(EI_Dialog* d, EI_KeyFilterProc f) {
  if (FakeDialog* dialog = H().DialogOf(d, "EI_SetDialogKeyFilterFunction")) dialog->keyFilter = f;
}
void FakeSetDialogTitle(EI_Dialog* d, const char* title) {
  if (FakeDialog* dialog = H().DialogOf(d, "EI_SetDialogTitle")) dialog->titles.push_back(title ? title : "(null)");
}
void FakeGetDialogSize(EI_Dialog* d, int* w, int* h) {
  if (FakeDialog* dialog = H().DialogOf(d, "EI_GetDialogSize")) {
    *w = dialog->width;
    *h = dialog->height;
  }
}
void FakeSetDialogSize(EI_Dialog* d, int w, int h) {
  if (FakeDialog* dialog = H().DialogOf(d, "EI_SetDialogSize")) {
    dialog->width = w;
    dialog->height = h;
    dialog->sizes.push_back(EI_Point{w, h});
  }
}
void FakeGetDialogFrameOffset(EI_Dialog* d, int* dx, int* dy) {
  if (FakeDialog* dialog = H().DialogOf(d, "EI_GetDialogFrameOffset")) {
    *dx = dialog->frameDx;
    *dy = dialog->frameDy;
  }
}
void FakeMoveDialog(EI_Dialog* d, int left, int top) {
  if (FakeDialog* dialog = H().DialogOf(d, "EI_MoveDialog")) {
    dialog->left = left;
    dialog->top = top;
  }
}
void FakeGetMonitorBounds(EI_Rect* r) { *r = H().monitor; }

// --- Controls.
int FakeCountControls(EI_Dialog* d) {
  FakeDialog* dialog = H().DialogOf(d, "EI_CountControls");
  return dialog ? static_cast<int>(dialog->controls.size()) : 0;
}
EI_Control* FakeFindControlByIndex(EI_Dialog* d, int index) {
  FakeDialog* dialog = H().DialogOf(d, "EI_FindControlByIndex");
  if (!dialog || index < 0 || index >= int(dialog->controls.size())) return nullptr;
  return reinterpret_cast<EI_Control*>(dialog->controls[size_t(index)].get());
}
EI_Control* FakeFindControlByID(EI_Dialog* d, int id) {
  FakeDialog* dialog = H().DialogOf(d, "EI_FindControlByID");
  return dialog ? reinterpret_cast<EI_Control*>(dialog->Find(id)) : nullptr;
}

#define FAKE_CONTROL(fn, zero)                              \
  FakeControl* control = H().ControlOf(c, fn);              \
  if (!control) return zero

int FakeGetControlID(EI_Control* c) {
  FAKE_CONTROL("EI_GetControlID", 0);
  return control->id;
}
int FakeGetControlType(EI_Control* c) {
  FAKE_CONTROL("EI_GetControlType", 0);
  return control->type;
}
EI_Dialog* FakeGetControlDialog(EI_Control* c) {
  FAKE_CONTROL("EI_GetControlDialog", nullptr);
  return reinterpret_cast<EI_Dialog*>(control->dialog);
}
int FakeGetControlValue(EI_Control* c) {
  FAKE_CONTROL("EI_GetControlValue", 0);
  return control->value;
}
void FakeSetControlValue(EI_Control* c, int v) {
  FAKE_CONTROL("EI_SetControlValue", );
  control->value = v;
  ++control->valueWrites;
  control->lastWriteImmediate = control->drawImmediate;
}

void ReadText(EI_Control* c, char* buffer, int* capacity, const char* fn) {
  FAKE_CONTROL(fn, );
  if (!buffer || !capacity || *capacity != 254 || buffer[254] != 0) {
    H().Violation(std::string(fn) + " without capacity 254 and a preset last byte");
    return;
  }
  if (H().textWithoutTerminator) {
    std::string full = control->text;
    full.resize(size_t(*capacity), '#');
    memcpy(buffer, full.data(), full.size());
    return;
  }
  const size_t n = std::min(control->text.size(), size_t(*capacity));
  memcpy(buffer, control->text.data(), n);
  buffer[n] = 0;
}
void WriteText(EI_Control* c, const char* text, const char* fn) {
  FAKE_CONTROL(fn, );
  control->text = text ? text : "";
  ++control->textWrites;
  control->lastWriteImmediate = control->drawImmediate;
}
void FakeGetControlTitle(EI_Control* c, char* b, int* n) { ReadText(c, b, n, "EI_GetControlTitle"); }
void FakeSetControlTitle(EI_Control* c, const char* t) {
  FakeControl* control = H().ControlOf(c, "EI_SetControlTitle");
  if (control && control->type == 10) H().Violation("EI_SetControlTitle on an edit field");
  WriteText(c, t, "EI_SetControlTitle");
}
void FakeGetEditTextString(EI_Control* c, char* b, int* n) { ReadText(c, b, n, "EI_GetEditTextString"); }
void FakeSetEditTextString(EI_Control* c, const char* t) { WriteText(c, t, "EI_SetEditTextString"); }
void FakeSetEditTextFilter(EI_Control* c, int mode, EI_EditFilterProc f) {
  FAKE_CONTROL("EI_SetEditTextFilter", );
  control->filterMode = mode;
  control->filter = f;
}
int FakeGetControlEnable(EI_Control* c) {
  FAKE_CONTROL("EI_GetControlEnable", 0);
  return control->enabled ? 1 : 0;
}
void FakeSetControlEnable(EI_Control* c, int on) {
  FAKE_CONTROL("EI_SetControlEnable", );
  control->enabled = on != 0;
  ++control->enableWrites;
}
int FakeGetControlDrawImmediate(EI_Control* c) {
  FAKE_CONTROL("EI_GetControlDrawImmediate", 0);
  return control->drawImmediate ? 1 : 0;
}
void FakeSetControlDrawImmediate(EI_Control* c, int on) {
  FAKE_CONTROL("EI_SetControlDrawImmediate", );
  control->drawImmediate = on != 0;
}
void FakeInvalControl(EI_Control* c) {
  FAKE_CONTROL("EI_InvalControl", );
  ++control->invalidations;
}
void FakeGetControlBounds(EI_Control* c, EI_Rect* r) {
  FAKE_CONTROL("EI_GetControlBounds", );
  *r = control->bounds;
}
void FakeSetControlBounds(EI_Control* c, EI_Rect* r) {
  FAKE_CONTROL("EI_SetControlBounds", );
  control->bounds = *r;
}
void* FakeGetControlExtraData(EI_Control* c) {
  FAKE_CONTROL("EI_GetControlExtraData", nullptr);
  return control->extra;
}
void FakeSetControlHitFunction(EI_Control* c, EI_HitProc f) {
  FAKE_CONTROL("EI_SetControlHitFunction", );
  control->hit = f;
}
int FakeTrackMouseDown(EI_Control* c, int* x, int* y) {
  FAKE_CONTROL("EI_TrackMouseDown", 0);
  FakeDialogHost& host = H();
  if (host.mouseNext >= host.mouse.size()) return 0;
  *x = host.mouse[host.mouseNext].x;
  *y = host.mouse[host.mouseNext].y;
  ++host.mouseNext;
  return 1;
}
void FakeSetColorButtonColor(EI_Control* c, int r, int g, int b, int a) {
  FAKE_CONTROL("EI_SetColorButtonColor", );
  control->rgba[0] = r;
  control->rgba[1] = g;
  control->rgba[2] = b;
  control->rgba[3] = a;
}
void FakeGetColorButtonColor(EI_Control* c, int* r, int* g, int* b, int* a) {
  FAKE_CONTROL("EI_GetColorButtonColor", );
  *r = control->rgba[0];
  *g = control->rgba[1];
  *b = control->rgba[2];
  *a = control->rgba[3];
}
#undef FAKE_CONTROL

// --- Files.
EI_DirectoryRef FakeGetHomeDirectory() { return &gDirectoryToken; }
EI_FileRef FakeMakeFileRef(EI_DirectoryRef dir, const char* name, uint32_t, const char*) {
  if (dir != &gDirectoryToken) H().Violation("EI_MakeFileRef without the home directory");
  return name ? &gFileToken : nullptr;
}
EI_ResourceFile FakeOpenResourceFile(EI_FileRef ref) {
  if (ref != &gFileToken || !H().resourceFileOpens) return nullptr;
  ++H().filesOpened;
  return &gResourceFileToken;
}
void FakeDestroyFileRef(EI_FileRef) {}
void FakeDestroyDirectoryRef(EI_DirectoryRef) {}
void FakeCloseResourceFile(EI_ResourceFile file) {
  if (file != &gResourceFileToken) H().Violation("EI_CloseResourceFile of an unknown file");
  ++H().filesClosed;
  if (H().resourceFileCloseThrows) throw 42;
}

// --- The scripted driver.
void RunAction(FakeDialog& dialog, const FakeAction& action) {
  EI_Dialog* handle = reinterpret_cast<EI_Dialog*>(&dialog);
  switch (action.kind) {
    case FakeAction::kType:
    case FakeAction::kPaste: {
      FakeControl* control = dialog.Find(action.id);
      if (!control || !control->enabled) return;
      auto propose = [&](const std::string& proposed) {
        if (control->filter && !control->filter(reinterpret_cast<EI_Control*>(control), proposed.c_str())) return;
        control->text = proposed;
      };
      if (action.kind == FakeAction::kPaste) {
        propose(action.text);
      } else {
        for (char ch : action.text) propose(control->text + ch);
      }
      return;
    }
    case FakeAction::kClick: {
      FakeControl* control = dialog.Find(action.id);
      if (!control || !control->enabled) return;
      if (control->type == kCheckBox) control->value = control->value ? 0 : 1;
      if (control->hit) control->hit(reinterpret_cast<EI_Control*>(control), nullptr);
      return;
    }
    case FakeAction::kPress: {
      if (dialog.keyFilter && dialog.keyFilter(handle, action.key, 0) != 0) return;
      int button = 0;
      if (action.key == 13 || action.key == 3) button = 1;
      if (action.key == 27) button = 2;
      if (button) RunAction(dialog, Click(button));
      return;
    }
    case FakeAction::kDo:
      action.run(dialog);
      return;
  }
}

struct Export {
  const char* name;
  void* address;
};
#define FAKE_EXPORT(name) {"EI_" #name, reinterpret_cast<void*>(&Fake##name)}
const Export kExports[] = {
    FAKE_EXPORT(MakeDialog), FAKE_EXPORT(DestroyDialog), FAKE_EXPORT(ExecuteDialog),
    FAKE_EXPORT(StopDialog), FAKE_EXPORT(SetDialogExtraData), FAKE_EXPORT(GetDialogExtraData),
    FAKE_EXPORT(SetDialogKeyFilterFunction), FAKE_EXPORT(SetDialogTitle), FAKE_EXPORT(GetDialogSize),
    FAKE_EXPORT(SetDialogSize), FAKE_EXPORT(GetDialogFrameOffset), FAKE_EXPORT(MoveDialog),
    FAKE_EXPORT(GetMonitorBounds), FAKE_EXPORT(CountControls), FAKE_EXPORT(FindControlByIndex),
    FAKE_EXPORT(FindControlByID), FAKE_EXPORT(GetControlID), FAKE_EXPORT(GetControlType),
    FAKE_EXPORT(GetControlDialog), FAKE_EXPORT(GetControlValue), FAKE_EXPORT(SetControlValue),
    FAKE_EXPORT(GetControlTitle), FAKE_EXPORT(SetControlTitle), FAKE_EXPORT(GetEditTextString),
    FAKE_EXPORT(SetEditTextString), FAKE_EXPORT(SetEditTextFilter), FAKE_EXPORT(GetControlEnable),
    FAKE_EXPORT(SetControlEnable), FAKE_EXPORT(GetControlDrawImmediate), FAKE_EXPORT(SetControlDrawImmediate),
    FAKE_EXPORT(InvalControl), FAKE_EXPORT(GetControlBounds), FAKE_EXPORT(SetControlBounds),
    FAKE_EXPORT(GetControlExtraData), FAKE_EXPORT(SetControlHitFunction), FAKE_EXPORT(TrackMouseDown),
    FAKE_EXPORT(SetColorButtonColor), FAKE_EXPORT(GetColorButtonColor), FAKE_EXPORT(GetHomeDirectory),
    FAKE_EXPORT(MakeFileRef), FAKE_EXPORT(OpenResourceFile), FAKE_EXPORT(DestroyFileRef),
    FAKE_EXPORT(DestroyDirectoryRef), FAKE_EXPORT(CloseResourceFile),
};
#undef FAKE_EXPORT

void* Resolve(const char* name) {
  ++H().lookups[name];
  if (IsUnexportedForTesting(name)) return nullptr;
  for (const Export& e : kExports)
    if (strcmp(e.name, name) == 0) return e.address;
  ADD_FAILURE() << "the module asked for an unknown host function " << name;
  return nullptr;
}

// The resolver must be in place before the first forwarder runs (forwarders
// keep the first address they find), so it is installed once for the binary.
class HostEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { platform::SetHostFunctionResolverForTesting(Resolve); }
};
[[maybe_unused]] ::testing::Environment* const gEnvironment = ::testing::AddGlobalTestEnvironment(new HostEnvironment);

}  // namespace

bool IsUnexportedForTesting(const char* name) {
  return strcmp(name, "EI_GetCurrentTabPanel") == 0 || strcmp(name, "EI_SetCurrentTabPanel") == 0;
}

FakeControl* FakeDialog::Find(int id) {
  for (auto& c : controls)
    if (c->id == id) return c.get();
  return nullptr;
}

FakeAction Type(int id, const std::string& text) {
  FakeAction a;
  a.kind = FakeAction::kType;
  a.id = id;
  a.text = text;
  return a;
}
FakeAction Paste(int id, const std::string& text) {
  FakeAction a;
  a.kind = FakeAction::kPaste;
  a.id = id;
  a.text = text;
  return a;
}
FakeAction Click(int id) {
  FakeAction a;
  a.kind = FakeAction::kClick;
  a.id = id;
  return a;
}
FakeAction Press(int key) {
  FakeAction a;
  a.kind = FakeAction::kPress;
  a.key = key;
  return a;
}
FakeAction Do(std::function<void(FakeDialog&)> run) {
  FakeAction a;
  a.kind = FakeAction::kDo;
  a.run = std::move(run);
  return a;
}

FakeDialogHost& FakeDialogHost::Get() {
  static FakeDialogHost host;
  return host;
}

void FakeDialogHost::Reset() {
  resources.clear();
  scripts.clear();
  monitor = EI_Rect{0, 0, 1000, 800};
  resourceFileOpens = true;
  resourceFileCloseThrows = false;
  makeDialogAnswers = true;
  textWithoutTerminator = false;
  mouse.clear();
  mouseNext = 0;
  live.clear();
  graveyard.clear();
  lastMade = nullptr;
  dialogsMade = dialogsDestroyed = filesOpened = filesClosed = executions = unfinishedRuns = 0;
  violations.clear();
  lookups.clear();
}

FakeDialog* FakeDialogHost::DialogOf(EI_Dialog* d, const char* function) {
  for (auto& dialog : live)
    if (reinterpret_cast<EI_Dialog*>(dialog.get()) == d) return dialog.get();
  Violation(std::string(function) + (d ? " with a dead dialog" : " with a null dialog"));
  return nullptr;
}

FakeControl* FakeDialogHost::ControlOf(EI_Control* c, const char* function) {
  for (auto& dialog : live)
    for (auto& control : dialog->controls)
      if (reinterpret_cast<EI_Control*>(control.get()) == c) return control.get();
  Violation(std::string(function) + (c ? " with a dead control" : " with a null control"));
  return nullptr;
}
