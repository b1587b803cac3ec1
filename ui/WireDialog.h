// CWireDialog: the settings dialog of one model instance (dialog resource
// 21000), editing the five stored fields of its CWireTag.
//
// Controls: 1 OK, 2 Cancel, 3 Apply, 4 mode (a value item delivering 0, 1, 2),
// 5 push and 6 scale (edit text, shown with 5 decimals), 7 "use the list"
// (check box; enables 8), 8 the selection list (edit text, 0 to 99
// characters), 9 shows alert 400.
#ifndef TRESSEL_UI_WIREDIALOG_H
#define TRESSEL_UI_WIREDIALOG_H

#include "ui/Window.h"

class CWireTag;

class CWireDialog : public CEIU_Window {
 public:
  static constexpr int kResourceId = 21000;
  static constexpr int kAlertId = 400;
  static constexpr int kListLimit = 100;  // upper limit of the list field's descriptor

  // REQUIRES: tag outlives the dialog; it is changed only by GetData (at OK
  // and at each apply).
  explicit CWireDialog(CWireTag* tag);
  ~CWireDialog() override;

  bool GetParam(short id, CParamData& descriptor) override;
  void HitControl(short id) override;
  // Space applies when control 3 is enabled and is handled either way; every
  // other key is left to the host.
  bool KeyDown(long key, long second) override;

  CWireTag* tag;  // not owned

 private:
  // Controls into the tag, the tag to the host's channels and the instance
  // block, then a model reset; the dialog stays open.
  void Apply();
};

#endif  // TRESSEL_UI_WIREDIALOG_H
