// Alert boxes: a modal dialog from the resource file whose text controls may
// carry the markers "^0" and "^1", replaced by two texts; any push button
// closes it.
#ifndef TRESSEL_UI_ALERTBOX_H
#define TRESSEL_UI_ALERTBOX_H

#include "base/PascalString.h"
#include "ui/Window.h"

// The window title of the next alert box only; every alert box built takes
// it and empties it. Empty at module start.
extern PascalString theAlertTitle;
void SetAlertTitle(const PascalString& title);

class CEIU_ModalBox : public CEIU_Window {
 public:
  // Substitutes `first` for "^0" and `second` for "^1" (empty texts are not
  // substituted), then empties theAlertTitle.
  CEIU_ModalBox(int resourceId, PascalString first, PascalString second);
  ~CEIU_ModalBox() override;

  // A push button stops the box: confirmed for id 1, cancelled for others.
  void HitControl(short id) override;

  // Replaces the first occurrence of `marker` in the first text control
  // (types 9 and 10, in index order) that holds it; the text stays within
  // 254 characters. Stores that control's index in *foundIndex when given.
  // False when no text control holds the marker (or the marker is empty).
  static bool SubstText(CEIU_Window* window, const PascalString& marker, const PascalString& replacement,
                        int* foundIndex);
};

// Shows alert `resourceId` modally and returns when it is closed; which button
// closed it is not reported. Without the resource it returns at once.
void CustomAlert(short resourceId, PascalString first, PascalString second);

#endif  // TRESSEL_UI_ALERTBOX_H
