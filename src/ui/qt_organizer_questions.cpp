#include "ui/qt_organizer_questions.h"

#include <QLineEdit>
#include <QMessageBox>

#include "app/desktop_texts.h"
#include "core/sjis.h"
#include "search/search_catalogue.h"
#include "ui/busy_dialog.h"
#include "ui/input_dialog.h"
#include "ui/qt_text.h"
#include "ui/quick_search_dialog.h"
#include "ui/scrapbook_dialog.h"
#include "ui/window_modal.h"

namespace norvane {

namespace {
}  // namespace

QtOrganizerQuestions::QtOrganizerQuestions(QWidget* parent, const SearchCatalogue& search,
                                           std::function<void(const std::string&)> openUrl)
    : parent_(parent), search_(search), openUrl_(std::move(openUrl)) {}

QtOrganizerQuestions::~QtOrganizerQuestions() { delete searchForm_.data(); }

std::optional<std::string> QtOrganizerQuestions::AskLine(const std::string& caption,
                                                         const std::string& prompt,
                                                         const std::string& preset, bool browse) {
  TForm4 form(parent_);
  form.Setup(FromSjis(caption), FromSjis(prompt), FromSjis(preset), browse);
  if (ExecWindowModal(form) != QDialog::Accepted) return std::nullopt;
  return ToSjis(form.Edit1->text());
}

bool QtOrganizerQuestions::AskYesNo(const std::string& question) {
  QMessageBox box(QMessageBox::Question, Q(DT().organizerCaption), FromSjis(question),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);  // Enter alone does not delete a group
  return ExecWindowModal(box) == QMessageBox::Yes;
}

std::optional<SearchAnswer> QtOrganizerQuestions::AskSearch() {
  if (!searchForm_) {
    std::vector<std::string> titles = search_.GetSearchTitles().value_or(std::vector<std::string>{});
    searchForm_ = new TForm6(titles, openUrl_, parent_);
  }
  if (ExecWindowModal(*searchForm_) != QDialog::Accepted) return std::nullopt;
  return SearchAnswer{searchForm_->Engine(), ToSjis(searchForm_->Edit1->text())};
}

std::optional<ScrapAnswer> QtOrganizerQuestions::AskScrapbook() {
  TForm7 form(parent_);
  if (ExecWindowModal(form) != QDialog::Accepted) return std::nullopt;
  return ScrapAnswer{form.Title(), form.Keywords()};
}

void QtOrganizerQuestions::WaitBusy(const std::string& message, BackgroundTask& task) {
  BusyDialog busy(FromSjis(message), task, parent_);
  ExecWindowModal(busy);
}

void QtOrganizerQuestions::Tell(const std::string& message) {
  QMessageBox box(QMessageBox::Information, Q(DT().organizerCaption), FromSjis(message),
                  QMessageBox::Ok, parent_);
  ExecWindowModal(box);
}

}  // namespace norvane
