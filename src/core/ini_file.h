#pragma once
#include <optional>
#include <string>
#include <vector>

namespace norvane {

// An INI file kept as its lines, so writing a key leaves every other section, key,
// comment and blank line as it was. Section and key names compare without regard to
// ASCII letter case, as the platform's INI files did.
class IniFile {
 public:
  explicit IniFile(std::string diskPath);

  // Reads the file; a missing file is an empty one. A UTF-8 byte order mark is skipped.
  void Load();
  // Replaces the file atomically; false when it could not be written.
  bool Save() const;

  std::optional<std::string> ReadString(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  // Decimal integer with optional sign; anything else gives def.
  int ReadInteger(const std::string& section, const std::string& key, int def) const;
  // True for any non-zero integer.
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  bool HasSection(const std::string& section) const;
  // Whether any line holds more than white space.
  bool HasContent() const;

  const std::string& path() const { return path_; }

 private:
  // Index of the section header line, or npos.
  size_t FindSection(const std::string& section) const;
  // Index of the key's line inside the section starting at header, or npos.
  size_t FindKey(size_t header, const std::string& key) const;

  std::string path_;
  std::vector<std::string> lines_;
};

// Parses a decimal integer as the INI reader does; nullopt when it is none.
std::optional<int> ParseIniInteger(const std::string& text);

}  // namespace norvane
