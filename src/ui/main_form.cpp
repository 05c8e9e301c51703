#include "ui/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

#include "app/desktop_texts.h"
#include "app/log_tab.h"
#include "app/main_form_host.h"
#include "app/start.h"
#include "app/web_tab.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "ui/qt_shell.h"
#include "ui/qt_text.h"
#include "ui/tray_images.h"
#include "ui/window_modal.h"

namespace norvane {

namespace {

constexpr int kMainWidth = 442;
constexpr int kMainHeight = 266;

// Fields and boxes a little lower than Qt's default, so every tab fits its 266 pixels.
constexpr int kFieldHeight = 22;

QLineEdit* SettingField(const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setFixedHeight(kFieldHeight);
  return e;
}

QLineEdit* DigitsField(const char* name, int maxDigits, QWidget* parent) {
  auto* e = SettingField(name, parent);
  e->setMaxLength(maxDigits);
  e->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QString("[0-9]{0,%1}").arg(maxDigits)), e));
  return e;
}

QSpinBox* NumberBox(const char* name, int step, QWidget* parent) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(name);
  s->setFixedHeight(kFieldHeight);
  s->setRange(INT_MIN, INT_MAX);  // the settings take any number
  s->setSingleStep(step);
  return s;
}

QCheckBox* Check(const char* name, const std::string& caption, QWidget* parent) {
  auto* c = new QCheckBox(Q(caption), parent);
  c->setObjectName(name);
  return c;
}

}  // namespace

TForm1::TForm1(MainFormHost& host, QtShell& shell) : host_(host), shell_(shell) {
  setObjectName("Form1");
  setWindowTitle(Q(DT().caption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  for (int i = 0; i < kTrayImageCount; ++i) images_[i] = TrayImage(i);
  setWindowIcon(images_[kIdleTrayImage]);

  BuildActions();
  BuildMenus();

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setDocumentMode(true);
  // Tabs drawn as flat buttons.
  PageControl1->tabBar()->setDrawBase(false);
  PageControl1->setStyleSheet(
      "QTabBar::tab { border: 1px solid transparent; border-radius: 3px; padding: 3px 10px;"
      " margin: 3px 1px 1px 3px; }"
      "QTabBar::tab:selected { border-color: palette(mid); background: palette(button); }"
      "QTabBar::tab:hover:!selected { border-color: palette(midlight); }");
  TabSheet2 = BuildSettingsTab();
  TabSheet1 = BuildWebTab();
  TabSheet4 = BuildLogTab();
  TabSheet3 = BuildVersionTab();
  PageControl1->addTab(TabSheet2, Q(DT().tabSettings));
  PageControl1->addTab(TabSheet1, Q(DT().tabWeb));
  PageControl1->addTab(TabSheet4, Q(DT().tabLog));
  PageControl1->addTab(TabSheet3, Q(DT().tabVersion));
  PageControl1->setCurrentIndex(kVersionTab);
  PageControl1->setFixedSize(kMainWidth, kMainHeight);
  setCentralWidget(PageControl1);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  layout()->activate();
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
    if (isVisible()) Guarded([this, index] { TabShown(index); });
  });

  tray_ = new QSystemTrayIcon(this);
  tray_->setToolTip(Q(DT().caption));
  tray_->setIcon(images_[kIdleTrayImage]);
  tray_->setContextMenu(trayMenu_);
  // A right click opens the menu; other clicks do nothing.

  WriteSettingsTab(SettingsToWindow());
}

TForm1::~TForm1() = default;

