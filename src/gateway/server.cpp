#include "gateway/server.h"

#include <stdexcept>

#include "core/disk_path.h"
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

bool IsHtml(const std::string& contentType) {
  return AsciiLower(contentType).rfind("text/html", 0) == 0;
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

// The keyword of a request as Shift_JIS. A modern browser sends it percent-encoded as
// UTF-8; the code detector cannot tell UTF-8 of five bytes or fewer (one or two
// Japanese characters), so such a short text that is well-formed UTF-8 is taken as it.
std::string ConvertQueryText(const std::string& w) {
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

TServer::TServer()
    : http_([this](const HttpRequest& req, HttpResponse& res) { CommandGet(req, res); },
            kServerName) {}

TServer::~TServer() { Stop(); }

void TServer::Restart() {
  const int port = GetSettings().PORT;
  try {
    http_.Listen(port);
  } catch (const std::exception&) {
    throw std::runtime_error(T().listenFailedBefore + std::to_string(port) + T().listenFailedAfter);
  }
}

void TServer::Stop() { http_.Stop(); }

void TServer::SetRoute(const std::string& name, RouteHandler handler) {
  routes_[AsciiLower(name)] = std::move(handler);
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

bool TServer::Admit(const HttpRequest& req, HttpResponse& res) {
  Settings s = GetSettings();
  if (req.clientAddress == "127.0.0.1" ||
      (!s.LocalAddress.empty() && req.clientAddress == s.LocalAddress))
    return true;
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
  if (req.authUser == s.WebUserName && req.authPassword == s.WebPassWord) return true;
  res.status = 401;
  res.authRealm = kRealm;
  return false;
}

void TServer::CommandGet(const HttpRequest& req, HttpResponse& res) {
  res.headers.emplace_back("X-Content-Type-Options", "nosniff");
  if (!Admit(req, res)) return;

  // The engine's parameter list: a form body first, then the query.
  ParamList params;
  if (req.method == "POST" &&
      AsciiLower(req.Header("Content-Type")).rfind("application/x-www-form-urlencoded", 0) == 0) {
    AppendQueryParams(req.body, params);
  }
  AppendQueryParams(req.rawQuery, params);

  std::string path = PercentDecode(req.path);

  if (ParamIndex(params, "w") >= 0)
    SetParamValue(params, "w", ConvertQueryText(ParamValue(params, "w")));

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
  Dispatch(ctx, res);
  if (IsHtml(res.contentType)) AddPageSecurityHeaders(res);
}

void TServer::ServeUnder(const std::string& folder, const std::string& relative,
                         const std::string& contentType, HttpResponse& res, bool decode) {
  if (!StaysInside(folder) || !StaysInside(relative)) {
    res.status = 404;
    return;
  }
  RespondFile(res, ResolveDiskName(folder, relative, decode), contentType);
}

void TServer::Dispatch(RouteContext& ctx, HttpResponse& res) {
  const std::string name = AsciiLower(ctx.fileName);
  const bool rootLevel = name.find('/') == std::string::npos;
  Settings s = GetSettings();

  auto builder = [&](const char* route) -> bool {
    if (!rootLevel || name != route) return false;
    auto it = routes_.find(route);
    if (it == routes_.end()) res.status = 404;
    else it->second(ctx, res);
    return true;
  };

  for (const char* route : {"rss.html", "add.xml", "add.html", "gp.html", "ch.html"})
    if (builder(route)) return;
  if (name.find(".css") != std::string::npos) {
    ServeUnder("xsls/" + s.XSL_STYLE, ctx.fileName, ContentTypeFor(ctx.fileName), res);
    // A style built on another names that one's sheets "/<style>/<file>".
    if (res.status == 404 && !rootLevel) {
      res.status = 200;
      ServeUnder("xsls", ctx.fileName, ContentTypeFor(ctx.fileName), res);
    }
    return;
  }
  if (rootLevel && name == "opml.xml") {
    ServeUnder("opmls", ParamValue(ctx.params, "u"), "text/XML", res, true);
    return;
  }
  for (const char* route : {"search", "scrap.xml", "filter"})
    if (builder(route)) return;
  if (s.PORT != 80 && builder("htr.xml")) return;
  ServeUnder("www", ctx.fileName, ContentTypeFor(ctx.fileName), res);
}

}  // namespace norvane
