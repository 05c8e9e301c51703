#include "ui/organizer_window.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

#include "app/data_module.h"
#include "app/desktop_texts.h"
#include "core/browser.h"
#include "core/sjis.h"
#include "groups/organizer.h"
#include "ui/qt_organizer_questions.h"
#include "ui/qt_shell.h"
#include "ui/qt_text.h"
#include "ui/window_modal.h"

namespace norvane {

namespace {

constexpr int kOrganizerWidth = 560;
constexpr int kOrganizerHeight = 440;
constexpr const char* kFeedMime = "application/x-norvane-feed";

// The feed list: a drag takes the current feed and leaves the list as it is (the model
// moves the feed when it is dropped).
class FeedList : public QListWidget {
 public:
  FeedList(std::function<QMimeData*()> makeData, QWidget* parent)
      : QListWidget(parent), data_(std::move(makeData)) {}

 protected:
  void startDrag(Qt::DropActions) override {
    if (currentRow() < 0) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data_());
    drag->exec(Qt::CopyAction);
  }

 private:
  std::function<QMimeData*()> data_;
};

// The group list as a drop target: over decides (and selects) per entry, drop acts.
class GroupList : public QListWidget {
 public:
  GroupList(std::function<bool(const QMimeData*, int)> over,
            std::function<void(const QMimeData*, int)> drop, QWidget* parent)
      : QListWidget(parent), over_(std::move(over)), drop_(std::move(drop)) {
    setAcceptDrops(true);
    setDropIndicatorShown(false);
  }

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (e->mimeData()->hasFormat(kFeedMime)) {
      e->setDropAction(Qt::CopyAction);
      e->accept();
    } else {
      e->ignore();
    }
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (over_(e->mimeData(), RowAt(e->position()))) {
      e->setDropAction(Qt::CopyAction);
      e->accept();
    } else {
      e->ignore();
    }
  }
  void dragLeaveEvent(QDragLeaveEvent* e) override { e->accept(); }
  void dropEvent(QDropEvent* e) override {
    const int row = RowAt(e->position());
    if (!over_(e->mimeData(), row)) {
      e->ignore();
      return;
    }
    e->setDropAction(Qt::CopyAction);
    e->accept();
    drop_(e->mimeData(), row);
  }

 private:
  int RowAt(QPointF pos) const {
    QListWidgetItem* item = itemAt(pos.toPoint());
    return item ? row(item) : -1;
  }
  std::function<bool(const QMimeData*, int)> over_;
  std::function<void(const QMimeData*, int)> drop_;
};

QLineEdit* Field(const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  return e;
}