void TForm1::BuildActions() {
  auto make = [this](QAction*& a, const char* name, const std::string& caption,
                     std::function<void()> fn) {
    a = new QAction(Q(caption), this);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, fn = std::move(fn)] { Guarded(fn); });
  };
  make(actOpenHome, "actOpenHome", DT().cmdOpenHomePage,
       [this] { host_.OpenUrl(HomeURL(GetSettings().PORT)); });
  make(actSettings, "actSettings", DT().cmdSettings, [this] { ShowTab(kSettingsTab); });
  make(actLog, "actLog", DT().cmdLog, [this] { ShowTab(kLogTab); });
  make(actOrganizer, "actOrganizer", DT().cmdOrganizer, [this] { OrganizerCommand(); });
  make(actVersion, "actVersion", DT().cmdVersion, [this] { ShowTab(kVersionTab); });
  make(actExit, "actExit", DT().cmdExit, [this] { ExitCommand(); });
  // Until the group organizer is part of the build, its command stays greyed.
  actOrganizer->setEnabled(host_.HasOrganizer());
}

void TForm1::BuildMenus() {
  QMenu* file = menuBar()->addMenu(Q(DT().menuFile));
  file->setObjectName("menuFile");
  file->addAction(actOpenHome);
  file->addSeparator();
  file->addAction(actSettings);
  file->addAction(actLog);
  file->addSeparator();
  file->addAction(actExit);
  QMenu* tools = menuBar()->addMenu(Q(DT().menuTools));
  tools->setObjectName("menuTools");
  tools->addAction(actOrganizer);
  QMenu* help = menuBar()->addMenu(Q(DT().menuHelp));
  help->setObjectName("menuHelp");
  help->addAction(actVersion);

  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName("trayMenu");
  trayMenu_->addAction(actOpenHome);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actSettings);
  trayMenu_->addAction(actLog);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actOrganizer);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actVersion);
  trayMenu_->addSeparator();
  trayMenu_->addAction(actExit);
}

