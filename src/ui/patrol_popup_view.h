#pragma once
#include <QRect>
#include <QWidget>

#include "groups/patrol_popup.h"

class QPlainTextEdit;

namespace norvane {

// The patrol popup TForm5 drawn on the desktop: a small rounded tool window at the
// bottom right of the work area, on top, shown without taking the focus, with no
// taskbar button. The state machine in groups/patrol_popup decides what it shows.
class QtPopupView : public QWidget, public PopupView {
 public:
  QtPopupView();

  void ShowPopup() override;
  void HidePopup() override;
  void AppendLine(const std::string& sjisLine) override;
  void ClearLines() override;

  QPlainTextEdit* Memo1 = nullptr;

 private:
  QRect workArea_;  // read once, at creation
};

}  // namespace norvane
