#include "http/http_server.h"

#include "core/url_helpers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace norvane {

namespace {

// Bounds that keep idle or slow clients from pinning threads for ever.
constexpr unsigned kConnectionLimit = 256;
constexpr unsigned kIdleTimeoutSeconds = 30;
constexpr unsigned kListenBacklog = 20;
constexpr size_t kMaxBody = 1 << 20;
// How long Stop waits for requests in progress.
constexpr auto kStopWait = std::chrono::seconds(10);

std::string Base64Decode(const std::string& in) {
  std::string out;
  int val = 0, bits = -8;
  for (char c : in) {
    int d;
    if (c >= 'A' && c <= 'Z') d = c - 'A';
    else if (c >= 'a' && c <= 'z') d = c - 'a' + 26;
    else if (c >= '0' && c <= '9') d = c - '0' + 52;
    else if (c == '+') d = 62;
    else if (c == '/') d = 63;
    else if (c == '=') break;
    else continue;
    val = (val << 6) | d;
    bits += 6;
    if (bits >= 0) {
      out.push_back(static_cast<char>((val >> bits) & 0xFF));
      bits -= 8;
    }
  }
  return out;
}

void ParseBasicAuth(const std::string& header, std::string& user, std::string& password) {
  if (header.size() < 6 || !SameAsciiName(header.substr(0, 6), "basic ")) return;
  std::string decoded = Base64Decode(header.substr(6));
  size_t colon = decoded.find(':');
  if (colon == std::string::npos) return;
  user = decoded.substr(0, colon);
  password = decoded.substr(colon + 1);
}

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  static_cast<HeaderList*>(cls)->emplace_back(key ? key : "", value ? value : "");
  return MHD_YES;
}

}  // namespace

// The engine's callbacks, with the engine's own signatures.
struct HttpServerCallbacks {
  static void* OnUri(void* cls, const char* uri, MHD_Connection* connection);
  static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url,
                              const char* method, const char* version, const char* uploadData,
                              size_t* uploadSize, void** reqCls);
  static void OnCompleted(void* cls, MHD_Connection* connection, void** reqCls,
                          MHD_RequestTerminationCode toe);
};

std::string HttpRequest::Header(const std::string& name) const {
  for (const auto& [k, v] : headers)
    if (SameAsciiName(k, name)) return v;
  return {};
}

// Per-request state, from the URI callback to the completion callback.
struct HttpServer::Context {
  std::string rawUri;
  std::string body;
  bool started = false;
  bool tooLarge = false;
};

void HttpServer::DaemonDeleter::operator()(MHD_Daemon* d) const { MHD_stop_daemon(d); }

HttpServer::HttpServer(Handler handler, std::string serverName)
    : handler_(std::move(handler)), serverName_(std::move(serverName)) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::listening() const { return daemon_ != nullptr; }

int HttpServer::InFlight() const {
  std::lock_guard lock(m_);
  return inFlight_;
}

