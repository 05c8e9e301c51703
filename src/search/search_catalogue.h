#pragma once
#include <optional>
#include <string>
#include <vector>

#include "feeds/rxml.h"

namespace norvane {

// The search engines of "search.xml": each item has a title (its key) and a URL
// template holding "$SEARCH_PHRASE$" where the encoded phrase goes. Read once at start,
// never changed afterwards, so readers need no lock of their own.
class SearchCatalogue {
 public:
  // Throws XmlError when the file cannot be opened. A file that is no XML document
  // leaves the catalogue empty.
  void LoadFromFile(const std::string& path);

  // The template of the first engine with exactly that title, its first marker
  // replaced by the encoded phrase; empty when there is no such engine or it has no
  // searchUrl. The phrase is encoded as its Shift_JIS bytes, or as UTF-8 when the
  // template says encoding="UTF-8" (what search engines of today expect).
  std::string GetSearchURL(const std::string& engineTitle, const std::string& phrase) const;
  // Every engine's title in file order; none when the catalogue cannot be read.
  std::optional<std::vector<std::string>> GetSearchTitles() const;

 private:
  TRXML doc_;
};

}  // namespace norvane
