#include "support/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace norvane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string templ = "/tmp/norvane-test-XXXXXX";
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
  fs::path p = fs::path(path_) / name;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << content;
  return p.string();
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(fs::path(path_) / name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool TempDir::Exists(const std::string& name) const { return fs::exists(fs::path(path_) / name); }

void CopyTree(const std::string& from, const std::string& to) {
  fs::create_directories(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

}  // namespace norvane::test
