#include "core/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
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

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace norvane
