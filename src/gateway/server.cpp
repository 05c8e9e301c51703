#include "gateway/server.h"

#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <stdexcept>

#include "core/disk_path.h"
#include "core/form_token.h"
#include "core/html_text.h"
#include "core/program_files.h"
#include "core/settings.h"
#include "core/text_code.h"
#include "core/texts.h"
#include "core/url_helpers.h"
#include "core/utf8.h"
#include "gateway/content_types.h"

namespace norvane {

namespace {
constexpr const char* kServerName = "Norvane/0.9";
constexpr const char* kRealm = "Norvane";

bool IsMethodRouted(const std::string& method) {
  return method == "GET" || method == "HEAD" || method == "POST";
}

// True when the browser tells that the request was made by another site, or by a page
// for an image, a style sheet, a script or anything but a page or a frame. Browsers send
// these headers with every request; curl and scripts send none of them.
bool ComesFromElsewhere(const HttpRequest& req) {
  const std::string site = AsciiLower(req.Header("Sec-Fetch-Site"));
  if (site == "cross-site" || site == "same-site") return true;
  const std::string dest = AsciiLower(req.Header("Sec-Fetch-Dest"));
  if (!dest.empty() && dest != "document" && dest != "iframe" && dest != "frame" && dest != "empty")
    return true;
  const std::string origin = AsciiLower(req.Header("Origin"));
  if (!origin.empty()) {
    const std::string host = AsciiLower(req.Header("Host"));
    if (host.empty() || (origin != "http://" + host && origin != "https://" + host)) return true;
  }
  return false;
}

// The name part of a Host header, lower case, without a final dot; empty when the
// header is malformed.
std::string HostNamePart(std::string_view host) {
  std::string name;
  if (!host.empty() && host.front() == '[') {
    size_t close = host.find(']');
    if (close == std::string_view::npos) return {};
    name = std::string(host.substr(0, close + 1));
    host.remove_prefix(close + 1);
    if (!host.empty() && host.front() != ':') return {};
  } else {
    size_t colon = host.find(':');
    name = std::string(host.substr(0, colon));
    host.remove_prefix(colon == std::string_view::npos ? host.size() : colon);
  }
  if (!host.empty()) {  // ":" and the port's digits
    host.remove_prefix(1);
    if (host.empty() || host.size() > 5) return {};
    for (char c : host)
      if (c < '0' || c > '9') return {};
  }
  name = AsciiLower(name);
  if (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

bool IsLoopbackLiteral(const std::string& name) {
  in_addr a{};
  return inet_pton(AF_INET, name.c_str(), &a) == 1 && (ntohl(a.s_addr) >> 24) == 127;
}

// The host's own name and the addresses of its interfaces, as a Host header names them.
std::vector<std::string> OwnNamesNow() {
  std::vector<std::string> names;
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0 && host[0]) names.push_back(AsciiLower(host));
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (ifaddrs* i = list; i; i = i->ifa_next) {
      if (!i->ifa_addr) continue;
      char text[INET6_ADDRSTRLEN] = {};
      if (i->ifa_addr->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text);
        names.push_back(text);
      } else if (i->ifa_addr->sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(i->ifa_addr)->sin6_addr, text, sizeof text);
        names.push_back("[" + AsciiLower(text) + "]");
      }
    }
    freeifaddrs(list);
  }
  return names;
}

std::string CanonicalHostName() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || !host[0]) return {};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* res = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &res) != 0 || !res) return {};
  std::string name = res->ai_canonname ? AsciiLower(res->ai_canonname) : std::string();
  freeaddrinfo(res);
  return name;
}

// A short page for a refused request; the message is one of the program's own texts.
void RefusePage(HttpResponse& res, int status, const std::string& message) {
  res.status = status;
  res.contentType = "text/html";
  res.body = "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"Shift_JIS\">"
             "<title>Norvane</title></head><body><p>" +
             EscapeHtml(message) + "</p><p><a href=\"/\">Norvane</a></p></body></html>";
}

