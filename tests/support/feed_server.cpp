#include "support/feed_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/iconv_codec.h"
#include "core/sjis.h"

namespace norvane::test {

namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// The path of a request target: absolute-form targets (through a proxy) lose their
// scheme and authority, every target loses its query.
std::string PathOf(const std::string& target) {
  std::string t = target;
  size_t scheme = t.find("://");
  if (scheme != std::string::npos && scheme < t.find('/')) {
    size_t slash = t.find('/', scheme + 3);
    t = slash == std::string::npos ? "/" : t.substr(slash);
  }
  size_t q = t.find('?');
  if (q != std::string::npos) t.resize(q);
  return t;
}

std::string TargetWithoutAuthority(const std::string& target) {
  size_t scheme = target.find("://");
  if (scheme != std::string::npos && scheme < target.find('/')) {
    size_t slash = target.find('/', scheme + 3);
    return slash == std::string::npos ? "/" : target.substr(slash);
  }
  return target;
}

// Whether an If-None-Match list names the tag, compared weakly (W/ ignored).
bool NamesTag(const std::string& ifNoneMatch, const std::string& tag) {
  auto opaque = [](std::string t) {
    size_t b = t.find_first_not_of(" \t"), e = t.find_last_not_of(" \t");
    t = b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
    if (t.rfind("W/", 0) == 0) t.erase(0, 2);
    return t;
  };
  size_t start = 0;
  while (start <= ifNoneMatch.size()) {
    size_t comma = ifNoneMatch.find(',', start);
    if (comma == std::string::npos) comma = ifNoneMatch.size();
    std::string one = opaque(ifNoneMatch.substr(start, comma - start));
    if (one == "*" || one == opaque(tag)) return true;
    start = comma + 1;
  }
  return false;
}

std::string Compress(const std::string& data, bool gzip) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 15 + 16 : 15, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

struct Generated {
  size_t total;
};

ssize_t GenerateBytes(void* cls, uint64_t pos, char* buf, size_t max) {
  auto* g = static_cast<Generated*>(cls);
  if (pos >= g->total) return MHD_CONTENT_READER_END_OF_STREAM;
  size_t n = std::min<uint64_t>(max, g->total - pos);
  std::memset(buf, 'x', n);
  return static_cast<ssize_t>(n);
}

void FreeGenerated(void* cls) { delete static_cast<Generated*>(cls); }

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* headers = static_cast<std::vector<std::pair<std::string, std::string>>*>(cls);
  headers->emplace_back(key ? key : "", value ? value : "");
  return MHD_YES;
}

}  // namespace

std::string SeenRequest::Header(std::string_view name) const {
  for (const auto& [k, v] : headers)
    if (SameNoCase(k, name)) return v;
  return {};
}

bool SeenRequest::HasHeader(std::string_view name) const {
  for (const auto& h : headers)
    if (SameNoCase(h.first, name)) return true;
  return false;
}

struct FeedServerCallbacks {
  struct Drip {
    FeedServer* server;
    std::string body;
    std::chrono::milliseconds interval;
  };
  static ssize_t DripByte(void* cls, uint64_t pos, char* buf, size_t max) {
    auto* d = static_cast<Drip*>(cls);
    if (pos >= d->body.size()) return MHD_CONTENT_READER_END_OF_STREAM;
    if (pos > 0 && !d->server->Wait(d->interval)) return MHD_CONTENT_READER_END_WITH_ERROR;
    if (max == 0) return 0;
    buf[0] = d->body[static_cast<size_t>(pos)];
    return 1;
  }
  static void FreeDrip(void* cls) { delete static_cast<Drip*>(cls); }

