#pragma once
#include <functional>
#include <string>
#include <vector>

namespace norvane {

// The style box: its entries (Shift_JIS folder names) and the selected one (-1: none).
struct StyleList {
  std::vector<std::string> entries;
  int selected = -1;
};

// Fills the style box from the sub-folders of "xsls/", in name order. A XSL_STYLE that
// names no folder becomes "Default" (in memory only); the entry equal to it, without
// regard to letter case, is selected. Without any folder the box holds the single
// entry "ロードエラー" and nothing is selected.
StyleList FillStyleList();

// The controls of the settings tab as plain values; texts are Shift_JIS, number fields
// hold what the user typed (digits only).
struct SettingsTabValues {
  std::string port;         // NumberEdit1, at most 4 digits
  bool goRound = false;     // CheckBox3
  bool roundResult = false; // CheckBox4, enabled only while CheckBox3 is checked
  StyleList styles;         // ComboBox1
  bool minimize = false;    // CheckBox1
  bool open = false;        // CheckBox2
  bool useProxy = false;    // UseProxyChek
  std::string proxyServer;  // eProserver
  std::string proxyPort;    // nProPort
  int maxConnection = 0;    // SpinMacCon
  std::string readTimeout;  // NumberEdit2
  int logCount = 0;         // SpinEdit1

  // The style box's current text: the selected entry, or empty.
  std::string StyleText() const;
};

// The longest text a digits-only field takes, so that every value it can hold fits an
// int. The port field takes four digits.
inline constexpr int kPortDigits = 4;
inline constexpr int kNumberDigits = 9;

// The value of a digits-only field: its digits as a number, 0 when it is empty.
int FieldNumber(const std::string& digits);

// Settings into the controls; ends with FillStyleList.
SettingsTabValues SettingsToWindow();
// Controls into the settings; the style takes the box's current text.
void WindowToSettings(const SettingsTabValues& values);

// What the OK button did.
enum class OkResult {
  Saved,     // stored, confirmed, server restarted
  NotSaved,  // the INI file could not be written; the values apply until the end
  NoPort,    // the port field reads as no port: nothing changed
  Ending,    // the program began to end while the message was shown: no restart
};

// The OK button. Under GateLock: the controls become the settings, they are saved, and
// confirm shows its message (UTF-8) and returns when the user closed it, so requests
// that need the lock wait for the user. The lock is released before restart: the
// restart waits for the requests in flight, and those may be waiting for the lock.
// ending tells whether the program began to end meanwhile (no restart then).
OkResult PressOk(const SettingsTabValues& values,
                 const std::function<void(const std::string& message)>& confirm,
                 const std::function<void()>& restart,
                 const std::function<bool()>& ending = {});

}  // namespace norvane
