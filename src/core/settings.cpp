#include "core/settings.h"

#include <cstdio>
#include <mutex>
#include <type_traits>
#include <variant>

#include "core/ini_file.h"
#include "core/program_files.h"
#include "core/program_folder.h"

namespace norvane {

namespace {
constexpr const char* kSection = "Norvane";

// Every stored setting once, in the order the file lists them: its key and its field.
// The defaults are those of Settings itself.
struct StoredKey {
  const char* name;
  std::variant<int Settings::*, bool Settings::*, std::string Settings::*> field;
  bool savedWithTheOthers = true;  // LASTOPML is written at the end alone (SaveLastGroup)
};

const StoredKey kStoredKeys[] = {
    {"PORT", &Settings::PORT},
    {"MINIMIZE", &Settings::MINIMIZE},
    {"MAXCONNECTION", &Settings::MAXCONNECTION},
    {"USEPROXY", &Settings::USEPROXY},
    {"PROXYSERVER", &Settings::PROXYSERVER},
    {"PROXYPORT", &Settings::PROXYPORT},
    {"OPEN", &Settings::OPEN},
    {"GOROUND", &Settings::GOROUND},
    {"ROUNDRESULT", &Settings::ROUNDRESULT},
    {"XSL_STYLE", &Settings::XSL_STYLE},
    {"LOG_CNT", &Settings::LOG_CNT},
    {"READTIMEOUT", &Settings::READTIMEOUT},
    {"LASTOPML", &Settings::LASTOPML, false},
};

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

std::string IniPath() { return ProgramFolder() + "/" + std::string(files::kIni); }

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
    for (const StoredKey& key : kStoredKeys) {
      std::visit(
          [&](auto field) {
            using T = std::remove_reference_t<decltype(s.*field)>;
            if constexpr (std::is_same_v<T, int>)
              s.*field = ini.ReadInteger(kSection, key.name, d.*field);
            else if constexpr (std::is_same_v<T, bool>)
              s.*field = ini.ReadBool(kSection, key.name, d.*field);
            else
              s.*field = ini.ReadString(kSection, key.name, d.*field);
          },
          key.field);
    }
  });
}

bool SaveSettings() {
  IniFile ini(IniPath());
  ini.Load();
  Settings s = GetSettings();
  for (const StoredKey& key : kStoredKeys) {
    if (!key.savedWithTheOthers) continue;
    std::visit(
        [&](auto field) {
          using T = std::remove_reference_t<decltype(s.*field)>;
          if constexpr (std::is_same_v<T, int>)
            ini.WriteInteger(kSection, key.name, s.*field);
          else if constexpr (std::is_same_v<T, bool>)
            ini.WriteBool(kSection, key.name, s.*field);
          else
            ini.WriteString(kSection, key.name, s.*field);
        },
        key.field);
  }
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