  static void* OnUri(void* self, const char* uri, MHD_Connection*) {
    return new std::string(uri ? uri : "");
  }
  static void OnCompleted(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
    delete static_cast<std::string*>(*state);
    *state = nullptr;
  }
  static MHD_Result OnRequest(void* cls, MHD_Connection* conn, const char* url,
                              const char* method, const char*, const char*,
                              size_t* uploadSize, void** state) {
    auto* self = static_cast<FeedServer*>(cls);
    if (*uploadSize != 0) {  // request bodies are not used: drop them
      *uploadSize = 0;
      return MHD_YES;
    }
    std::string raw = *state ? *static_cast<std::string*>(*state) : std::string(url);
    std::string ims, inm;
    std::unique_ptr<FeedRoute> route = self->Take(conn, raw, method, ims, inm);
    bool notModified = false;
    if (route && !inm.empty())
      notModified = !route->etag.empty() && NamesTag(inm, route->etag);
    else if (route)
      notModified = !route->lastModified.empty() && ims == route->lastModified;

    MHD_Response* response = nullptr;
    int status = 404;
    if (!route) {
      static const char kNotFound[] = "not found";
      response = MHD_create_response_from_buffer(sizeof kNotFound - 1, const_cast<char*>(kNotFound),
                                                 MHD_RESPMEM_PERSISTENT);
    } else if (notModified) {
      status = 304;
      response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
      if (!route->lastModified.empty())
        MHD_add_response_header(response, "Last-Modified", route->lastModified.c_str());
      if (!route->etag.empty()) MHD_add_response_header(response, "ETag", route->etag.c_str());
    } else {
      status = route->status;
      if (route->drip.count() > 0) {
        response = MHD_create_response_from_callback(
            route->body.size(), 1, &FeedServerCallbacks::DripByte,
            new FeedServerCallbacks::Drip{self, route->body, route->drip}, &FeedServerCallbacks::FreeDrip);
      } else if (route->generatedBytes) {
        response = MHD_create_response_from_callback(
            route->chunked ? MHD_SIZE_UNKNOWN : route->generatedBytes, 64 * 1024, &GenerateBytes,
            new Generated{route->generatedBytes}, &FreeGenerated);
      } else {
        std::string body = route->body;
        if (route->coding != FeedRoute::Coding::Identity)
          body = Compress(body, route->coding == FeedRoute::Coding::Gzip);
        response = MHD_create_response_from_buffer(body.size(), body.data(), MHD_RESPMEM_MUST_COPY);
        if (route->coding == FeedRoute::Coding::Gzip)
          MHD_add_response_header(response, "Content-Encoding", "gzip");
        if (route->coding == FeedRoute::Coding::Deflate)
          MHD_add_response_header(response, "Content-Encoding", "deflate");
      }
      MHD_add_response_header(response, "Content-Type", route->contentType.c_str());
      if (!route->lastModified.empty())
        MHD_add_response_header(response, "Last-Modified", route->lastModified.c_str());
      if (!route->etag.empty()) MHD_add_response_header(response, "ETag", route->etag.c_str());
      for (const auto& [k, v] : route->headers) MHD_add_response_header(response, k.c_str(), v.c_str());
    }
    MHD_Result rc = MHD_queue_response(conn, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    self->Finished();
    return rc;
  }
};

FeedServer::FeedServer() {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = 0;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon_ = MHD_start_daemon(
      MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, 0, nullptr, nullptr,
      &FeedServerCallbacks::OnRequest, this,
      MHD_OPTION_SOCK_ADDR, &addr,
      MHD_OPTION_URI_LOG_CALLBACK, &FeedServerCallbacks::OnUri, this,
      MHD_OPTION_NOTIFY_COMPLETED, &FeedServerCallbacks::OnCompleted, this,
      MHD_OPTION_CONNECTION_TIMEOUT, 30u,
      MHD_OPTION_END);
  if (!daemon_) throw std::runtime_error("feed server: cannot listen on 127.0.0.1");
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : 0;
  if (port_ == 0) {
    MHD_stop_daemon(daemon_);
    throw std::runtime_error("feed server: no port");
  }
}

FeedServer::~FeedServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopCv_.notify_all();
  MHD_stop_daemon(daemon_);
}

std::string FeedServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void FeedServer::Route(const std::string& path, FeedRoute route) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(route);
}

void FeedServer::Serve(const std::string& path, std::string body, std::string contentType) {
  FeedRoute r;
  r.body = std::move(body);
  r.contentType = std::move(contentType);
  Route(path, std::move(r));
}

void FeedServer::Redirect(const std::string& path, int status, const std::string& location) {
  FeedRoute r;
  r.status = status;
  r.contentType = "text/html";
  r.body = "moved";
  r.headers.emplace_back("Location", location);
  Route(path, std::move(r));
}

std::unique_ptr<FeedRoute> FeedServer::Take(MHD_Connection* conn, const std::string& rawTarget,
                                            const char* method, std::string& ifModifiedSince,
                                            std::string& ifNoneMatch) {
  SeenRequest seen;
  seen.method = method ? method : "";
  seen.target = rawTarget;
  seen.path = PathOf(rawTarget);
  MHD_get_connection_values(conn, MHD_HEADER_KIND, &CollectHeader, &seen.headers);
  ifModifiedSince = seen.Header("If-Modified-Since");
  ifNoneMatch = seen.Header("If-None-Match");

  std::unique_ptr<FeedRoute> route;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++inFlight_;
    maxInFlight_ = std::max(maxInFlight_, inFlight_);
    auto it = routes_.find(TargetWithoutAuthority(rawTarget));
    if (it == routes_.end()) it = routes_.find(seen.path);
    if (it != routes_.end()) route = std::make_unique<FeedRoute>(it->second);
    log_.push_back(std::move(seen));
  }
  if (route && route->delay.count() > 0) Wait(route->delay);
  return route;
}

void FeedServer::Finished() {
  std::lock_guard<std::mutex> lock(mutex_);
  --inFlight_;
}

bool FeedServer::Wait(std::chrono::milliseconds d) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopCv_.wait_for(lock, d, [this] { return stopping_; });
}

std::vector<SeenRequest> FeedServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

size_t FeedServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_.size();
}

size_t FeedServer::RequestCount(std::string_view path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(
      std::count_if(log_.begin(), log_.end(), [&](const SeenRequest& r) { return r.path == path; }));
}

void FeedServer::ClearLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

int FeedServer::InFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inFlight_;
}

int FeedServer::MaxInFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maxInFlight_;
}

std::string EncodeBody(std::string_view utf8, BodyCode code) {
  const char* to = nullptr;
  switch (code) {
    case BodyCode::Utf8: return std::string(utf8);
    case BodyCode::Utf8Mark: return "\xEF\xBB\xBF" + std::string(utf8);
    case BodyCode::ShiftJis: to = "CP932"; break;
    case BodyCode::EucJp: to = "EUC-JP"; break;
    case BodyCode::Iso2022Jp: to = "ISO-2022-JP"; break;
  }
  IconvCodec codec(to, "UTF-8");
  if (!codec.ok()) throw std::runtime_error(std::string("iconv lacks ") + to);
  return codec.Convert(utf8, [](std::string_view, std::string&) -> size_t {
    throw std::runtime_error("test text has no form in the chosen code");
  });
}

std::string Sjis(std::string_view utf8) { return Utf8ToSjis(utf8); }

}  // namespace norvane::test
