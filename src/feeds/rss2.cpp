#include "feeds/rss2.h"

#include "core/texts.h"

namespace norvane {

namespace {

constexpr FeedPaths kRss10{"rdf:RDF", "rdf:RDF/channel/title", "rdf:RDF/channel/link",
                           "rdf:RDF/channel/description", "rdf:RDF/item", "rdf:RDF"};
constexpr FeedPaths kRss20{"rss", "rss/channel/title", "rss/channel/link",
                           "rss/channel/description", "rss/channel/item", "rss/channel"};

}  // namespace

const FeedPaths& PathsForVersion(std::string_view version) {
  return version == "1.0" ? kRss10 : kRss20;
}

std::string DetectRSSVersion(const TRXML& doc) {
  try {
    if (doc.SelectSingleNode("rdf:RDF")) return "1.0";
    if (xmlNodePtr rss = doc.SelectSingleNode("rss")) return GetAttribute(rss, "version");
  } catch (const std::exception&) {
  }
  return {};
}

void TRSS2::LoadFrom(const std::string& source) {
  if (source.find("://") != std::string::npos) LoadFromHTTP(source);
  else LoadFromFile(source);
}

void TRSS2::Open(const std::string& source) {
  URL = source;
  LoadFrom(source);
  if (ReadVersion().empty()) throw XmlError(T().notRss);
}

const std::string& TRSS2::ReadVersion() {
  Version = GetRSSVersion();
  return Version;
}

std::string TRSS2::ChannelText(const char* FeedPaths::*which) const {
  if (Version.empty()) return {};
  const char* path = PathsForVersion(Version).*which;
  // A feed may leave out its title, link or description: the field is then empty.
  xmlNodePtr node = SelectSingleNode(path);
  return node ? NodeText(node) : std::string();
}

std::string TRSS2::GetTitle() const { return ChannelText(&FeedPaths::title); }
std::string TRSS2::GetLink() const { return ChannelText(&FeedPaths::link); }
std::string TRSS2::GetDescription() const { return ChannelText(&FeedPaths::description); }

std::optional<NodeList> TRSS2::GetItems() const {
  if (Version.empty()) return std::nullopt;
  return SelectNodes(PathsForVersion(Version).items);
}

}  // namespace norvane
