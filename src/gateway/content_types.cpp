#include "gateway/content_types.h"

#include <utility>

#include "core/url_helpers.h"

namespace norvane {

std::string ContentTypeFor(std::string_view fileName) {
  static const std::pair<const char*, const char*> kTable[] = {
      {"html", "text/html"},       {"htm", "text/html"},
      {"css", "text/css"},         {"js", "text/javascript"},
      {"xml", "text/xml"},         {"xsl", "text/xml"},
      {"opml", "text/xml"},        {"rdf", "text/xml"},
      {"rss", "text/xml"},         {"txt", "text/plain"},
      {"json", "application/json"},{"png", "image/png"},
      {"jpg", "image/jpeg"},       {"jpeg", "image/jpeg"},
      {"gif", "image/gif"},        {"svg", "image/svg+xml"},
      {"ico", "image/x-icon"},     {"webp", "image/webp"},
      {"woff", "font/woff"},       {"woff2", "font/woff2"},
      {"pdf", "application/pdf"},  {"zip", "application/zip"},
      {"webmanifest", "application/manifest+json"},
  };
  size_t slash = fileName.find_last_of('/');
  std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (dot == std::string_view::npos) return "application/octet-stream";
  std::string ext = AsciiLower(base.substr(dot + 1));
  for (const auto& [e, type] : kTable)
    if (ext == e) return type;
  return "application/octet-stream";
}

}  // namespace norvane
