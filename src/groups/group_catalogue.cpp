#include "groups/group_catalogue.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <tuple>

#include "core/disk_path.h"
#include "core/plain_text.h"
#include "core/program_files.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "core/trace.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"
#include "groups/group_file_name.h"

namespace norvane {

namespace {

bool EndsWithOpml(const std::string& name) {
  static const std::string ext = ".opml";
  if (name.size() <= ext.size()) return false;
  return SjisAsciiLower(name.substr(name.size() - ext.size())) == ext;
}

// The OPML files of the group folder as program names, sorted: the file system's own
// order is arbitrary, and new groups should come in the same order on every start.
std::vector<std::string> ListOpmlFiles() {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(DiskPath(std::string(files::kOpmls)), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string disk = it->path().filename().string();
    std::string name = Utf8ToSjis(disk);
    // A disk name that is no UTF-8 has no program name that leads back to it.
    if (SjisToUtf8(name) != disk || !EndsWithOpml(name)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TGP::TGP() { CreateGpXml(); }

bool TGP::SetAside() {
  const std::string path = files::CataloguePath();
  std::string target = path + ".damaged";
  for (int n = 1; FileExists(DiskPath(target)) && n < 1000; ++n)
    target = path + ".damaged." + std::to_string(n);
  bool moved = std::rename(DiskPath(path).c_str(), DiskPath(target).c_str()) == 0;
  std::string line = T().groupCatalogueSetAside + (moved ? target : path + " (rename failed)");
  std::fprintf(stderr, "%s\n", SjisToUtf8(line).c_str());
  if (moved) setAside_ = target;
  return moved;
}

void TGP::CreateGpXml() {
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    std::vector<std::string> names = ListOpmlFiles();
    std::vector<std::string> lowered;
    for (const auto& n : names) lowered.push_back(SjisAsciiLower(n));

    bool mayWrite = true;
    xmlNodePtr container = nullptr;
    if (FileExists(DiskPath(files::CataloguePath()))) {
      try {
        LoadFromFile(files::CataloguePath());
        xmlNodePtr root = DocumentElement();
        if (root && HasQualifiedName(root, "group")) container = SelectSingleNode("group/items");
      } catch (const std::exception&) {
      }
      if (container) {
        for (xmlNodePtr item : SelectNodes("group/items/item")) {
          const std::string file = GetAttribute(item, "file");
          // The file as written, else one whose name differs only in letter case: the
          // item then takes the name on disk, or the group could never be opened here.
          auto exact = std::find(names.begin(), names.end(), file);
          size_t at = exact != names.end()
                          ? static_cast<size_t>(exact - names.begin())
                          : static_cast<size_t>(std::find(lowered.begin(), lowered.end(), SjisAsciiLower(file)) -
                                                lowered.begin());
          if (at == names.size()) {
            RemoveNode(item);
            continue;
          }
          if (names[at] != file) SetAttribute(item, "file", names[at]);
          names.erase(names.begin() + static_cast<std::ptrdiff_t>(at));
          lowered.erase(lowered.begin() + static_cast<std::ptrdiff_t>(at));
        }
      } else {
        // Never overwritten: when it cannot be moved aside, the rebuilt catalogue stays
        // in memory only.
        mayWrite = SetAside();
      }
    }
    if (!container) {
      Clear();
      container = AddChild(CreateRoot("group"), "items", "");
    }

    for (const auto& name : names) {
      try {
        TRXML opml;
        opml.LoadFromFile(GroupFilePath(name));
        xmlNodePtr title = opml.SelectSingleNode("opml/head/title");
        if (!title) continue;
        xmlNodePtr item = AddChild(container, "item", "");
        SetAttribute(item, "title", NodeText(title));
        SetAttribute(item, "file", name);
        SetAttribute(item, "goround", std::to_string(kNewGroupInterval));
      } catch (const std::exception& e) {
        WriteErrorLog(TraceArea::Group, "Exception", e.what());  // this file gets no item
      }
    }
    if (mayWrite) SaveToFile(files::CataloguePath());
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
  }
}

void TGP::LoadGpXml(const OnGroup& onGroup) {
  TRXML fresh;
  fresh.LoadFromFile(files::CataloguePath());

  std::vector<std::tuple<std::string, std::string, int>> groups;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    gpFiles_.clear();
    Assign(fresh);
    if (!onGroup) return;
    try {
      NodeList items = SelectNodes("group/items/item");
      firstGpFile_ = items.empty() ? std::string() : GetAttribute(items[0], "file");
      for (xmlNodePtr item : items) {
        if (!HasAttribute(item, "goround") || !HasAttribute(item, "title") ||
            !HasAttribute(item, "file"))
          break;
        std::optional<int> goround = ReadWholeInteger(GetAttribute(item, "goround"));
        if (!goround) break;
        groups.emplace_back(GetAttribute(item, "file"), GetAttribute(item, "title"), *goround);
      }
    } catch (const std::exception& e) {
      WriteErrorLog(TraceArea::Group, "Exception", e.what());
    }
  }
  // Reported outside the lock: the receiver may ask the catalogue again.
  std::vector<std::string> reported;
  try {
    for (const auto& [file, title, goround] : groups) {
      onGroup(file, title, goround);
      reported.push_back(file);
    }
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
  }
  std::lock_guard<std::mutex> lock(mutex_);
  gpFiles_ = std::move(reported);
}

std::string TGP::SelectGpFile(const std::string& file) {
  const std::string first = FirstGpFile();
  std::string result;
  // One step under the settings' lock, so two pages never interleave the read and write.
  UpdateSettings([&](Settings& s) {
    result = !file.empty() ? file : !s.LASTOPML.empty() ? s.LASTOPML : first;
    s.LASTOPML = result;
  });
  return result;
}

std::vector<std::string> TGP::GpFiles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return gpFiles_;
}

std::string TGP::FirstGpFile() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return firstGpFile_;
}

std::string TGP::GetXML() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return TRXML::GetXML();
}

