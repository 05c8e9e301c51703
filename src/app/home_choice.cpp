#include "app/home_choice.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/program_files.h"
#include "core/program_folder.h"
#include "core/shipped_seed.h"

#ifndef NORVANE_SHARE_FROM_BIN
#define NORVANE_SHARE_FROM_BIN "../share/norvane"
#endif

namespace norvane {

namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string UserHome(const EnvReader& env) {
  const char* home = env("HOME");
  if (home && *home) return home;
  // A service manager may start us without HOME: the account's own entry names it.
  std::vector<char> buf(16384);
  passwd entry {};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return {};
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

}  // namespace

std::string ShippedFolder(const std::string& exeFolder) {
  return std::filesystem::path(exeFolder + "/" NORVANE_SHARE_FROM_BIN).lexically_normal().string();
}

HomeChoice ChooseHome(const std::string& given, const std::string& exeFolder, const EnvReader& env) {
  if (!given.empty()) return {HomeChoice::kGiven, given, {}};
  if (Exists(exeFolder + "/" + std::string(files::kIni)) ||
      IsFolder(exeFolder + "/" + std::string(files::kChannels)))
    return {HomeChoice::kPortable, exeFolder, {}};
  HomeChoice choice{HomeChoice::kUser, {}, ShippedFolder(exeFolder)};
  // The base folder must be absolute; anything else is ignored, as the XDG rules say.
  const char* data = env("XDG_DATA_HOME");
  if (data && data[0] == '/') {
    choice.folder = std::string(data) + "/norvane";
  } else {
    const std::string home = UserHome(env);
    if (!home.empty()) choice.folder = home + "/.local/share/norvane";
  }
  return choice;
}

std::string DescribeHome(const HomeChoice& choice) {
  switch (choice.kind) {
    case HomeChoice::kGiven:
      return "Program folder of this run: " + choice.folder + " (--home)";
    case HomeChoice::kPortable:
      return "Program folder of this run: " + choice.folder +
             "\n  (the executable's folder: it holds norvane.ini or channels/)";
    case HomeChoice::kUser:
      break;
  }
  if (choice.folder.empty())
    return "Program folder of this run: none (no home folder is known: give --home DIR)";
  return "Program folder of this run: " + choice.folder +
         "\n  (your data folder; the files the program ships, in " + choice.shipped +
         ",\n  are copied into it at each start without overwriting what you changed)";
}

bool PrepareHome(const HomeChoice& choice, std::string& error) {
  if (choice.kind != HomeChoice::kUser) return true;
  if (choice.folder.empty()) {
    error = "no home folder is known (HOME is unset): give --home DIR";
    return false;
  }
  if (!MakeFolderPath(choice.folder, error)) return false;
  const char* folder = choice.folder.c_str();
  if (!IsFolder(choice.shipped)) {
    std::fprintf(stderr, "norvane: the shipped files are missing (%s); %s holds only what it has\n",
                 choice.shipped.c_str(), folder);
    return true;
  }
  SeedResult seeded = SeedFromShipped(choice.shipped, choice.folder);
  if (seeded.first) {
    std::fprintf(stderr, "norvane: the program folder %s was given the shipped files of %s\n", folder,
                 choice.shipped.c_str());
  } else {
    if (!seeded.added.empty())
      std::fprintf(stderr, "norvane: %s: newly shipped files copied in: %s\n", folder,
                   JoinNames(seeded.added).c_str());
    if (!seeded.updated.empty())
      std::fprintf(stderr, "norvane: %s: shipped files you had not changed, updated: %s\n", folder,
                   JoinNames(seeded.updated).c_str());
  }
  for (const std::string& f : seeded.failed)
    std::fprintf(stderr, "norvane: %s: a shipped file was not copied: %s\n", folder, f.c_str());
  return true;
}

}  // namespace norvane
