#pragma once
#include <QIcon>
#include <QMainWindow>

#include <array>
#include <functional>

#include "app/settings_tab.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;

namespace norvane {

class MainFormHost;
class QtShell;

// The main window TForm1: the settings, WEB, log and version tabs, the menu bar and
// the tray icon with its menu. Created hidden; closing it only hides it. Its logic is
// in app/ (settings_tab, web_tab, log_tab); this is the layer that shows it.
class TForm1 : public QMainWindow {
 public:
  enum Tab { kSettingsTab = 0, kWebTab = 1, kLogTab = 2, kVersionTab = 3 };

  TForm1(MainFormHost& host, QtShell& shell);
  ~TForm1() override;

  // Shows the tray icon when the desktop has a notification area. Without one the
  // window stays reachable: it is shown, MINIMIZE is ignored, and closing minimises it.
  // Returns whether there is a tray.
  bool ShowTrayIcon();
  bool trayAvailable() const { return trayAvailable_; }
  // Selects a tab and shows the window.
  void ShowTab(Tab tab);
  // Hides the window (minimises it when there is no tray).
  void HideWindow();
  // The program is ending: a close request closes.
  void SetEnding() { ending_ = true; }

  QSystemTrayIcon* tray() const { return tray_; }
  QMenu* trayMenu() const { return trayMenu_; }
  // The image shown in the tray now.
  int trayImage() const { return trayImage_; }

  // The controls, by their fixed names (public for the window's tests).
  QTabWidget* PageControl1 = nullptr;
  QWidget *TabSheet2 = nullptr, *TabSheet1 = nullptr, *TabSheet4 = nullptr, *TabSheet3 = nullptr;
  QLineEdit* NumberEdit1 = nullptr;
  QCheckBox *CheckBox3 = nullptr, *CheckBox4 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *UseProxyChek = nullptr;
  QLineEdit *eProserver = nullptr, *nProPort = nullptr, *NumberEdit2 = nullptr;
  QSpinBox *SpinMacCon = nullptr, *SpinEdit1 = nullptr;
  QPushButton *Button1 = nullptr, *Button2 = nullptr;
  QLabel *Label11 = nullptr, *Label12 = nullptr, *Label13 = nullptr;
  QLineEdit *edUSER = nullptr, *edPASS = nullptr;
  QPlainTextEdit* LogMemo = nullptr;
  QLabel *VersionIcon = nullptr, *VersionLabel = nullptr, *LinkLabel = nullptr;
  QAction *actOpenHome = nullptr, *actSettings = nullptr, *actLog = nullptr,
          *actOrganizer = nullptr, *actVersion = nullptr, *actExit = nullptr;

  // The settings tab as plain values, and back.
  SettingsTabValues ReadSettingsTab() const;
  void WriteSettingsTab(const SettingsTabValues& values);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  QWidget* BuildSettingsTab();
  QWidget* BuildWebTab();
  QWidget* BuildLogTab();
  QWidget* BuildVersionTab();
  void TabShown(int index);
  void RefreshWebTab();
  void RefreshCredentials();
  void RefreshLogTab();
  void OkClicked();
  void CancelClicked();
  void ExitCommand();
  void OrganizerCommand();
  void SetTrayImage(int index);
  void Guarded(const std::function<void()>& fn);

  MainFormHost& host_;
  QtShell& shell_;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  std::array<QIcon, 5> images_;
  int trayImage_ = -1;
  bool trayAvailable_ = true;
  bool ending_ = false;
  StyleList styles_;  // the style box's entries in Shift_JIS
};

}  // namespace norvane
