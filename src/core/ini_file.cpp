#include "core/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "core/atomic_file.h"
#include "core/url_helpers.h"

namespace norvane {

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool IsHeader(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  if (name) *name = Trim(t.substr(1, close - 1));
  return true;
}

}  // namespace

std::optional<int> ParseIniInteger(const std::string& text) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  size_t i = 0;
  if (t[0] == '+' || t[0] == '-') i = 1;
  if (i == t.size()) return std::nullopt;
  for (size_t k = i; k < t.size(); ++k)
    if (t[k] < '0' || t[k] > '9') return std::nullopt;
  errno = 0;
  long long v = std::strtoll(t.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

IniFile::IniFile(std::string diskPath) : path_(std::move(diskPath)) {}

void IniFile::Load() {
  lines_.clear();
  std::string data;
  if (!ReadWholeFile(path_, data)) return;
  // Editors on other systems put a UTF-8 byte order mark in front of the first header.
  size_t start = data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start < data.size()) {
    size_t nl = data.find('\n', start);
    if (nl == std::string::npos) nl = data.size();
    std::string line = data.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
    start = nl + 1;
  }
}

bool IniFile::Save() const {
  std::string data;
  for (const auto& l : lines_) {
    data += l;
    data += "\r\n";
  }
  return WriteFileAtomic(path_, data);
}

bool IniFile::HasSection(const std::string& section) const { return FindSection(section) != std::string::npos; }

bool IniFile::HasContent() const {
  for (const auto& l : lines_)
    if (!Trim(l).empty()) return true;
  return false;
}

size_t IniFile::FindSection(const std::string& section) const {
  std::string name;
  for (size_t i = 0; i < lines_.size(); ++i)
    if (IsHeader(lines_[i], &name) && SameAsciiName(name, section)) return i;
  return std::string::npos;
}

size_t IniFile::FindKey(size_t header, const std::string& key) const {
  for (size_t i = header + 1; i < lines_.size(); ++i) {
    if (IsHeader(lines_[i], nullptr)) break;
    size_t eq = lines_[i].find('=');
    if (eq == std::string::npos) continue;
    std::string k = Trim(lines_[i].substr(0, eq));
    if (!k.empty() && k[0] == ';') continue;
    if (SameAsciiName(k, key)) return i;
  }
  return std::string::npos;
}

std::optional<std::string> IniFile::ReadString(const std::string& section,
                                               const std::string& key) const {
  size_t h = FindSection(section);
  if (h == std::string::npos) return std::nullopt;
  size_t k = FindKey(h, key);
  if (k == std::string::npos) return std::nullopt;
  const std::string& line = lines_[k];
  return Trim(line.substr(line.find('=') + 1));
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  auto v = ReadString(section, key);
  return v ? *v : def;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
  auto v = ReadString(section, key);
  if (!v) return def;
  auto n = ParseIniInteger(*v);
  return n ? *n : def;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  size_t h = FindSection(section);
  if (h == std::string::npos) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + section + "]");
    lines_.push_back(key + "=" + value);
    return;
  }
  size_t k = FindKey(h, key);
  if (k != std::string::npos) {
    lines_[k] = key + "=" + value;
    return;
  }
  // Append after the section's last non-blank line.
  size_t end = h + 1;
  while (end < lines_.size() && !IsHeader(lines_[end], nullptr)) ++end;
  size_t at = end;
  while (at > h + 1 && Trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), key + "=" + value);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace norvane
