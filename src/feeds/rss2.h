#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "feeds/rxml.h"

namespace norvane {

// Paths of the two feed flavours, chosen by version: "1.0" is RSS 1.0 (RDF), any other
// non-empty version RSS 2.0 or 0.9x.
struct FeedPaths {
  const char* root;
  const char* title;
  const char* link;
  const char* description;
  const char* items;
  const char* itemContainer;
};
const FeedPaths& PathsForVersion(std::string_view version);

// The version of the feed in doc: "1.0" for an rdf:RDF root, the version attribute of an
// rss root, otherwise empty (not a feed). Never throws.
std::string DetectRSSVersion(const TRXML& doc);

// A read-only view of a feed or channel log.
class TRSS2 : public TRXML {
 public:
  std::string URL;
  std::string Version;

  // A URL (holds "://") is fetched unconditionally; anything else is a file path.
  void LoadFrom(const std::string& source);
  // LoadFrom, then ReadVersion; throws XmlError("RSSじゃない？") when it is no feed.
  void Open(const std::string& source);
  const std::string& ReadVersion();
  std::string GetRSSVersion() const { return DetectRSSVersion(*this); }

  // Empty when Version is empty or the feed has no such element.
  std::string GetTitle() const;
  std::string GetLink() const;
  std::string GetDescription() const;
  // None when Version is empty.
  std::optional<NodeList> GetItems() const;

 private:
  std::string ChannelText(const char* FeedPaths::*which) const;
};

}  // namespace norvane
