#include "app/scrap_dialog_state.h"

namespace norvane {

bool ScrapDialogState::Add() {
  if (!CanAdd()) return false;
  keywords_.push_back(entry_);
  entry_.clear();
  return true;
}

void ScrapDialogState::Select(int index) {
  selected_ = index >= 0 && static_cast<size_t>(index) < keywords_.size() ? index : -1;
}

bool ScrapDialogState::Remove() {
  if (!CanRemove()) return false;
  keywords_.erase(keywords_.begin() + selected_);
  selected_ = -1;
  return true;
}

}  // namespace norvane
