#include "core/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "core/program_files.h"

namespace norvane {

namespace {
std::mutex& FolderMutex() {
  static std::mutex m;
  return m;
}
std::string& Folder() {
  static std::string folder = ".";
  return folder;
}
}  // namespace

std::string ProgramFolder() {
  std::lock_guard lock(FolderMutex());
  return Folder();
}

void SetProgramFolder(std::string absolutePath) {
  std::lock_guard lock(FolderMutex());
  while (absolutePath.size() > 1 && absolutePath.back() == '/') absolutePath.pop_back();
  Folder() = std::move(absolutePath);
}

void MakeWrittenFolders() {
  for (std::string_view folder : files::kWrittenFolders) mkdir(std::string(folder).c_str(), 0755);
}

bool MakeFolderPath(const std::string& path, std::string& error) {
  size_t from = 0;
  while (from <= path.size()) {
    size_t slash = path.find('/', from);
    if (slash == std::string::npos) slash = path.size();
    const std::string at = path.substr(0, slash);
    from = slash + 1;
    struct stat st {};
    if (at.empty() || (stat(at.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) continue;
    if (mkdir(at.c_str(), 0700) != 0 && !(errno == EEXIST && stat(at.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
      error = at + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n <= 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  if (path.empty()) return ".";
  size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace norvane