QWidget* TForm1::BuildSettingsTab() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");
  const DesktopTexts& t = DT();

  NumberEdit1 = DigitsField("NumberEdit1", kPortDigits, page);
  NumberEdit1->setFixedWidth(56);
  CheckBox3 = Check("CheckBox3", t.goRound, page);
  CheckBox4 = Check("CheckBox4", t.roundResult, page);
  CheckBox4->setEnabled(false);
  connect(CheckBox3, &QCheckBox::toggled, CheckBox4, &QWidget::setEnabled);
  ComboBox1 = new QComboBox(page);  // not editable: a drop-down list only
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setFixedWidth(104);

  auto* restartGroup = new QGroupBox(Q(t.afterRestartGroup), page);
  CheckBox1 = Check("CheckBox1", t.minimize, restartGroup);
  CheckBox2 = Check("CheckBox2", t.openAtStart, restartGroup);
  auto* rg = new QVBoxLayout(restartGroup);
  rg->setContentsMargins(8, 4, 8, 4);
  rg->setSpacing(2);
  rg->addWidget(CheckBox1);
  rg->addWidget(CheckBox2);

  auto* connGroup = new QGroupBox(Q(t.connectionGroup), page);
  UseProxyChek = Check("UseProxyChek", t.useProxy, connGroup);
  eProserver = SettingField("eProserver", connGroup);
  nProPort = DigitsField("nProPort", kNumberDigits, connGroup);
  nProPort->setFixedWidth(56);
  SpinMacCon = NumberBox("SpinMacCon", 1, connGroup);
  SpinMacCon->setFixedWidth(64);
  NumberEdit2 = DigitsField("NumberEdit2", kNumberDigits, connGroup);
  NumberEdit2->setFixedWidth(64);
  auto* cg = new QGridLayout(connGroup);
  cg->setContentsMargins(6, 2, 6, 4);
  cg->setVerticalSpacing(2);
  cg->addWidget(UseProxyChek, 0, 0, 1, 2);
  cg->addWidget(new QLabel(Q(t.proxyServerLabel), connGroup), 1, 0);
  cg->addWidget(eProserver, 1, 1);
  cg->addWidget(new QLabel(Q(t.proxyPortLabel), connGroup), 2, 0);
  cg->addWidget(nProPort, 2, 1, Qt::AlignLeft);
  cg->addWidget(new QLabel(Q(t.maxConnectionLabel), connGroup), 3, 0);
  cg->addWidget(SpinMacCon, 3, 1, Qt::AlignLeft);
  cg->addWidget(new QLabel(Q(t.readTimeoutLabel), connGroup), 4, 0);
  cg->addWidget(NumberEdit2, 4, 1, Qt::AlignLeft);
  cg->setColumnStretch(1, 1);

  SpinEdit1 = NumberBox("SpinEdit1", 10, page);
  SpinEdit1->setFixedWidth(64);
  Button1 = new QPushButton(Q(t.ok), page);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton(Q(t.cancel), page);
  Button2->setObjectName("Button2");
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { OkClicked(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { CancelClicked(); }); });
  // Enter presses OK and Escape cancel, wherever the focus is on this tab.
  for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), page);
    enter->setContext(Qt::WidgetWithChildrenShortcut);
    connect(enter, &QShortcut::activated, Button1, &QPushButton::click);
  }
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), page);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, Button2, &QPushButton::click);

  auto* left = new QGridLayout;
  left->setVerticalSpacing(4);
  left->addWidget(new QLabel(Q(t.portLabel), page), 0, 0);
  left->addWidget(NumberEdit1, 0, 1, Qt::AlignLeft);
  left->addWidget(CheckBox3, 1, 0, 1, 2);
  auto* indent = new QHBoxLayout;
  indent->setContentsMargins(18, 0, 0, 0);
  indent->addWidget(CheckBox4);
  left->addLayout(indent, 2, 0, 1, 2);
  left->addWidget(new QLabel(Q(t.styleLabel), page), 3, 0);
  left->addWidget(ComboBox1, 3, 1);
  left->addWidget(restartGroup, 4, 0, 1, 2);
  left->setRowStretch(5, 1);

  auto* logRow = new QHBoxLayout;
  logRow->addWidget(new QLabel(Q(t.logCountLabel), page));
  logRow->addWidget(SpinEdit1);
  logRow->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  right->addWidget(connGroup);
  right->addLayout(logRow);
  right->addStretch(1);
  right->addLayout(buttons);

  auto* all = new QHBoxLayout(page);
  all->setContentsMargins(8, 4, 8, 4);
  all->setSpacing(8);
  all->addLayout(left, 0);
  all->addLayout(right, 1);

  // The order of the tab key: the table of the settings tab.
  QWidget* order[] = {NumberEdit1, CheckBox3,  CheckBox4,  ComboBox1,   CheckBox1,
                      CheckBox2,   UseProxyChek, eProserver, nProPort,  SpinMacCon,
                      NumberEdit2, SpinEdit1,  Button1,    Button2};
  for (size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
  return page;
}

QWidget* TForm1::BuildWebTab() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");
  const DesktopTexts& t = DT();
  Label11 = new QLabel(page);
  Label11->setObjectName("Label11");
  QFont bold = Label11->font();
  bold.setBold(true);
  Label11->setFont(bold);
  Label13 = new QLabel(page);
  Label13->setObjectName("Label13");
  Label13->setFont(bold);
  Label13->setStyleSheet("color: red;");
  edUSER = SettingField("edUSER", page);
  edPASS = SettingField("edPASS", page);
  edPASS->setEchoMode(QLineEdit::Password);
  edUSER->setEnabled(false);
  edPASS->setEnabled(false);
  for (QLineEdit* e : {edUSER, edPASS})
    connect(e, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { RefreshCredentials(); }); });
  auto* notes = new QGroupBox(Q(t.notesGroup), page);
  Label12 = new QLabel(notes);
  Label12->setObjectName("Label12");
  // The texts are set again each time the tab is shown; set here too, so the tab is
  // laid out for them from the start.
  Label12->setText(Q(t.webNotes).replace("\r\n", "\n"));
  Label13->setText(Q(t.credentialsMissing).replace("\r\n", "\n"));
  auto* ng = new QVBoxLayout(notes);
  ng->setContentsMargins(8, 2, 8, 4);
  ng->addWidget(Label12);

  auto* fields = new QGridLayout;
  fields->setVerticalSpacing(2);
  fields->addWidget(new QLabel(Q(t.userLabel), page), 0, 0);
  fields->addWidget(edUSER, 0, 1);
  fields->addWidget(new QLabel(Q(t.passLabel), page), 1, 0);
  fields->addWidget(edPASS, 1, 1);
  fields->addWidget(Label13, 0, 2, 2, 1, Qt::AlignLeft | Qt::AlignVCenter);
  fields->setColumnMinimumWidth(1, 140);
  fields->setColumnStretch(2, 1);
  fields->setHorizontalSpacing(8);
  auto* all = new QVBoxLayout(page);
  all->setContentsMargins(8, 4, 8, 4);
  all->setSpacing(2);
  all->addWidget(Label11);
  all->addLayout(fields);
  all->addWidget(notes);
  all->addStretch(1);
  return page;
}

