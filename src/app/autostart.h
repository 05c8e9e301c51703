#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "app/run_mode.h"

namespace norvane {

// The freedesktop autostart entry that starts Norvane with the user's desktop session:
// $XDG_CONFIG_HOME/autostart/norvane.desktop, where XDG_CONFIG_HOME unset, empty or
// relative means ~/.config. Empty when no home folder is known.
std::string AutostartPath(const EnvReader& env);

// One argument of a desktop entry's Exec key, as the file holds it: quoted when it holds
// a reserved character, '%' doubled, backslashes escaped for the key file. Nothing when
// the argument cannot be written there (not UTF-8, or a control character).
std::optional<std::string> ExecArgument(std::string_view argument);

// The entry's text: it starts program (an absolute path), with --home home when home is
// not empty. Nothing when either cannot be written in an Exec key.
std::optional<std::string> AutostartEntry(const std::string& program, const std::string& home);

// `--autostart on|off`: writes the entry (making the folders above it) or removes it.
// message is the line to print either way; false when it failed.
bool SetAutostart(bool on, const std::string& program, const std::string& home, const EnvReader& env,
                  std::string& message);

}  // namespace norvane
