#pragma once
#include <string>
#include <vector>

namespace norvane {

// The scrapbook dialog's keyword box apart from its widgets: the keyword being typed,
// the list (duplicates allowed) and which buttons may act. The dialog draws this after
// every event. Texts are the window's own (UTF-8).
class ScrapDialogState {
 public:
  // The keyword field now reads text (Edit2Change).
  void EditKeyword(std::string text) { entry_ = std::move(text); }
  // 追加: the keyword goes to the end of the list and the field empties. False (nothing
  // changes) while the field is empty.
  bool Add();
  // The user picked entry index of the list; -1 or an index past the end picks none.
  void Select(int index);
  // 削除: the selected keyword goes; none is selected afterwards. False without one.
  bool Remove();

  bool CanAdd() const { return !entry_.empty(); }
  bool CanRemove() const { return selected_ >= 0; }
  const std::string& entry() const { return entry_; }
  const std::vector<std::string>& keywords() const { return keywords_; }
  int selected() const { return selected_; }

 private:
  std::string entry_;
  std::vector<std::string> keywords_;
  int selected_ = -1;
};

}  // namespace norvane