// A button as wide as its caption: the style's usual minimum would not let five fit in
// a column.
QPushButton* Button(const char* name, const std::string& caption, QWidget* parent) {
  auto* b = new QPushButton(Q(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  const int text = b->fontMetrics().horizontalAdvance(b->text());
  b->setFixedWidth(std::max(text + 18, 30));
  return b;
}

// A column: its list with ↑ and ↓ beside it, the fields under it, the buttons last.
void LayOutColumn(QGroupBox* box, QListWidget* list, QPushButton* up, QPushButton* down,
                  QGridLayout* fields, std::initializer_list<QPushButton*> buttons) {
  auto* moves = new QVBoxLayout;
  moves->addWidget(up);
  moves->addWidget(down);
  moves->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(list, 1);
  top->addLayout(moves);
  fields->setVerticalSpacing(4);
  auto* row = new QHBoxLayout;
  for (QPushButton* b : buttons) row->addWidget(b);
  row->addStretch(1);
  auto* col = new QVBoxLayout(box);
  col->setContentsMargins(6, 4, 6, 6);
  col->setSpacing(6);
  col->addLayout(top, 1);
  col->addLayout(fields);
  col->addLayout(row);
}

void SetEntries(QListWidget* list, const std::vector<std::string>& entries) {
  if (list->count() != static_cast<int>(entries.size())) {
    list->clear();
    for (const std::string& e : entries) list->addItem(FromSjis(e));
    return;
  }
  for (int i = 0; i < list->count(); ++i) {
    const QString text = FromSjis(entries[static_cast<size_t>(i)]);
    if (list->item(i)->text() != text) list->item(i)->setText(text);
  }
}

void SetRow(QListWidget* list, int row) {
  if (row < 0 || row >= list->count()) {
    list->setCurrentRow(-1);
    list->clearSelection();
  } else if (list->currentRow() != row || !list->item(row)->isSelected()) {
    list->setCurrentRow(row);
  }
}

}  // namespace

TForm3::TForm3(TScrapSerch& books, const SearchCatalogue& search,
               std::function<void(const std::string&)> openUrl, QtShell& shell, QWidget* parent)
    : QDialog(parent), shell_(shell) {
  setObjectName("Form3");
  setWindowTitle(Q(DT().organizerCaption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  // A drag from another window, or another program, carries another token.
  dragToken_ = QByteArray::number(QRandomGenerator::global()->generate64(), 16);

  auto* all = new QHBoxLayout(this);
  all->setContentsMargins(6, 6, 6, 6);
  all->setSpacing(6);
  all->addWidget(BuildGroupColumn(), 26);
  all->addWidget(BuildFeedColumn(), 30);
  setFixedSize(kOrganizerWidth, kOrganizerHeight);

  questions_ = std::make_unique<QtOrganizerQuestions>(this, search, std::move(openUrl));
  model_ = std::make_unique<GroupOrganizer>(*questions_, books, search);
  bound_ = {{EGpTitle, &model_->group.title, {}},       {EGPFile, &model_->group.file, {}},
            {ERSSTitle, &model_->feed.title, {}},       {ERSSURL, &model_->feed.url, {}},
            {ERSSD, &model_->feed.description, {}},     {ERSSLink, &model_->feed.link, {}}};
  Wire();
  opened_ = model_->Open();
  Draw();
}

TForm3::~TForm3() {
  // An end that did not pass through done() (the program ending under the window)
  // still writes what was edited.
  try {
    CloseModel();
  } catch (...) {
  }
}

QWidget* TForm3::BuildGroupColumn() {
  const DesktopTexts& t = DT();
  auto* box = new QGroupBox(Q(t.opmlColumn), this);
  box->setObjectName("OpmlColumn");
  LBopml = new GroupList([this](const QMimeData* d, int row) { return DragAccepted(d, row); },
                         [this](const QMimeData* d, int row) { Dropped(d, row); }, box);
  LBopml->setObjectName("LBopml");
  EGpTitle = Field("EGpTitle", box);
  EGPFile = Field("EGPFile", box);
  SEGPAround = new QSpinBox(box);
  SEGPAround->setObjectName("SEGPAround");
  SEGPAround->setRange(INT_MIN, INT_MAX);  // no bounds: 0 and below are never patrolled
  SEGPAround->setFixedWidth(72);
  Button1 = Button("Button1", t.newGroup, box);
  Button2 = Button("Button2", t.addMore, box);
  Button3 = Button("Button3", t.deleteMore, box);
  Button7 = Button("Button7", t.up, box);
  Button6 = Button("Button6", t.down, box);

  auto* round = new QHBoxLayout;
  round->addWidget(SEGPAround);
  round->addWidget(new QLabel(Q(t.roundAfter), box));
  round->addStretch(1);
  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(Q(t.titleLabel), box), 0, 0);
  fields->addWidget(EGpTitle, 0, 1);
  fields->addWidget(new QLabel(Q(t.fileLabel), box), 1, 0);
  fields->addWidget(EGPFile, 1, 1);
  fields->addWidget(new QLabel(Q(t.roundBefore), box), 2, 0);
  fields->addLayout(round, 2, 1);
  LayOutColumn(box, LBopml, Button7, Button6, fields, {Button1, Button2, Button3});
  return box;
}

QWidget* TForm3::BuildFeedColumn() {
  const DesktopTexts& t = DT();
  auto* box = new QGroupBox(Q(t.rssColumn), this);
  box->setObjectName("RssColumn");
  ListBox2 = new FeedList([this] { return FeedDragData(); }, box);
  ListBox2->setObjectName("ListBox2");
  ListBox2->setDragEnabled(true);
  ListBox2->setDragDropMode(QAbstractItemView::DragOnly);
  ERSSTitle = Field("ERSSTitle", box);
  ERSSURL = Field("ERSSURL", box);
  ERSSD = Field("ERSSD", box);
  ERSSLink = Field("ERSSLink", box);
  Button9 = Button("Button9", t.up, box);
  Button8 = Button("Button8", t.down, box);
  Button10 = Button("Button10", t.scrapMore, box);
  Button11 = Button("Button11", t.searchMore, box);
  Button4 = Button("Button4", t.addMore, box);
  Button5 = Button("Button5", t.deleteFeed, box);

  auto* fields = new QGridLayout;
  const std::pair<const std::string*, QLineEdit*> rows[] = {{&t.titleLabel, ERSSTitle},
                                                            {&t.rssUrlLabel, ERSSURL},
                                                            {&t.descriptionLabel, ERSSD},
                                                            {&t.linkLabel, ERSSLink}};
  int r = 0;
  for (const auto& [label, edit] : rows) {
    fields->addWidget(new QLabel(Q(*label), box), r, 0);
    fields->addWidget(edit, r++, 1);
  }
  LayOutColumn(box, ListBox2, Button9, Button8, fields, {Button10, Button11, Button4, Button5});
  return box;
}

void TForm3::Wire() {
  GroupOrganizer& m = *model_;
  // A click or a key moves the selection; the model opens the group or shows the feed.
  connect(LBopml, &QListWidget::currentRowChanged, this, [this, &m](int row) {
    if (!drawing_ && row >= 0) Command([&m, row] { m.SelectGroup(row); });
  });
  // A click on the entry a drag left selected opens that group.
  connect(LBopml, &QListWidget::itemClicked, this, [this, &m](QListWidgetItem* item) {
    const int row = LBopml->row(item);
    if (row >= 0 && row != m.OpenGroupIndex()) Command([&m, row] { m.SelectGroup(row); });
  });
  connect(ListBox2, &QListWidget::currentRowChanged, this, [this, &m](int row) {
    if (!drawing_ && row >= 0) Command([&m, row] { m.SelectFeed(row); });
  });
  const std::pair<QPushButton*, void (GroupOrganizer::*)()> commands[] = {
      {Button1, &GroupOrganizer::NewGroup},      {Button2, &GroupOrganizer::ImportGroup},
      {Button3, &GroupOrganizer::DeleteGroup},   {Button7, &GroupOrganizer::MoveGroupUp},
      {Button6, &GroupOrganizer::MoveGroupDown}, {Button9, &GroupOrganizer::MoveFeedUp},
      {Button8, &GroupOrganizer::MoveFeedDown},  {Button10, &GroupOrganizer::AddScrapbook},
      {Button11, &GroupOrganizer::AddSearchFeed}, {Button4, &GroupOrganizer::AddFeedByUrl},
      {Button5, &GroupOrganizer::DeleteFeed}};
  for (const auto& [button, method] : commands)
    connect(button, &QPushButton::clicked, this,
            [this, &m, method = method] { Command([&m, method] { (m.*method)(); }); });
}

QMimeData* TForm3::FeedDragData() const {
  auto* carried = new QMimeData;
  carried->setData(kFeedMime, dragToken_);
  return carried;
}

bool TForm3::DragAccepted(const QMimeData* carried, int row) {
  if (!carried || carried->data(kFeedMime) != dragToken_ || row < 0) return false;
  bool accepted = false;
  Command([&] { accepted = model_->DragOver(row); });
  return accepted;
}

void TForm3::Dropped(const QMimeData* carried, int row) {
  if (!carried || carried->data(kFeedMime) != dragToken_ || row < 0) return;
  Command([&] { model_->DropOnGroup(row); });
}

void TForm3::Command(const std::function<void()>& command) {
  shell_.Guard([&] {
    WriteFields();
    command();
  });
  Draw();
}

void TForm3::WriteFields() {
  for (Bound& b : bound_)
    if (b.edit->text() != b.shown) *b.value = ToSjis(b.edit->text());
  model_->group.goround = SEGPAround->value();
}

void TForm3::Draw() {
  drawing_ = true;
  SetEntries(LBopml, model_->GroupTitles());
  SetRow(LBopml, model_->SelectedGroup());
  SetEntries(ListBox2, model_->FeedTitles());
  SetRow(ListBox2, model_->SelectedFeed());
  for (Bound& b : bound_) {
    b.shown = FromSjis(*b.value);
    if (b.edit->text() != b.shown) {
      b.edit->setText(b.shown);
      b.edit->setCursorPosition(0);  // a text longer than its field shows its start
    }
  }
  SEGPAround->setValue(model_->group.goround);
  drawing_ = false;
}

void TForm3::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!opened_) QTimer::singleShot(0, this, [this] { reject(); });
}

void TForm3::done(int result) {
  shell_.Guard([this] { CloseModel(); });
  QDialog::done(result);
}

void TForm3::CloseModel() {
  if (closed_ || !opened_) return;
  closed_ = true;
  WriteFields();
  model_->Close();
}

void RunOrganizerWindow(TDataM& module, QtShell& shell) {
  // A window of its own, modal to none: the tray menu and the main window (settings,
  // home page) stay usable while it is open; the host refuses a second one and the
  // end while it is.
  TForm3 window(module.ScrapSerch(), module.SearchDoc(),
                [](const std::string& url) { OpenInBrowser(url); }, shell);
  ExecWindowModal(window);
}

}  // namespace norvane