void HttpServer::Listen(int port) {
  Stop();
  if (port < 0 || port > 65535) throw std::runtime_error("invalid port " + std::to_string(port));
  MHD_Daemon* d = MHD_start_daemon(
      MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ITC,
      static_cast<uint16_t>(port), nullptr, nullptr,
      &HttpServerCallbacks::OnRequest, this,
      MHD_OPTION_URI_LOG_CALLBACK, &HttpServerCallbacks::OnUri, this,
      MHD_OPTION_NOTIFY_COMPLETED, &HttpServerCallbacks::OnCompleted, this,
      MHD_OPTION_LISTEN_BACKLOG_SIZE, kListenBacklog,
      MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeoutSeconds,
      MHD_OPTION_END);
  if (!d) throw std::runtime_error("port " + std::to_string(port) + " cannot be opened (in use?)");
  daemon_.reset(d);
  const MHD_DaemonInfo* info = MHD_get_daemon_info(d, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : port;
}

void HttpServer::Stop() {
  if (!daemon_) return;
  MHD_socket listen = MHD_quiesce_daemon(daemon_.get());
  {
    std::unique_lock lock(m_);
    idle_.wait_for(lock, kStopWait, [this] { return inFlight_ == 0; });
  }
  daemon_.reset();
  if (listen != MHD_INVALID_SOCKET) close(listen);
}

void* HttpServerCallbacks::OnUri(void* cls, const char* uri, MHD_Connection* /*connection*/) {
  auto* self = static_cast<HttpServer*>(cls);
  {
    std::lock_guard lock(self->m_);
    ++self->inFlight_;
  }
  auto ctx = std::make_unique<HttpServer::Context>();
  ctx->rawUri = uri ? uri : "";
  return ctx.release();  // owned by the connection until OnCompleted
}

void HttpServerCallbacks::OnCompleted(void* cls, MHD_Connection* /*connection*/, void** reqCls,
                                      MHD_RequestTerminationCode /*toe*/) {
  auto* self = static_cast<HttpServer*>(cls);
  std::unique_ptr<HttpServer::Context> ctx(static_cast<HttpServer::Context*>(*reqCls));
  *reqCls = nullptr;
  if (!ctx) return;
  std::lock_guard lock(self->m_);
  if (--self->inFlight_ == 0) self->idle_.notify_all();
}

MHD_Result HttpServerCallbacks::OnRequest(void* cls, MHD_Connection* connection,
                                          const char* /*url*/, const char* method,
                                          const char* version, const char* uploadData,
                                          size_t* uploadSize, void** reqCls) {
  auto* self = static_cast<HttpServer*>(cls);
  auto* ctx = static_cast<HttpServer::Context*>(*reqCls);
  if (!ctx) return MHD_NO;
  if (!ctx->started) {
    ctx->started = true;
    return MHD_YES;
  }
  if (*uploadSize != 0) {
    if (ctx->body.size() + *uploadSize > kMaxBody) ctx->tooLarge = true;
    else ctx->body.append(uploadData, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  return static_cast<MHD_Result>(
      self->Answer(connection, *ctx, method ? method : "", version ? version : ""));
}

int HttpServer::Answer(void* connection, Context& ctx, const char* method, const char* version) {
  auto* con = static_cast<MHD_Connection*>(connection);
  HttpRequest req;
  HttpResponse res;

  const MHD_ConnectionInfo* ci = MHD_get_connection_info(con, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (ci && ci->client_addr && ci->client_addr->sa_family == AF_INET) {
    char dotted[INET_ADDRSTRLEN] = {};
    auto* sin = reinterpret_cast<const sockaddr_in*>(ci->client_addr);
    inet_ntop(AF_INET, &sin->sin_addr, dotted, sizeof dotted);
    req.clientAddress = dotted;
  }
  MHD_get_connection_values(con, MHD_HEADER_KIND, &CollectHeader, &req.headers);
  req.method = method;
  req.version = version;
  req.rawTarget = ctx.rawUri;
  size_t q = req.rawTarget.find('?');
  req.path = PercentDecodeKeep(req.rawTarget.substr(0, q));
  if (q != std::string::npos) req.rawQuery = req.rawTarget.substr(q + 1);
  req.body = std::move(ctx.body);
  ParseBasicAuth(req.Header("Authorization"), req.authUser, req.authPassword);

  if (ctx.tooLarge) {
    res.status = MHD_HTTP_CONTENT_TOO_LARGE;
  } else {
    try {
      handler_(req, res);
    } catch (const std::exception& e) {
      // An error that escapes the handler: 500 with its message.
      res = HttpResponse{};
      res.status = 500;
      res.contentType = "text/plain";
      res.body = e.what();
    }
  }

  MHD_Response* r = nullptr;
  if (!res.filePath.empty()) {
    int fd = open(res.filePath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      r = MHD_create_response_from_fd(static_cast<uint64_t>(st.st_size), fd);  // owns fd
      if (!r) close(fd);
    } else {
      if (fd >= 0) close(fd);
      res.status = 404;
      res.contentType.clear();
      res.headers.clear();
    }
  }
  if (!r) {
    if (res.status == 404 && res.body.empty()) res.body = "404 Not Found";
    r = MHD_create_response_from_buffer(res.body.size(), res.body.data(), MHD_RESPMEM_MUST_COPY);
  }
  if (!r) return MHD_NO;
  MHD_add_response_header(r, "Server", serverName_.c_str());
  if (!res.contentType.empty()) MHD_add_response_header(r, "Content-Type", res.contentType.c_str());
  for (const auto& [k, v] : res.headers) MHD_add_response_header(r, k.c_str(), v.c_str());
  if (res.status == 401 && !res.authRealm.empty()) {
    std::string challenge = "Basic realm=\"" + res.authRealm + "\"";
    MHD_add_response_header(r, "WWW-Authenticate", challenge.c_str());
  }
  MHD_Result rc = MHD_queue_response(con, static_cast<unsigned>(res.status), r);
  MHD_destroy_response(r);
  return rc;
}

}  // namespace norvane
