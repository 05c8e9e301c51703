#include "core/disk_path.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "core/sjis.h"

namespace norvane {

std::string DiskPath(std::string_view sjisPath) {
  // Convert first: a Shift_JIS trail byte may be 0x5C, which is no separator.
  std::string utf8 = SjisToUtf8(sjisPath);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

bool StaysInside(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return false;
  std::string p = DiskPath(path);
  if (!p.empty() && p[0] == '/') return false;
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find('/', start);
    if (end == std::string::npos) end = p.size();
    if (p.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

std::string ResolveInside(const std::string& folderDisk, const std::string& fileDisk) {
  char folder[PATH_MAX], file[PATH_MAX];
  if (!realpath(folderDisk.c_str(), folder) || !realpath(fileDisk.c_str(), file)) return {};
  std::string base = folder;
  if (base.back() != '/') base.push_back('/');
  std::string resolved = file;
  return resolved.size() > base.size() && resolved.compare(0, base.size(), base) == 0 ? resolved
                                                                                      : std::string();
}

bool FileExists(const std::string& diskPath) {
  struct stat st;
  return stat(diskPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& diskPath) {
  struct stat st;
  return stat(diskPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace norvane
