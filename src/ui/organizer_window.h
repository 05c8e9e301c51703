#pragma once
#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;
class QPushButton;
class QSpinBox;

namespace norvane {

class GroupOrganizer;
class QtOrganizerQuestions;
class QtShell;
class SearchCatalogue;
class TDataM;
class TScrapSerch;

// The group organizer TForm3 ("RSSグループの整理", fixed frame, client 560 x 440): the
// groups of the catalogue on the left, the open group's feeds on the right. A thin
// window over GroupOrganizer: before each command it writes its fields into the model,
// after it draws the lists, selections and fields from it. A feed dragged from ListBox2
// onto an entry of LBopml moves to that group. Closing the window closes the model,
// which writes the group and the catalogue.
class TForm3 : public QDialog {
 public:
  // books and search are the data module's; openUrl opens an address in the browser;
  // whatever a command throws goes to shell's error handler.
  TForm3(TScrapSerch& books, const SearchCatalogue& search,
         std::function<void(const std::string&)> openUrl, QtShell& shell,
         QWidget* parent = nullptr);
  ~TForm3() override;

  GroupOrganizer& model() { return *model_; }
  QtOrganizerQuestions& questions() { return *questions_; }
  // False when the catalogue could not be loaded: the window closes itself when shown.
  bool opened() const { return opened_; }
  // What a drag of the current feed carries. LBopml takes only this window's drags.
  QMimeData* FeedDragData() const;

  // The controls, by their fixed names (public for the window's tests).
  QListWidget* LBopml = nullptr;
  QLineEdit *EGpTitle = nullptr, *EGPFile = nullptr;
  QSpinBox* SEGPAround = nullptr;
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button7 = nullptr,
              *Button6 = nullptr;
  QListWidget* ListBox2 = nullptr;
  QLineEdit *ERSSTitle = nullptr, *ERSSURL = nullptr, *ERSSD = nullptr, *ERSSLink = nullptr;
  QPushButton *Button9 = nullptr, *Button8 = nullptr, *Button10 = nullptr, *Button11 = nullptr,
              *Button4 = nullptr, *Button5 = nullptr;

  // Writes the fields into the model, runs command, draws the model.
  void Command(const std::function<void()>& command);

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  // A text field and the model's Shift_JIS value behind it. What the field showed is
  // kept, so an untouched field gives back the model's bytes as they were.
  struct Bound {
    QLineEdit* edit;
    std::string* value;
    QString shown;
  };
  QWidget* BuildGroupColumn();
  QWidget* BuildFeedColumn();
  void Wire();
  void WriteFields();
  void Draw();
  void CloseModel();
  bool DragAccepted(const QMimeData* carried, int row);
  void Dropped(const QMimeData* carried, int row);

  QtShell& shell_;
  std::unique_ptr<QtOrganizerQuestions> questions_;
  std::unique_ptr<GroupOrganizer> model_;  // after questions_, which it asks
  std::vector<Bound> bound_;
  QByteArray dragToken_;
  bool opened_ = false;
  bool closed_ = false;
  bool drawing_ = false;
};

// The organizer over the running program's data, until it closes: modal to none of the
// other windows, so the tray menu and the main window stay usable meanwhile.
void RunOrganizerWindow(TDataM& module, QtShell& shell);

}  // namespace norvane
