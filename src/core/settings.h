#pragma once
#include <functional>
#include <string>

namespace norvane {

// The program's settings, named after their INI keys, with their defaults.
struct Settings {
  int PORT = 4565;
  bool MINIMIZE = false;
  int MAXCONNECTION = 8;
  bool USEPROXY = false;
  std::string PROXYSERVER;
  int PROXYPORT = 0;
  bool OPEN = false;
  bool GOROUND = false;
  bool ROUNDRESULT = false;
  std::string XSL_STYLE = "Default";
  int LOG_CNT = 150;
  int READTIMEOUT = 45000;
  std::string LASTOPML;

  // Never stored.
  std::string WebUserName;
  std::string WebPassWord;
  std::string LocalAddress;
};

// A consistent copy of the current settings. Every thread reads through this; the copy
// is taken under a lock, so a reader never sees a half-written string.
Settings GetSettings();

// Changes the settings in place under the lock.
void UpdateSettings(const std::function<void(Settings&)>& change);

// Restores every setting to its default (tests, and the start of LoadSettings).
void ResetSettings();

// The INI file: <program folder>/norvane.ini.
std::string IniPath();

// Reads every stored setting with its default. The memory-only values keep what they
// hold.
void LoadSettings();
// Writes every stored setting except LASTOPML. False when the file could not be written.
bool SaveSettings();
// Writes LASTOPML, only when it is non-empty.
bool SaveLastGroup();

// Reads PORT alone from the INI file (the second copy needs nothing else).
int ReadPortSetting();

}  // namespace norvane