QWidget* TForm1::BuildLogTab() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet4");
  LogMemo = new QPlainTextEdit(page);
  LogMemo->setObjectName("LogMemo");
  LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  LogMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* all = new QVBoxLayout(page);
  all->setContentsMargins(2, 2, 2, 2);
  all->addWidget(LogMemo);
  return page;
}

QWidget* TForm1::BuildVersionTab() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet3");
  VersionIcon = new QLabel(page);
  VersionIcon->setObjectName("VersionIcon");
  VersionIcon->setPixmap(DrawTrayImage(kIdleTrayImage, 48));
  VersionLabel = new QLabel(Q(DT().versionLine), page);
  VersionLabel->setObjectName("VersionLabel");
  QFont big = VersionLabel->font();
  big.setPixelSize(20);
  big.setBold(true);
  VersionLabel->setFont(big);
  const QString url = Q(DT().homePageUrl);
  LinkLabel = new QLabel(page);
  LinkLabel->setObjectName("LinkLabel");
  LinkLabel->setTextFormat(Qt::RichText);
  LinkLabel->setText(QString("<a href=\"%1\" style=\"color:#0000ff; text-decoration:underline;\">%1</a>")
                         .arg(url.toHtmlEscaped()));
  LinkLabel->setCursor(Qt::PointingHandCursor);
  LinkLabel->setOpenExternalLinks(false);
  connect(LinkLabel, &QLabel::linkActivated, this, [this](const QString& link) {
    Guarded([this, link] { host_.OpenUrl(link.toStdString()); });
  });

  auto* text = new QVBoxLayout;
  text->setSpacing(10);
  text->addWidget(VersionLabel);
  text->addWidget(LinkLabel);
  auto* row = new QHBoxLayout;
  row->setSpacing(20);
  row->addStretch(1);
  row->addWidget(VersionIcon, 0, Qt::AlignTop);
  row->addLayout(text);
  row->addStretch(1);
  auto* all = new QVBoxLayout(page);
  all->addStretch(1);
  all->addLayout(row);
  all->addStretch(2);
  return page;
}

void TForm1::Guarded(const std::function<void()>& fn) { shell_.Guard(fn); }

bool TForm1::ShowTrayIcon() {
  shell_.SetTraySink([this](int index) { SetTrayImage(index); });
  trayAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
  if (trayAvailable_) tray_->show();
  return trayAvailable_;
}

void TForm1::SetTrayImage(int index) {
  if (index < 0 || index >= kTrayImageCount) return;
  trayImage_ = index;
  tray_->setIcon(images_[index]);
}

void TForm1::ShowTab(Tab tab) {
  PageControl1->setCurrentIndex(tab);
  if (isMinimized())
    showNormal();
  else
    show();
  raise();
  activateWindow();
}

void TForm1::HideWindow() {
  if (trayAvailable_)
    hide();
  else
    showMinimized();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  Guarded([this] { TabShown(PageControl1->currentIndex()); });
}

