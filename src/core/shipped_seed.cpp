#include "core/shipped_seed.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "core/atomic_file.h"
#include "core/fnv_hash.h"
#include "core/program_files.h"
#include "core/unique_fd.h"

namespace norvane {

namespace {

namespace fs = std::filesystem;

// No shipped file comes near this; a bigger one is not copied.
constexpr size_t kMaxShippedBytes = 64u * 1024 * 1024;
constexpr size_t kMaxListBytes = 4u * 1024 * 1024;

using HashList = std::map<std::string, std::string>;  // relative path -> hash

// One line per file: 16 hexadecimal digits, two spaces, the path. Lines of any other
// shape are dropped; the paths are only ever looked up, never opened.
HashList ReadHashList(const std::string& path) {
  HashList list;
  std::string text;
  if (!ReadWholeFile(path, text, kMaxListBytes)) return list;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + at, end - at);
    at = end + 1;
    if (line.size() < 19 || line.substr(16, 2) != "  ") continue;
    std::string_view hash = line.substr(0, 16);
    if (!std::all_of(hash.begin(), hash.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
      continue;
    list[std::string(line.substr(18))] = std::string(hash);
  }
  return list;
}

std::string WriteHashList(const HashList& list) {
  std::string text;
  for (const auto& [path, hash] : list) text += hash + "  " + path + "\n";
  return text;
}

// The relative paths of the plain files under root, in order; symbolic links are not
// followed, so nothing outside the shipped folder is read.
std::vector<std::string> ShippedFiles(const std::string& root, std::vector<std::string>& failed) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, ec), end;
  if (ec) {
    failed.push_back(root + ": " + ec.message());
    return found;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      failed.push_back(root + ": " + ec.message());
      break;
    }
    if (it->symlink_status(ec).type() == fs::file_type::regular)
      found.push_back(it->path().lexically_relative(root).generic_string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Makes the folders above a file of the program folder. A folder the user made a
// symbolic link to another is used as it is.
bool MakeParents(const fs::path& folder, const fs::path& relative, std::string& error) {
  fs::path at = folder;
  for (const fs::path& part : relative.parent_path()) {
    at /= part;
    std::error_code ec;
    if (fs::is_directory(at, ec)) continue;
    if (mkdir(at.c_str(), 0755) != 0 && errno != EEXIST) {
      error = std::strerror(errno);
      return false;
    }
    if (!fs::is_directory(at, ec)) {
      error = at.string() + " is not a folder";
      return false;
    }
  }
  return true;
}

bool CopyIn(const std::string& source, const std::string& bytes, const std::string& target,
            std::string& error) {
  if (!WriteFileAtomic(target, bytes)) {
    error = std::strerror(errno);
    return false;
  }
  // Example scripts that are programs stay programs.
  struct stat st {};
  if (stat(source.c_str(), &st) == 0 && (st.st_mode & 0111)) chmod(target.c_str(), 0755);
  return true;
}

}  // namespace

SeedResult SeedFromShipped(const std::string& shipped, const std::string& folder) {
  SeedResult result;
  UniqueFd held(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!held.Valid() || flock(held.Get(), LOCK_EX) != 0) {
    result.failed.push_back(folder + ": " + std::strerror(errno));
    return result;
  }
  const std::string listPath = folder + "/" + std::string(files::kShippedList);
  struct stat listed {};
  result.first = lstat(listPath.c_str(), &listed) != 0;
  HashList list = ReadHashList(listPath);
  const HashList before = list;

  for (const std::string& relative : ShippedFiles(shipped, result.failed)) {
    const std::string source = shipped + "/" + relative;
    const std::string target = folder + "/" + relative;
    std::string bytes;
    if (!ReadWholeFile(source, bytes, kMaxShippedBytes)) {
      result.failed.push_back(relative + ": " + std::strerror(errno));
      continue;
    }
    const std::string hash = Fnv1a64Hex(bytes);
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(target, ec).type();
    std::string error;
    if (type == fs::file_type::not_found) {
      if (MakeParents(folder, relative, error) && CopyIn(source, bytes, target, error)) {
        list[relative] = hash;
        result.added.push_back(relative);
      } else {
        result.failed.push_back(relative + ": " + error);
      }
      continue;
    }
    if (type != fs::file_type::regular) continue;  // the user's link or folder
    std::string own;
    if (!ReadWholeFile(target, own, kMaxShippedBytes)) {
      result.kept.push_back(relative);  // too big or unreadable: not a copy of ours
      continue;
    }
    const std::string ownHash = Fnv1a64Hex(own);
    if (ownHash == hash) {
      list[relative] = hash;
      continue;
    }
    auto was = list.find(relative);
    if (was == list.end() || was->second != ownHash) {
      result.kept.push_back(relative);
      continue;
    }
    if (CopyIn(source, bytes, target, error)) {
      was->second = hash;
      result.updated.push_back(relative);
    } else {
      result.failed.push_back(relative + ": " + error);
    }
  }
  if ((result.first || list != before) && !WriteFileAtomic(listPath, WriteHashList(list)))
    result.failed.push_back(std::string(files::kShippedList) + ": " + std::strerror(errno));
  return result;
}

}  // namespace norvane
