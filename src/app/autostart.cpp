#include "app/autostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/atomic_file.h"
#include "core/program_folder.h"
#include "core/utf8.h"

namespace norvane {

namespace {

std::string ConfigFolder(const EnvReader& env) {
  const char* config = env("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return config;
  const char* home = env("HOME");
  if (home && *home) return std::string(home) + "/.config";
  return {};
}

}  // namespace

std::string AutostartPath(const EnvReader& env) {
  const std::string config = ConfigFolder(env);
  return config.empty() ? std::string() : config + "/autostart/norvane.desktop";
}

std::optional<std::string> ExecArgument(std::string_view argument) {
  if (argument.empty() || !IsWellFormedUtf8(argument)) return std::nullopt;
  bool quote = false;
  for (char c : argument) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
    if (std::strchr(" \t\"'\\><~|&;$*?#()`", c)) quote = true;
  }
  // Inside the quotes ", `, $ and \ take a backslash; then the key file's own escape
  // doubles every backslash, and a literal % is written %% (it starts field codes).
  std::string exec;
  for (char c : argument) {
    if (quote && std::strchr("\"`$\\", c)) exec += "\\\\";
    if (c == '\\') exec += "\\\\";
    else if (c == '%') exec += "%%";
    else exec += c;
  }
  return quote ? "\"" + exec + "\"" : exec;
}

std::optional<std::string> AutostartEntry(const std::string& program, const std::string& home) {
  std::optional<std::string> exec = ExecArgument(program);
  if (!exec) return std::nullopt;
  if (!home.empty()) {
    std::optional<std::string> folder = ExecArgument(home);
    if (!folder) return std::nullopt;
    *exec += " --home " + *folder;
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Norvane\n"
         "Comment=Personal feed gateway at http://localhost:4565/\n"
         "Exec=" + *exec + "\n"
         "Icon=norvane\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool SetAutostart(bool on, const std::string& program, const std::string& home, const EnvReader& env,
                  std::string& message) {
  const std::string path = AutostartPath(env);
  if (path.empty()) {
    message = "no home folder is known (HOME is unset)";
    return false;
  }
  if (!on) {
    if (unlink(path.c_str()) == 0) {
      message = "autostart off: removed " + path;
      return true;
    }
    if (errno == ENOENT) {
      message = "autostart off: " + path + " was not there";
      return true;
    }
    message = path + ": " + std::strerror(errno);
    return false;
  }
  const std::optional<std::string> entry = AutostartEntry(program, home);
  if (!entry) {
    message = "the program's path cannot be written in a desktop entry: " + program;
    return false;
  }
  std::string error;
  if (!MakeFolderPath(path.substr(0, path.rfind('/')), error)) {
    message = error;
    return false;
  }
  if (!WriteFileAtomic(path, *entry)) {
    message = path + ": " + std::strerror(errno);
    return false;
  }
  message = "autostart on: wrote " + path;
  return true;
}

}  // namespace norvane
