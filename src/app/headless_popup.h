#pragma once
#include "core/headless_shell.h"
#include "groups/patrol_popup.h"

namespace norvane {

// The patrol popup of a run without a desktop: each line it types goes to standard
// error.
class HeadlessPopupView : public PopupView {
 public:
  void ShowPopup() override {}
  void HidePopup() override {}
  void AppendLine(const std::string& sjisLine) override { ConsoleLine(sjisLine); }
  void ClearLines() override {}
};

}  // namespace norvane