// A name that the router maps into a folder: the Shift_JIS name on disk or, when that
// does not exist, the bytes as they came (a browser's UTF-8); a raw query value (the
// `u` of a group) is tried once more percent-decoded, the way a browser sends it.
std::string ResolveDiskName(const std::string& folder, const std::string& name, bool decode) {
  auto existing = [&](const std::string& n) -> std::string {
    std::string disk = DiskPath(folder + "/" + n);
    if (FileExists(disk)) return disk;
    std::string raw = folder + "/" + n;
    for (char& c : raw)
      if (c == '\\') c = '/';
    return FileExists(raw) ? raw : std::string();
  };
  std::string found = existing(name);
  if (found.empty() && decode) {
    std::string decoded = PercentDecode(name);
    if (decoded != name && StaysInside(decoded)) found = existing(decoded);
  }
  return found.empty() ? DiskPath(folder + "/" + name) : found;
}

// The keyword of a request as Shift_JIS. The shipped forms carry _charset_, which the
// browser fills in with the code it sent them in: that decides. Without it the code is
// guessed: a modern browser sends percent-encoded UTF-8, and the code detector cannot
// tell UTF-8 of five bytes or fewer (one or two Japanese characters), so such a short
// text that is well-formed UTF-8 is taken as it. Half-width ﾃｽ in Shift_JIS (C3 BD) is
// well-formed UTF-8 too, which only _charset_ tells apart.
std::string ConvertQueryText(const std::string& w, const std::string& charset) {
  if (std::optional<std::string> named = ConvertNamedToSJIS(w, charset)) return std::move(*named);
  if (w.size() <= 5 && IsNonAsciiUtf8(w)) return NormalizeLineBreaks(Utf8ToSjisMarkingInvalid(w));
  return ConvertToSJIS(w);
}

}  // namespace

void AddPageSecurityHeaders(HttpResponse& res) {
  res.headers.emplace_back(
      "Content-Security-Policy",
      "default-src 'self'; script-src 'self'; object-src 'none'; base-uri 'none'; "
      "form-action 'self'; frame-src 'self'; frame-ancestors 'self'; "
      "img-src * data:; media-src *; style-src 'self' 'unsafe-inline'");
}

bool IsLocalClient(const std::string& address) {
  if (address == "127.0.0.1") return true;
  Settings s = GetSettings();
  return !s.LocalAddress.empty() && address == s.LocalAddress;
}

TServer::TServer(ConnectionLimits limits)
    : http_([this](const HttpRequest& req, HttpResponse& res) { CommandGet(req, res); },
            kServerName, IsLocalClient, limits) {
  FormToken();  // made now, at start, rather than by the first page
  InstallFolderRoutes();
}

TServer::~TServer() { Stop(); }

void TServer::Restart() {
  const int port = GetSettings().PORT;
  {
    std::string full = CanonicalHostName();
    std::lock_guard lock(namesMutex_);
    fullHostName_ = std::move(full);
  }
  try {
    http_.Listen(port);
  } catch (const std::exception&) {
    throw std::runtime_error(T().listenFailedBefore + std::to_string(port) + T().listenFailedAfter);
  }
}

void TServer::Stop() { http_.Stop(); }

void TServer::SetRoute(std::string_view name, RouteHandler handler) {
  for (size_t i = 0; i < std::size(kRouteTable); ++i)
    if (kRouteTable[i].name == name) {
      handlers_[i] = std::move(handler);
      return;
    }
  throw std::logic_error("no route " + std::string(name) + " in the route table");
}

std::vector<std::string_view> TServer::RoutesWithoutHandler() const {
  std::vector<std::string_view> missing;
  for (size_t i = 0; i < std::size(kRouteTable); ++i)
    if (!handlers_[i]) missing.push_back(kRouteTable[i].name);
  return missing;
}

void TServer::Respond(const RouteContext& ctx, HttpResponse& res, std::string body) {
  Respond(res, std::move(body), std::string(ctx.contentType));
}

void TServer::Respond(const RouteContext& ctx, HttpResponse& res,
                      std::unique_ptr<BodySource> body) {
  res.contentType = ctx.contentType;
  res.stream = std::move(body);
}

