#pragma once
#include <string>

namespace norvane::test {

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Writes a file (creating parent folders) and returns its path.
  std::string Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

// Copies a folder tree (cp -r semantics for regular files and folders).
void CopyTree(const std::string& from, const std::string& to);

}  // namespace norvane::test
