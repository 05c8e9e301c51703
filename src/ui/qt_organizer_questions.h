#pragma once
#include <QPointer>

#include <functional>
#include <string>

#include "groups/organizer_questions.h"
#include "ui/quick_search_dialog.h"

class QWidget;

namespace norvane {

class SearchCatalogue;

// The organizer's questions answered by the desktop: TForm4 for a line, TForm6 (made at
// the first search and kept) for the quick search, TForm7 for a scrapbook, message
// boxes for a yes/no question and a notice, BusyDialog for the wait on a fetch. Each
// is modal to the organizer only. Texts cross in Shift_JIS.
class QtOrganizerQuestions : public OrganizerQuestions {
 public:
  // parent: the organizer window the dialogs belong to; openUrl opens an address in the
  // browser (TForm6's 表示).
  QtOrganizerQuestions(QWidget* parent, const SearchCatalogue& search,
                       std::function<void(const std::string&)> openUrl);
  ~QtOrganizerQuestions() override;
  QtOrganizerQuestions(const QtOrganizerQuestions&) = delete;
  QtOrganizerQuestions& operator=(const QtOrganizerQuestions&) = delete;

  std::optional<std::string> AskLine(const std::string& caption, const std::string& prompt,
                                     const std::string& preset, bool browse) override;
  bool AskYesNo(const std::string& question) override;
  std::optional<SearchAnswer> AskSearch() override;
  std::optional<ScrapAnswer> AskScrapbook() override;
  void Tell(const std::string& message) override;
  void WaitBusy(const std::string& message, BackgroundTask& task) override;

  // The quick search dialog once made; none before the first search.
  TForm6* searchForm() const { return searchForm_.data(); }

 private:
  QWidget* parent_;
  const SearchCatalogue& search_;
  std::function<void(const std::string&)> openUrl_;
  QPointer<TForm6> searchForm_;  // a child of parent_; deleted by whichever goes first
};

}  // namespace norvane
