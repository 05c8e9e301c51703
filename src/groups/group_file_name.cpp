#include "groups/group_file_name.h"

#include "core/disk_path.h"
#include "core/program_files.h"
#include "core/sjis.h"
#include "core/url_helpers.h"
#include "core/utf8.h"

namespace norvane {

namespace {

bool GroupFileExists(const std::string& file) {
  return FileExists(DiskPath(GroupFilePath(file)));
}

}  // namespace

std::string GroupFilePath(const std::string& file) { return files::GroupPath(file); }

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
      ResolveInside(DiskPath(std::string(files::kOpmls)), DiskPath(GroupFilePath(*name))).empty())
    return std::nullopt;
  return name;
}

}  // namespace norvane
