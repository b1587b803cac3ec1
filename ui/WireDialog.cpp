// The settings dialog: binds controls 4 to 8 to the tag's fields, keeps the
// list field enabled exactly while the list is in use, applies without
// closing, and shows the alert.
#include "ui/WireDialog.h"

#include "plugin/PluginTask.h"
#include "ui/AlertBox.h"
#include "ui/ParamData.h"
#include "wire/WireTag.h"

namespace {

enum : short {
  kApply = 3,
  kMode = 4,
  kPush = 5,
  kScale = 6,
  kUseList = 7,
  kList = 8,
  kShowAlert = 9,
};

}  // namespace

CWireDialog::CWireDialog(CWireTag* wireTag) : CEIU_Window(kResourceId, "Tressel 1.0.2"), tag(wireTag) {
  EnableItem(kList, tag->useExclude != 0);
}

CWireDialog::~CWireDialog() {}

bool CWireDialog::GetParam(short id, CParamData& descriptor) {
  const double none = CParamData::kNoLimit;
  switch (id) {
    case kMode: descriptor.MakeLong(&tag->mode, none, none); return true;
    case kPush: descriptor.MakeFlot(&tag->push, none, none); return true;
    case kScale: descriptor.MakeFlot(&tag->scale, none, none); return true;
    case kUseList: descriptor.MakeLong(&tag->useExclude, none, none); return true;
    case kList: descriptor.MakeStr(tag->excludeText.Raw(), 0, kListLimit); return true;
    default: return false;
  }
}

void CWireDialog::HitControl(short id) {
  switch (id) {
    case kApply: Apply(); break;
    case kUseList: EnableItem(kList, CtrlVal(kUseList) != 0); break;
    case kShowAlert: CustomAlert(kAlertId, PascalString(), PascalString()); break;
    default: CEIU_Window::HitControl(id); break;
  }
}

bool CWireDialog::KeyDown(long key, long) {
  if (key != Key::kSpace) return false;
  if (Enabled(kApply)) Apply();
  return true;
}

void CWireDialog::Apply() {
  GetData();
  tag->UpdateAll();
  plug->SendModelReset();
}
