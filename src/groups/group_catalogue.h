#pragma once
#include <libxml/tree.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "feeds/rxml.h"

namespace norvane {

// The group catalogue "opmls\gp.xml": every group's title, OPML file and patrol interval,
// in display order. One instance for the whole process. Request threads read it while
// the main thread may reload it, so every access to its document and lists holds its own
// mutex, a leaf lock (nothing else is taken while it is held; GateLock may be held
// around it).
class TGP : private TRXML {
 public:
  // Tells the patrol about one group: its file, title and interval in ticks.
  using OnGroup = std::function<void(const std::string& file, const std::string& title, int goround)>;
  // The interval, in patrol ticks, a new group is given (the organizer's and an import's).
  static constexpr int kNewGroupInterval = 6;

  // Creates the document and runs CreateGpXml.
  TGP();

  // Brings "opmls\gp.xml" in line with the OPML files on disk and saves it: items of
  // deleted files go, files without an item get one (goround 6), in name order. A
  // catalogue that exists but cannot be read is renamed aside (never overwritten) and
  // rebuilt, with one line on standard error. Never throws.
  void CreateGpXml();

  // Reads "opmls\gp.xml" into the document (throws XmlError when it cannot be opened).
  // With onGroup: reports every item in order and fills FirstGpFile and GpFiles; an item
  // lacking an attribute, or whose goround is no integer, ends the report quietly, as
  // does a failure of onGroup.
  void LoadGpXml(const OnGroup& onGroup = nullptr);

  // The group a page is about: file, else LASTOPML, else the first catalogue group; the
  // result becomes LASTOPML.
  std::string SelectGpFile(const std::string& file);

  std::vector<std::string> GpFiles() const;
  std::string FirstGpFile() const;
  // The catalogue as it stands in memory.
  std::string GetXML() const;

  // Deep copies for the group pages, taken in one step. CopyGroupTo appends the root to
  // the target document and throws XmlError when the catalogue has none; CopyItemsTo
  // appends group/items as the last child of parent (an element of another document)
  // and returns nullptr when there is none.
  xmlNodePtr CopyGroupTo(TRXML& target) const;
  xmlNodePtr CopyItemsTo(xmlNodePtr parent) const;

  // One catalogue item: its title and file (Shift_JIS).
  struct Item {
    std::string title;
    std::string file;
  };
  // The items as they stand in memory, in order.
  std::vector<Item> Items() const;
  // Appends one item per group (goround 6), in order, and saves the catalogue; the files
  // join GpFiles. Throws XmlError when the catalogue has no root or cannot be written (the
  // items then stay in memory; the next start finds their files anyway).
  void AddGroups(const std::vector<Item>& groups);

  // Where a damaged catalogue was moved at start; empty when none was.
  std::string setAsidePath() const;

 private:
  // Renames the damaged catalogue; false when it could not be moved.
  bool SetAside();

  mutable std::mutex mutex_;
  std::vector<std::string> gpFiles_;
  std::string firstGpFile_;
  std::string setAside_;
};

}  // namespace norvane