void TServer::Respond(HttpResponse& res, std::string body, const std::string& contentType) {
  if (body.empty()) {
    res.status = 500;
    return;
  }
  res.contentType = contentType;
  res.body = std::move(body);
}

void TServer::RespondFile(HttpResponse& res, const std::string& diskPath,
                          const std::string& contentType) {
  if (!FileExists(diskPath)) {
    res.status = 404;
    return;
  }
  res.contentType = contentType;
  res.filePath = diskPath;
}

bool TServer::NamesThisMachine(const std::string& host) {
  if (host.empty()) return true;  // an HTTP/1.0 client; every browser sends the header
  const std::string name = HostNamePart(host);
  if (name.empty()) return false;
  if (name == "localhost" || name == "[::1]" || IsLoopbackLiteral(name)) return true;
  const std::string local = GetSettings().LocalAddress;
  if (!local.empty() && name == local) return true;
  {
    std::lock_guard lock(namesMutex_);
    if (!fullHostName_.empty() && name == fullHostName_) return true;
  }
  // Asked afresh: interfaces come and go while the program runs.
  for (const std::string& own : OwnNamesNow())
    if (name == own) return true;
  return false;
}

bool TServer::Admit(const HttpRequest& req, HttpResponse& res) {
  if (IsLocalClient(req.clientAddress)) {
    if (NamesThisMachine(req.Header("Host"))) return true;
    RefusePage(res, 403, T().refusedHost);
    return false;
  }
  Settings s = GetSettings();
  try {
    accessLog_.AddAccess(req.RequestLine(), req.clientAddress);
  } catch (...) {
    res.status = 403;
    return false;
  }
  if (s.WebUserName.empty() || s.WebPassWord.empty()) {
    res.status = 403;
    return false;
  }
  // Once the credentials match, any Host will do: Web mode is reached by any name.
  if (req.authUser == s.WebUserName && req.authPassword == s.WebPassWord) return true;
  res.status = 401;
  res.authRealm = kRealm;
  return false;
}

void TServer::CommandGet(const HttpRequest& req, HttpResponse& res) {
  Route(req, res);
  // Every answer, refusals and static files too: an SVG or an XML document that holds
  // markup from a feed must not run code either.
  AddPageSecurityHeaders(res);
}

void TServer::Route(const HttpRequest& req, HttpResponse& res) {
  if (!Admit(req, res)) return;
  if (!IsMethodRouted(req.method)) {
    RefusePage(res, 405, T().refusedMethod);
    res.headers.emplace_back("Allow", "GET, HEAD, POST");
    return;
  }

  if (req.bodyTooLarge) {
    RefusePage(res, 413, T().refusedTooLarge);
    return;
  }

  // The engine's parameter list: a form body first, then the query.
  ParamList params;
  if (req.method == "POST" &&
      AsciiLower(req.Header("Content-Type")).rfind("application/x-www-form-urlencoded", 0) == 0) {
    AppendQueryParams(req.body, params);
  }
  for (const FormPart& part : req.formParts)  // an upload form's text fields (its token)
    if (!part.isFile) params.push_back(part.name + "=" + part.value);
  AppendQueryParams(req.rawQuery, params);

  std::string path = PercentDecode(req.path);

  // Texts a user types or picks: the keywords, and the scrapbook a keep goes to.
  for (const char* typed : {"w", "b"})
    if (ParamIndex(params, typed) >= 0)
      SetParamValue(params, typed, ConvertQueryText(ParamValue(params, typed), ParamValue(params, "_charset_")));

  if (!req.rawQuery.empty()) {
    if (ParamValue(params, "ue") != "on") {
      // Links of the program put u first and end its value with "/", so the target URL
      // comes through exactly as sent, with its own "?" and "&".
      size_t slash = req.rawQuery.rfind('/');
      std::string cut = slash == std::string::npos ? std::string() : req.rawQuery.substr(0, slash);
      int first = ParamIndex(params, "u");
      if (first >= 0) params.erase(params.begin() + first);
      params.push_back(cut);
    }
    if (ParamIndex(params, "u") >= 0)
      SetParamValue(params, "u", CompleteLocalURL(ParamValue(params, "u")));
  }

  if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  if (path.back() == '/') path += "index.html";
  RouteContext ctx{req, params, path.substr(1), path};

  // Requests that change something must come from the gateway's own pages. A page of
  // the browser (same-origin) must also carry the form token its form was given; without
  // it the route shows its form to be confirmed. Typed addresses (Sec-Fetch-Site: none)
  // and clients that send no such headers (curl, scripts) need no token, but only on
  // this machine: a browser sends those headers to loopback addresses only, so from
  // another machine their absence proves nothing.
  const std::string name = AsciiLower(ctx.fileName);
  const RouteSpec* spec = name.find('/') == std::string::npos ? FindRoute(name) : nullptr;
  const RouteWrites change = !spec || (spec->writesWhen && !spec->writesWhen(params)) ? RouteWrites::Nothing
                                                                                      : spec->writes;
  if (change != RouteWrites::Nothing) {
    if (ComesFromElsewhere(req)) {
      RefusePage(res, 403, T().refusedForeign);
      return;
    }
    const std::string site = AsciiLower(req.Header("Sec-Fetch-Site"));
    const bool needsToken = site == "same-origin" || (site != "none" && !IsLocalClient(req.clientAddress));
    if (change == RouteWrites::Files && needsToken && !IsFormToken(ParamValue(params, "token")))
      ctx.editsAllowed = false;
  }
  Dispatch(ctx, res);
}

