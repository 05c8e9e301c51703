#include "groups/group_file_name.h"

#include "core/disk_path.h"
#include "core/sjis.h"
#include "core/url_helpers.h"

namespace norvane {

namespace {

// True when the bytes are well-formed UTF-8 holding at least one non-ASCII character.
bool IsNonAsciiUtf8(const std::string& s) {
  bool nonAscii = false;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || (len == 2 && c < 0xC2) || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    if (len > 1) nonAscii = true;
    i += len;
  }
  return nonAscii;
}

bool GroupFileExists(const std::string& file) {
  return FileExists(DiskPath(GroupFilePath(file)));
}

}  // namespace

std::string GroupFilePath(const std::string& file) { return kOpmlFolder + file; }

static std::optional<std::string> FindGroupFile(const std::string& file) {
  if (!StaysInside(file)) return std::nullopt;
  if (file.empty() || GroupFileExists(file)) return file;
  std::string decoded = PercentDecode(file);
  if (IsNonAsciiUtf8(decoded)) decoded = Utf8ToSjis(decoded);
  if (decoded == file || !StaysInside(decoded)) return file;
  return GroupFileExists(decoded) ? decoded : file;
}

std::optional<std::string> ResolveGroupFile(const std::string& file) {
  std::optional<std::string> name = FindGroupFile(file);
  // A link in the group folder that leads out of it is no group file of ours.
  if (name && !name->empty() && GroupFileExists(*name) &&
      ResolveInside(DiskPath(kOpmlFolder), DiskPath(GroupFilePath(*name))).empty())
    return std::nullopt;
  return name;
}

}  // namespace norvane
