#include "feeds/feed_discovery.h"

#include <libxml/HTMLparser.h>
#include <libxml/uri.h>

#include <algorithm>
#include <cctype>
#include <thread>

#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/feed_formats.h"
#include "feeds/xml_encoding.h"
#include "feeds/xml_owners.h"

namespace norvane {

namespace {

// A page is read this far for its links: they are in its head.
constexpr size_t kPageBytesRead = 1 << 20;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string TrimmedText(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n\f");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n\f");
  return std::string(text.substr(first, last - first + 1));
}

std::string AttrOf(const xmlNode* n, const char* name) {
  XmlText v(xmlGetProp(n, BAD_CAST name));
  return v ? C(v.get()) : "";
}

bool IsFeedType(std::string_view type) {
  const std::string media = TrimmedText(Lower(type.substr(0, type.find(';'))));
  return media == "application/rss+xml" || media == "application/rdf+xml" || media == "application/atom+xml" ||
         media == "application/feed+json";
}

bool HasRelToken(const std::string& rel, std::string_view token) {
  const std::string lower = Lower(rel);
  size_t at = 0;
  while (at < lower.size()) {
    const size_t start = lower.find_first_not_of(" \t\r\n\f", at);
    if (start == std::string::npos) break;
    size_t end = lower.find_first_of(" \t\r\n\f", start);
    if (end == std::string::npos) end = lower.size();
    if (std::string_view(lower).substr(start, end - start) == token) return true;
    at = end;
  }
  return false;
}

// href resolved against base; empty when it resolves to nothing of http or https. Bytes
// outside printable ASCII are percent-encoded, as a browser sends them.
std::string Resolved(const std::string& href, const std::string& base) {
  const std::string trimmed = TrimmedText(href);
  if (trimmed.empty()) return {};
  XmlText full(xmlBuildURI(X(trimmed), X(base)));
  if (!full) return {};
  const std::string url = EncodeAddressBytes(C(full.get()));
  const std::string scheme = Lower(url.substr(0, url.find(':')));
  return scheme == "http" || scheme == "https" ? url : std::string();
}

// The elements of a parsed page in document order.
template <typename Visit>
void EachElement(xmlNodePtr root, Visit visit) {
  std::vector<xmlNodePtr> stack;
  if (root) stack.push_back(root);
  while (!stack.empty()) {
    xmlNodePtr n = stack.back();
    stack.pop_back();
    if (n->type != XML_ELEMENT_NODE) continue;
    if (!visit(n)) return;
    for (xmlNodePtr c = n->last; c; c = c->prev) stack.push_back(c);
  }
}

// scheme://authority of an address, the scheme and host lowered and a default port
// dropped; the rest after it in *rest.
std::string OriginOf(std::string_view url, std::string* rest = nullptr) {
  const size_t sep = url.find("://");
  if (sep == std::string_view::npos) {
    if (rest) *rest = std::string(url);
    return {};
  }
  const std::string scheme = Lower(url.substr(0, sep));
  const size_t start = sep + 3;
  size_t end = url.find_first_of("/?#", start);
  if (end == std::string_view::npos) end = url.size();
  std::string authority = Lower(url.substr(start, end - start));
  if (const size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  if ((scheme == "http" && authority.ends_with(":80")) || (scheme == "https" && authority.ends_with(":443")))
    authority.erase(authority.rfind(':'));
  if (rest) *rest = std::string(url.substr(end));
  return scheme + "://" + authority;
}

// A bare host name with an optional port and path: "example.com", "localhost:8080/x".
bool IsBareHost(std::string_view text) {
  const size_t end = std::min(text.find_first_of("/?#"), text.size());
  std::string_view host = text.substr(0, end);
  bool port = false;
  if (const size_t colon = host.find(':'); colon != std::string_view::npos) {
    std::string_view digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoi(std::string(digits)) > 65535)
      return false;
    host = host.substr(0, colon);
    port = true;
  }
  if (host.empty() || host.front() == '.' || host.front() == '-' || host.back() == '-') return false;
  for (char c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') return false;
  if (text.substr(end).find_first_of(" \t\r\n") != std::string_view::npos) return false;
  return port || host.find('.') != std::string_view::npos || Lower(host) == "localhost";
}

// The feeds the site's conventional places answer, tried all at once, in the order of
// kConventionalFeedPaths; a place that leads where an earlier one did is left out.
std::vector<FeedOffer> TryConventionalPlaces(const std::string& pageUrl) {
  const std::string origin = OriginOf(pageUrl);
  struct Probe {
    std::string url, title, finalUrl;
    bool feed = false;
  };
  std::vector<Probe> probes(kConventionalFeedPaths.size());
  auto run = [](Probe& p) {
    try {
      TRSS2 reader;
      const FetchOutcome outcome = reader.LoadFromHTTPIfModified(p.url, CacheValidators{});
      if (!outcome.ok() || reader.ReadVersion().empty()) return;
      p.title = reader.GetTitle();
      p.finalUrl = outcome.finalUrl;
      p.feed = true;
    } catch (const std::exception& e) {
      WriteErrorLog(TraceArea::Fetch, "Exception", e.what());
    }
  };
  std::vector<std::thread> threads;
  for (size_t i = 0; i < probes.size(); ++i) {
    probes[i].url = origin + std::string(kConventionalFeedPaths[i]);
    try {
      threads.emplace_back(run, std::ref(probes[i]));
    } catch (const std::system_error&) {
      run(probes[i]);  // no thread to be had: this one in turn
    }
  }
  for (std::thread& t : threads) t.join();
  std::vector<FeedOffer> offers;
  std::vector<std::string> reached;
  for (const Probe& p : probes) {
    if (!p.feed) continue;
    if (std::any_of(reached.begin(), reached.end(), [&](const std::string& r) { return SameAddress(r, p.finalUrl); }))
      continue;
    reached.push_back(p.finalUrl);
    offers.push_back({p.url, p.title, ""});
  }
  return offers;
}

// A page parsed for its links (at most its first kPageBytesRead bytes), and its base: its
// first <base href>, itself resolved against where it came from.
struct ParsedPage {
  OwnedDoc doc;
  xmlNodePtr root = nullptr;
  std::string base;
};

ParsedPage ParsePage(std::string_view html, const std::string& pageUrl) {
  ParsedPage p;
  p.doc.reset(htmlReadMemory(html.data(), static_cast<int>(std::min(html.size(), kPageBytesRead)), nullptr, nullptr,
                             HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
  p.root = p.doc ? xmlDocGetRootElement(p.doc.get()) : nullptr;
  p.base = pageUrl;
  EachElement(p.root, [&](xmlNodePtr n) {
    if (xmlStrcasecmp(n->name, BAD_CAST "base") != 0 || !xmlHasProp(n, BAD_CAST "href")) return true;
    if (std::string b = Resolved(AttrOf(n, "href"), pageUrl); !b.empty()) p.base = b;
    return false;
  });
  return p;
}

bool NamesSvg(const std::string& type, const std::string& url) {
  if (Lower(type).find("svg") != std::string::npos) return true;
  const std::string path = Lower(url.substr(0, url.find_first_of("?#")));
  return path.ends_with(".svg") || path.ends_with(".svgz");
}

}  // namespace

AdvertisedFeeds FindAdvertisedFeeds(std::string_view html, const std::string& pageUrl, size_t limit) {
  AdvertisedFeeds found;
  if (html.empty() || limit == 0) return found;
  const ParsedPage page = ParsePage(html, pageUrl);
  const xmlNodePtr root = page.root;
  const std::string& base = page.base;
  EachElement(root, [&](xmlNodePtr n) {
    if (xmlStrcasecmp(n->name, BAD_CAST "link") != 0) return true;
    if (!HasRelToken(AttrOf(n, "rel"), "alternate") || !IsFeedType(AttrOf(n, "type"))) return true;
    const std::string url = Resolved(AttrOf(n, "href"), base);
    if (url.empty()) return true;
    if (SameAddress(url, pageUrl)) {
      found.linkBackToPage = true;
      return true;
    }
    if (std::any_of(found.feeds.begin(), found.feeds.end(), [&](const FeedOffer& f) { return SameAddress(f.url, url); }))
      return true;
    found.feeds.push_back({url, DomToSjis(TrimmedText(AttrOf(n, "title"))), TrimmedText(Lower(AttrOf(n, "type")))});
    return found.feeds.size() < limit;
  });
  return found;
}

std::vector<std::string> FindAdvertisedIcons(std::string_view html, const std::string& pageUrl, size_t limit) {
  std::vector<std::string> icons, touchIcons;
  if (html.empty() || limit == 0) return icons;
  const ParsedPage page = ParsePage(html, pageUrl);
  EachElement(page.root, [&](xmlNodePtr n) {
    if (xmlStrcasecmp(n->name, BAD_CAST "link") != 0) return true;
    const std::string rel = AttrOf(n, "rel");
    const bool icon = HasRelToken(rel, "icon");
    const bool touch = HasRelToken(rel, "apple-touch-icon") || HasRelToken(rel, "apple-touch-icon-precomposed");
    if (!icon && !touch) return true;
    const std::string url = Resolved(AttrOf(n, "href"), page.base);
    if (url.empty() || NamesSvg(AttrOf(n, "type"), url)) return true;
    std::vector<std::string>& list = icon ? icons : touchIcons;
    if (std::none_of(list.begin(), list.end(), [&](const std::string& u) { return SameAddress(u, url); }))
      list.push_back(url);
    return icons.size() + touchIcons.size() < 4 * limit;  // enough to choose from
  });
  for (const std::string& t : touchIcons)
    if (std::none_of(icons.begin(), icons.end(), [&](const std::string& u) { return SameAddress(u, t); }))
      icons.push_back(t);
  if (icons.size() > limit) icons.resize(limit);
  return icons;
}

std::string SiteOf(std::string_view url) {
  const std::string origin = OriginOf(url);
  const std::string scheme = origin.substr(0, origin.find(':'));
  if (scheme != "http" && scheme != "https") return {};
  const std::string host = origin.substr(scheme.size() + 3);
  if (host.empty() || host.front() == ':') return {};
  for (char c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != ':' && c != '[' && c != ']' &&
        c != '_')
      return {};
  return origin;
}

std::vector<std::string> AddressesToTry(const std::string& typed) {
  const std::string text = TrimmedText(typed);
  if (const size_t sep = text.find("://"); sep != std::string::npos) {
    const std::string scheme = Lower(text.substr(0, sep));
    if (scheme != "http" && scheme != "https") return {};
    return {text};
  }
  if (!IsBareHost(text)) return {};
  return {"https://" + text, "http://" + text};
}

bool SameAddress(std::string_view a, std::string_view b) {
  auto normal = [](std::string_view url) {
    url = url.substr(0, url.find('#'));
    std::string rest;
    std::string origin = OriginOf(url, &rest);
    if (origin.empty()) return std::string(url);
    if (rest.empty() || rest.front() != '/') rest.insert(rest.begin(), '/');
    return origin + rest;
  };
  return normal(a) == normal(b);
}

Discovery DiscoverFeeds(const std::string& typed) {
  Discovery d;
  const std::vector<std::string> addresses = AddressesToTry(typed);
  if (addresses.empty()) {
    d.failure = T().badFeedUrl;
    return d;
  }
  for (size_t i = 0; i < addresses.size(); ++i) {
    const std::string& address = addresses[i];
    auto reader = std::make_unique<TRSS2>();
    std::string body;
    const FetchOutcome outcome = reader->FetchIfModified(address, CacheValidators{}, body);
    if (!outcome.ok()) {
      // A bare host that https does not answer is tried as http.
      if (i + 1 < addresses.size() && outcome.kind != FetchOutcomeKind::Cancelled) continue;
      d.kind = Discovery::Kind::Failed;
      d.address = address;
      d.failure = outcome.detail.empty() ? DescribeOutcome(outcome) : outcome.detail;
      return d;
    }
    d.address = address;
    const std::string pageUrl = outcome.finalUrl.empty() ? address : outcome.finalUrl;
    const std::string contentType = reader->ContentType;
    const std::string bytes = body;
    if (!body.empty() && reader->LoadFetched(std::move(body), pageUrl, contentType) && !reader->ReadVersion().empty()) {
      reader->URL = address;
      d.kind = Discovery::Kind::Feed;
      d.feed = std::move(reader);
      return d;
    }
    d.isPage = LooksLikeHtmlPage(bytes, contentType);
    if (d.isPage) {
      AdvertisedFeeds advertised = FindAdvertisedFeeds(bytes, pageUrl);
      d.offers = std::move(advertised.feeds);
      d.linkBackToPage = advertised.linkBackToPage && d.offers.empty();
      if (d.offers.empty()) d.offers = TryConventionalPlaces(pageUrl);
    }
    d.kind = d.offers.empty() ? Discovery::Kind::NoneFound : Discovery::Kind::Offers;
    return d;
  }
  return d;
}

}  // namespace norvane
