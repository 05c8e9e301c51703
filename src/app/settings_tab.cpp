#include "app/settings_tab.h"

#include <dirent.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "app/desktop_texts.h"
#include "core/disk_path.h"
#include "core/gate_lock.h"
#include "core/program_files.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/style_choice.h"
#include "core/texts.h"

namespace norvane {

namespace {

// The sub-folders of "xsls/" as Shift_JIS names, sorted; a name without a faithful
// Shift_JIS form is left out, since the program could not name it back.
std::vector<std::string> StyleFolders() {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(std::string(files::kXsls).c_str()), closedir);
  if (!dir) return names;
  while (dirent* e = readdir(dir.get())) {
    std::string utf8 = e->d_name;
    if (utf8 == "." || utf8 == "..") continue;
    if (!DirectoryExists(files::StyleFolder(utf8))) continue;
    std::string sjis = Utf8ToSjis(utf8);
    if (SjisToUtf8(sjis) != utf8) continue;
    names.push_back(std::move(sjis));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string FieldText(int value) { return value <= 0 ? std::string("0") : std::to_string(value); }

}  // namespace

StyleList FillStyleList() {
  StyleList list;
  if (!StyleFolderExists(GetSettings().XSL_STYLE))
    UpdateSettings([](Settings& s) { s.XSL_STYLE = "Default"; });
  list.entries = StyleFolders();
  if (list.entries.empty()) {
    list.entries.push_back(T().loadError);
    return list;
  }
  const std::string wanted = SjisAsciiLower(GetSettings().XSL_STYLE);
  for (size_t i = 0; i < list.entries.size(); ++i)
    if (SjisAsciiLower(list.entries[i]) == wanted) {
      list.selected = static_cast<int>(i);
      break;
    }
  return list;
}

std::string SettingsTabValues::StyleText() const {
  if (styles.selected < 0 || styles.selected >= static_cast<int>(styles.entries.size())) return "";
  return styles.entries[styles.selected];
}

int FieldNumber(const std::string& digits) {
  long long v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    v = v * 10 + (c - '0');
    if (v > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(v);
}

SettingsTabValues SettingsToWindow() {
  const Settings s = GetSettings();
  SettingsTabValues v;
  v.port = FieldText(s.PORT);
  v.goRound = s.GOROUND;
  v.roundResult = s.ROUNDRESULT;
  v.minimize = s.MINIMIZE;
  v.open = s.OPEN;
  v.useProxy = s.USEPROXY;
  v.proxyServer = s.PROXYSERVER;
  v.proxyPort = FieldText(s.PROXYPORT);
  v.maxConnection = s.MAXCONNECTION;
  v.readTimeout = FieldText(s.READTIMEOUT);
  v.logCount = s.LOG_CNT;
  v.styles = FillStyleList();
  return v;
}

void WindowToSettings(const SettingsTabValues& v) {
  UpdateSettings([&](Settings& s) {
    s.PORT = FieldNumber(v.port);
    s.GOROUND = v.goRound;
    s.ROUNDRESULT = v.roundResult;
    s.MINIMIZE = v.minimize;
    s.OPEN = v.open;
    s.USEPROXY = v.useProxy;
    s.PROXYSERVER = v.proxyServer;
    s.PROXYPORT = FieldNumber(v.proxyPort);
    s.MAXCONNECTION = v.maxConnection;
    s.READTIMEOUT = FieldNumber(v.readTimeout);
    s.LOG_CNT = v.logCount;
    s.XSL_STYLE = v.StyleText();
  });
}

OkResult PressOk(const SettingsTabValues& values,
                 const std::function<void(const std::string& message)>& confirm,
                 const std::function<void()>& restart, const std::function<bool()>& ending) {
  // Port 0 would listen on whatever port the system picks, and be stored for every
  // later start.
  const int port = FieldNumber(values.port);
  if (port <= 0 || values.port.size() > static_cast<size_t>(kPortDigits)) {
    confirm(DT().portNeeded);
    return OkResult::NoPort;
  }
  bool saved = false;
  {
    GateGuard lock(GateLock());
    WindowToSettings(values);
    saved = SaveSettings();
    confirm(saved ? DT().settingsSaved : DT().settingsNotSaved + IniPath());
  }
  if (ending && ending()) return OkResult::Ending;
  restart();
  return saved ? OkResult::Saved : OkResult::NotSaved;
}

}  // namespace norvane