void TForm1::TabShown(int index) {
  if (index == kWebTab) RefreshWebTab();
  if (index == kLogTab) RefreshLogTab();
}

void TForm1::RefreshWebTab() {
  const WebTabView v = ShowWebTab();
  Label11->setText(Q(v.label11));
  Label11->setStyleSheet(v.label11Red ? "color: red;" : "");
  edUSER->setEnabled(v.fieldsEnabled);
  edPASS->setEnabled(v.fieldsEnabled);
  Label13->setText(Q(v.label13).replace("\r\n", "\n"));
  Label12->setText(Q(v.label12).replace("\r\n", "\n"));
  RefreshCredentials();
}

void TForm1::RefreshCredentials() {
  const bool missing = CheckCredentials(edUSER->text().toStdString(), edPASS->text().toStdString());
  Label13->setVisible(missing);
}

void TForm1::RefreshLogTab() {
  LogMemo->setPlainText(Q(AccessLogText(host_.AccessLogLines())));
}

SettingsTabValues TForm1::ReadSettingsTab() const {
  SettingsTabValues v;
  v.port = NumberEdit1->text().toStdString();
  v.goRound = CheckBox3->isChecked();
  v.roundResult = CheckBox4->isChecked();
  v.styles = styles_;
  v.styles.selected = ComboBox1->currentIndex();
  v.minimize = CheckBox1->isChecked();
  v.open = CheckBox2->isChecked();
  v.useProxy = UseProxyChek->isChecked();
  v.proxyServer = ToSjis(eProserver->text());
  v.proxyPort = nProPort->text().toStdString();
  v.maxConnection = SpinMacCon->value();
  v.readTimeout = NumberEdit2->text().toStdString();
  v.logCount = SpinEdit1->value();
  return v;
}

void TForm1::WriteSettingsTab(const SettingsTabValues& v) {
  NumberEdit1->setText(Q(v.port));
  CheckBox3->setChecked(v.goRound);
  CheckBox4->setChecked(v.roundResult);
  CheckBox4->setEnabled(v.goRound);
  styles_ = v.styles;
  ComboBox1->clear();
  for (const std::string& s : v.styles.entries) ComboBox1->addItem(FromSjis(s));
  ComboBox1->setCurrentIndex(v.styles.selected);
  CheckBox1->setChecked(v.minimize);
  CheckBox2->setChecked(v.open);
  UseProxyChek->setChecked(v.useProxy);
  eProserver->setText(FromSjis(v.proxyServer));
  nProPort->setText(Q(v.proxyPort));
  SpinMacCon->setValue(v.maxConnection);
  NumberEdit2->setText(Q(v.readTimeout));
  SpinEdit1->setValue(v.logCount);
}

void TForm1::OkClicked() {
  PressOk(
      ReadSettingsTab(),
      [this](const std::string& message) {
        QMessageBox box(QMessageBox::Information, Q(DT().caption), Q(message), QMessageBox::Ok, this);
        ExecWindowModal(box);
      },
      [this] { host_.RestartServer(); }, [this] { return host_.Ending(); });
  // A port away from 80 ends Web mode: the credentials stop counting at once.
  RefreshWebTab();
}

void TForm1::CancelClicked() {
  WriteSettingsTab(SettingsToWindow());
  HideWindow();
}

void TForm1::ExitCommand() {
  if (host_.IsIdle()) host_.EndProgram();
}

void TForm1::OrganizerCommand() {
  if (!host_.HasOrganizer() || !host_.IsIdle()) return;
  host_.OpenOrganizer();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (ending_) {
    event->accept();
    return;
  }
  event->ignore();
  Guarded([this] {
    if (host_.IsIdle()) HideWindow();
  });
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Minimised, the window goes to the tray; without a tray it stays in the taskbar.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && trayAvailable_ && !ending_)
    QTimer::singleShot(0, this, [this] {
      if (isMinimized()) hide();
    });
}

}  // namespace norvane
