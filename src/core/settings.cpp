#include "core/settings.h"

#include <cstdio>
#include <mutex>

#include "core/ini_file.h"
#include "core/program_folder.h"

namespace norvane {

namespace {
constexpr const char* kSection = "Norvane";

std::mutex& SettingsMutex() {
  static std::mutex m;
  return m;
}

Settings& Current() {
  static Settings s;
  return s;
}
}  // namespace

Settings GetSettings() {
  std::lock_guard lock(SettingsMutex());
  return Current();
}

void UpdateSettings(const std::function<void(Settings&)>& change) {
  std::lock_guard lock(SettingsMutex());
  change(Current());
}

void ResetSettings() {
  std::lock_guard lock(SettingsMutex());
  Current() = Settings{};
}

std::string IniPath() { return ProgramFolder() + "/norvane.ini"; }

void LoadSettings() {
  IniFile ini(IniPath());
  ini.Load();
  // A file that holds something but not our section would silently give every default,
  // the port included: say so.
  if (ini.HasContent() && !ini.HasSection(kSection))
    std::fprintf(stderr, "norvane: %s: no readable [%s] section; every setting takes its default\n",
                 IniPath().c_str(), kSection);
  const Settings d;
  UpdateSettings([&](Settings& s) {
    s.PORT = ini.ReadInteger(kSection, "PORT", d.PORT);
    s.MINIMIZE = ini.ReadBool(kSection, "MINIMIZE", d.MINIMIZE);
    s.MAXCONNECTION = ini.ReadInteger(kSection, "MAXCONNECTION", d.MAXCONNECTION);
    s.USEPROXY = ini.ReadBool(kSection, "USEPROXY", d.USEPROXY);
    s.PROXYSERVER = ini.ReadString(kSection, "PROXYSERVER", d.PROXYSERVER);
    s.PROXYPORT = ini.ReadInteger(kSection, "PROXYPORT", d.PROXYPORT);
    s.OPEN = ini.ReadBool(kSection, "OPEN", d.OPEN);
    s.GOROUND = ini.ReadBool(kSection, "GOROUND", d.GOROUND);
    s.ROUNDRESULT = ini.ReadBool(kSection, "ROUNDRESULT", d.ROUNDRESULT);
    s.XSL_STYLE = ini.ReadString(kSection, "XSL_STYLE", d.XSL_STYLE);
    s.LOG_CNT = ini.ReadInteger(kSection, "LOG_CNT", d.LOG_CNT);
    s.READTIMEOUT = ini.ReadInteger(kSection, "READTIMEOUT", d.READTIMEOUT);
    s.LASTOPML = ini.ReadString(kSection, "LASTOPML", d.LASTOPML);
  });
}

bool SaveSettings() {
  IniFile ini(IniPath());
  ini.Load();
  Settings s = GetSettings();
  ini.WriteInteger(kSection, "PORT", s.PORT);
  ini.WriteBool(kSection, "MINIMIZE", s.MINIMIZE);
  ini.WriteInteger(kSection, "MAXCONNECTION", s.MAXCONNECTION);
  ini.WriteBool(kSection, "USEPROXY", s.USEPROXY);
  ini.WriteString(kSection, "PROXYSERVER", s.PROXYSERVER);
  ini.WriteInteger(kSection, "PROXYPORT", s.PROXYPORT);
  ini.WriteBool(kSection, "OPEN", s.OPEN);
  ini.WriteBool(kSection, "GOROUND", s.GOROUND);
  ini.WriteBool(kSection, "ROUNDRESULT", s.ROUNDRESULT);
  ini.WriteString(kSection, "XSL_STYLE", s.XSL_STYLE);
  ini.WriteInteger(kSection, "LOG_CNT", s.LOG_CNT);
  ini.WriteInteger(kSection, "READTIMEOUT", s.READTIMEOUT);
  return ini.Save();
}

bool SaveLastGroup() {
  std::string last = GetSettings().LASTOPML;
  if (last.empty()) return true;
  IniFile ini(IniPath());
  ini.Load();
  ini.WriteString(kSection, "LASTOPML", last);
  return ini.Save();
}

int ReadPortSetting() {
  IniFile ini(IniPath());
  ini.Load();
  return ini.ReadInteger(kSection, "PORT", Settings{}.PORT);
}

}  // namespace norvane
