#include "search/scrap_collection.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/disk_path.h"
#include "core/gate_lock.h"
#include "core/headless_shell.h"
#include "core/program_files.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "core/url_helpers.h"

namespace norvane {

namespace {

struct KeysFile {
  std::string diskName;  // UTF-8, as listed
  std::string name;      // Shift_JIS, without the extension
  std::string path;      // program path of the keyword file
};

// The keyword files of "scrap/", sorted by their names on disk: the listing order of a
// Linux folder is arbitrary. A name without a Shift_JIS form is left out, with a line
// on standard error when report is set.
std::vector<KeysFile> ListKeysFiles(bool report) {
  namespace fs = std::filesystem;
  std::vector<KeysFile> found;
  std::error_code ec;
  fs::directory_iterator it(std::string(files::kScrap), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    std::string disk = it->path().filename().string();
    size_t dot = disk.rfind('.');
    if (dot == std::string::npos || AsciiLower(disk.substr(dot + 1)) != "keys") continue;
    std::string sjis = Utf8ToSjis(disk);
    if (SjisToUtf8(sjis) != disk) {
      // Such a name could not be opened again from the program's text.
      if (report) ConsoleLine(T().scrapNameNotConverted + sjis);
      continue;
    }
    found.push_back({disk, sjis.substr(0, sjis.size() - (disk.size() - dot)), files::Join(files::kScrap, sjis)});
  }
  std::sort(found.begin(), found.end(),
            [](const KeysFile& a, const KeysFile& b) { return a.diskName < b.diskName; });
  return found;
}

}  // namespace

TScrapSerch::TScrapSerch() {
  for (const KeysFile& f : ListKeysFiles(true)) {
    try {
      auto book = std::make_unique<Tword>(f.name, f.path);
      GateGuard lock(GateLock());
      Books.push_back(std::move(book));
    } catch (const std::exception& e) {
      ConsoleLine(T().scrapBookSkipped + f.name + " : " + e.what());
    }
  }
}

TScrapSerch::~TScrapSerch() {
  try {
    SaveAll();
  } catch (const std::exception& e) {
    ConsoleLine(T().scrapSaveFailed + e.what());
  }
}

bool TScrapSerch::AddWord(const std::string& name, std::string* error) {
  std::unique_ptr<Tword> book;
  try {
    // The organizer writes ".keys"; a file listed with the extension in other letters
    // is taken too, as at start.
    std::string keysPath;
    if (!FileExists(DiskPath(ScrapPath(name, ".keys")))) {
      for (const KeysFile& f : ListKeysFiles(false))
        if (f.name == name) keysPath = f.path;
    }
    // Loaded outside the lock: the files are the book's own until it is listed.
    book = std::make_unique<Tword>(name, keysPath);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
  GateGuard lock(GateLock());
  Books.push_back(std::move(book));
  return true;
}

void TScrapSerch::DeleteWord(const std::string& name) {
  GateGuard lock(GateLock());
  auto it = std::find_if(Books.begin(), Books.end(),
                         [&](const std::unique_ptr<Tword>& b) { return b->Name == name; });
  if (it != Books.end()) Books.erase(it);
}

int TScrapSerch::Count() const {
  GateGuard lock(GateLock());
  return static_cast<int>(Books.size());
}

Tword& TScrapSerch::Items(int index) {
  GateGuard lock(GateLock());
  if (index < 0 || static_cast<size_t>(index) >= Books.size())
    throw std::out_of_range("TScrapSerch::Items");
  return *Books[static_cast<size_t>(index)];
}

Tword* TScrapSerch::Find(const std::string& name) {
  GateGuard lock(GateLock());
  for (auto& b : Books)
    if (b->Name == name) return b.get();
  return nullptr;
}

void TScrapSerch::SetSavedHook(std::function<void(const std::string& path)> hook) {
  GateGuard lock(GateLock());
  saved_ = std::move(hook);
}

bool TScrapSerch::Save(Tword& book) {
  try {
    book.SaveFeed();
    book.ClearChanged();
    if (saved_ && book.DocumentElement()) saved_(ScrapPath(book.Name, ".xml"));
    return true;
  } catch (const std::exception& e) {
    ConsoleLine(T().scrapSaveFailed + e.what());
    return false;
  }
}

bool TScrapSerch::SaveChanged() {
  GateGuard lock(GateLock());
  bool ok = true;
  for (auto& b : Books)
    if (b->Changed() && !Save(*b)) ok = false;
  return ok;
}

bool TScrapSerch::SaveAll() {
  GateGuard lock(GateLock());
  bool ok = true;
  for (auto& b : Books)
    if (!Save(*b)) ok = false;
  return ok;
}

}  // namespace norvane