std::string TGP::setAsidePath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return setAside_;
}

std::vector<TGP::Item> TGP::Items() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Item> items;
  for (xmlNodePtr item : SelectNodes("group/items/item"))
    items.push_back({GetAttribute(item, "title"), GetAttribute(item, "file")});
  return items;
}

void TGP::AddGroups(const std::vector<Item>& groups) {
  if (groups.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  xmlNodePtr container = SelectSingleNode("group/items");
  if (!container) throw XmlError(T().xmlLoadFailed + " : " + files::CataloguePath());
  for (const Item& group : groups) {
    xmlNodePtr item = AddChild(container, "item", "");
    SetAttribute(item, "title", group.title);
    SetAttribute(item, "file", group.file);
    SetAttribute(item, "goround", std::to_string(kNewGroupInterval));
    gpFiles_.push_back(group.file);
    if (firstGpFile_.empty()) firstGpFile_ = group.file;
  }
  SaveToFile(files::CataloguePath());
}

xmlNodePtr TGP::CopyGroupTo(TRXML& target) const {
  std::lock_guard<std::mutex> lock(mutex_);
  xmlNodePtr root = DocumentElement();
  if (!root) throw XmlError(T().xmlLoadFailed + " : " + files::CataloguePath());
  xmlNodePtr copy = CloneNode(root);
  target.AppendNode(copy);
  return copy;
}

xmlNodePtr TGP::CopyItemsTo(xmlNodePtr parent) const {
  std::lock_guard<std::mutex> lock(mutex_);
  xmlNodePtr items = SelectSingleNode("group/items");
  if (!items) return nullptr;
  xmlNodePtr copy = CloneNode(items);
  AppendChild(parent, copy);
  return copy;
}

}  // namespace norvane