void TServer::ServeUnder(const std::string& folder, const std::string& relative,
                         const std::string& contentType, HttpResponse& res, bool decode) {
  if (!StaysInside(folder) || !StaysInside(relative)) {
    res.status = 404;
    return;
  }
  const std::string disk = ResolveDiskName(folder, relative, decode);
  if (!FileExists(disk)) {
    res.status = 404;
    return;
  }
  // A link inside the folder may not lead out of it.
  const std::string inside = ResolveInside(DiskPath(folder), disk);
  if (inside.empty()) {
    res.status = 404;
    return;
  }
  RespondFile(res, inside, contentType);
}

void TServer::Dispatch(RouteContext& ctx, HttpResponse& res) {
  const std::string name = AsciiLower(ctx.fileName);
  const bool rootLevel = name.find('/') == std::string::npos;
  const bool webMode = GetSettings().PORT == 80;
  for (size_t i = 0; i < std::size(kRouteTable); ++i) {
    const RouteSpec& spec = kRouteTable[i];
    const bool takes = spec.match == RouteMatch::StyleSheets ? name.find(".css") != std::string::npos
                                                             : rootLevel && name == spec.name;
    if (!takes || (spec.refusedInWebMode && webMode)) continue;
    ctx.contentType = spec.contentType;
    if (handlers_[i]) handlers_[i](ctx, res);
    else res.status = 404;
    return;
  }
  ServeUnder(std::string(files::kWww), ctx.fileName, ContentTypeFor(ctx.fileName), res);
}

void TServer::InstallFolderRoutes() {
  // The style's own sheets; a style built on another names that one's "/<style>/<file>".
  SetRoute("*.css", [this](RouteContext& ctx, HttpResponse& res) {
    const bool rootLevel = ctx.fileName.find('/') == std::string::npos;
    ServeUnder(files::StyleFolder(GetSettings().XSL_STYLE), ctx.fileName, ContentTypeFor(ctx.fileName), res);
    if (res.status == 404 && !rootLevel) {
      res.status = 200;
      ServeUnder(std::string(files::kXsls), ctx.fileName, ContentTypeFor(ctx.fileName), res);
    }
  });
  SetRoute(routes::kOpmlXml, [this](RouteContext& ctx, HttpResponse& res) {
    ServeUnder(std::string(files::kOpmls), ParamValue(ctx.params, "u"), std::string(ctx.contentType), res, true);
  });
}

}  // namespace norvane
