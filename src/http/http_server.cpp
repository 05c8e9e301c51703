#include "http/http_server.h"

#include "core/allocator_tuning.h"
#include "core/header_value.h"
#include "core/url_helpers.h"
#include "http/file_validators.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace norvane {

namespace {

// Bounds that keep idle or slow clients from pinning threads for ever.
constexpr unsigned kIdleTimeoutSeconds = 30;
constexpr unsigned kListenBacklog = 20;
constexpr size_t kMaxBody = 1 << 20;
// The engine's buffer for a body sent in chunks.
constexpr size_t kStreamBlock = 64 * 1024;
// A multipart body: its files, and room for boundaries, part headers and small fields.
constexpr size_t kMaxMultipartBody = kMaxUploadBytes + (256u << 10);
constexpr size_t kMaxFormFieldBytes = 64u << 10;  // the text fields of one form, together
constexpr size_t kMaxFormParts = 64;
constexpr size_t kPostBufferBytes = 8u << 10;
// How long Stop waits for requests in progress.
constexpr auto kStopWait = std::chrono::seconds(10);

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Standard base64 with its padding, nothing skipped: any other character, a misplaced
// "=", a length that is no multiple of four or stray bits in the last digit make the
// whole value invalid.
std::optional<std::string> DecodeBase64(std::string_view in) {
  if (in.empty() || in.size() % 4 != 0) return std::nullopt;
  size_t pad = 0;
  if (in.back() == '=') pad = in[in.size() - 2] == '=' ? 2 : 1;
  std::string out;
  unsigned val = 0;
  int bits = 0;
  for (size_t i = 0; i < in.size() - pad; ++i) {
    int d = Base64Digit(in[i]);
    if (d < 0) return std::nullopt;
    val = (val << 6) | static_cast<unsigned>(d);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((val >> bits) & 0xFF));
      val &= (1u << bits) - 1;
    }
  }
  if (val != 0) return std::nullopt;
  return out;
}

// "Basic" (any letter case), spaces, then user:password in base64. A value that is not
// exactly that leaves both empty, which no configured credentials match.
void ParseBasicAuth(const std::string& header, std::string& user, std::string& password) {
  std::string_view h(header);
  if (h.size() < 6 || !SameAsciiName(h.substr(0, 5), "basic") || h[5] != ' ') return;
  h.remove_prefix(6);
  while (!h.empty() && h.front() == ' ') h.remove_prefix(1);
  while (!h.empty() && (h.back() == ' ' || h.back() == '\t')) h.remove_suffix(1);
  std::optional<std::string> decoded = DecodeBase64(h);
  if (!decoded) return;
  size_t colon = decoded->find(':');
  if (colon == std::string::npos) return;
  user = decoded->substr(0, colon);
  password = decoded->substr(colon + 1);
}

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  static_cast<HeaderList*>(cls)->emplace_back(key ? key : "", value ? value : "");
  return MHD_YES;
}

std::string DottedAddress(const sockaddr* addr) {
  if (!addr || addr->sa_family != AF_INET) return {};
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(addr)->sin_addr, dotted, sizeof dotted);
  return dotted;
}

std::string ClientAddress(MHD_Connection* con) {
  const MHD_ConnectionInfo* ci = MHD_get_connection_info(con, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  return ci ? DottedAddress(ci->client_addr) : std::string();
}

}  // namespace

// The engine's callbacks, with the engine's own signatures.
struct HttpServerCallbacks {
  static MHD_Result OnAccept(void* cls, const sockaddr* addr, socklen_t addrlen);
  static void OnConnection(void* cls, MHD_Connection* connection, void** socketContext,
                           MHD_ConnectionNotificationCode code);
  static void* OnUri(void* cls, const char* uri, MHD_Connection* connection);
  static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url,
                              const char* method, const char* version, const char* uploadData,
                              size_t* uploadSize, void** reqCls);
  static void OnCompleted(void* cls, MHD_Connection* connection, void** reqCls,
                          MHD_RequestTerminationCode toe);
  static MHD_Result OnFormData(void* cls, MHD_ValueKind kind, const char* key, const char* filename,
                               const char* contentType, const char* transferEncoding, const char* data,
                               uint64_t off, size_t size);
};

std::string HttpRequest::Header(const std::string& name) const {
  for (const auto& [k, v] : headers)
    if (SameAsciiName(k, name)) return v;
  return {};
}

// Per-request state, from the URI callback to the completion callback.
struct HttpServer::Context {
  struct PostDeleter {
    void operator()(MHD_PostProcessor* p) const { MHD_destroy_post_processor(p); }
  };
  std::string rawUri;
  std::string body;
  bool started = false;
  bool tooLarge = false;
  // A multipart/form-data body goes through the engine's post processor into parts.
  std::unique_ptr<MHD_PostProcessor, PostDeleter> form;
  std::vector<FormPart> parts;
  size_t received = 0, fileBytes = 0, fieldBytes = 0;
  bool formBroken = false;

  // Whether the multipart body ended as its boundaries say; the processor is gone then.
  bool FinishForm() {
    MHD_PostProcessor* p = form.release();
    return !p || MHD_destroy_post_processor(p) == MHD_YES;
  }
};

MHD_Result HttpServerCallbacks::OnFormData(void* cls, MHD_ValueKind, const char* key, const char* filename,
                                           const char* contentType, const char*, const char* data,
                                           uint64_t off, size_t size) {
  auto* ctx = static_cast<HttpServer::Context*>(cls);
  const std::string name = key ? key : "";
  const bool isFile = filename != nullptr;
  // A value comes in pieces: a new part starts at offset 0 (the engine may first report
  // an empty piece of the same part).
  std::vector<FormPart>& parts = ctx->parts;
  const bool same = !parts.empty() && parts.back().name == name && parts.back().isFile == isFile &&
                    parts.back().value.empty();
  if (off == 0 && !same) {
    if (parts.size() >= kMaxFormParts) {
      ctx->tooLarge = true;
      return MHD_NO;
    }
    FormPart part;
    part.name = name;
    part.isFile = isFile;
    if (filename) part.fileName = filename;
    if (contentType) part.contentType = contentType;
    parts.push_back(std::move(part));
  }
  if (size == 0) return MHD_YES;
  size_t& used = isFile ? ctx->fileBytes : ctx->fieldBytes;
  if (used + size > (isFile ? kMaxUploadBytes : kMaxFormFieldBytes)) {
    ctx->tooLarge = true;
    return MHD_NO;
  }
  used += size;
  parts.back().value.append(data, size);
  return MHD_YES;
}

void HttpServer::DaemonDeleter::operator()(MHD_Daemon* d) const { MHD_stop_daemon(d); }

HttpServer::HttpServer(Handler handler, std::string serverName, LocalTest isLocal,
                       ConnectionLimits limits)
    : handler_(std::move(handler)),
      serverName_(std::move(serverName)),
      isLocal_(isLocal ? std::move(isLocal) : [](const std::string& a) { return a == "127.0.0.1"; }),
      limits_(limits) {
  if (limits_.localReserve >= limits_.total) limits_.localReserve = limits_.total / 2;
}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::listening() const { return daemon_ != nullptr; }

int HttpServer::InFlight() const {
  std::lock_guard lock(m_);
  return inFlight_;
}

int HttpServer::OutsideConnections() const {
  std::lock_guard lock(peersMutex_);
  return static_cast<int>(peers_.size());
}

bool HttpServer::MayAccept(const std::string& address) {
  if (isLocal_(address)) return true;
  std::lock_guard lock(peersMutex_);
  if (peers_.size() >= limits_.total - limits_.localReserve) return false;
  auto it = perAddress_.find(address);
  return it == perAddress_.end() || it->second < limits_.perOutsideAddress;
}

void HttpServer::Opened(MHD_Connection* connection) {
  std::string address = ClientAddress(connection);
  if (isLocal_(address)) return;
  const MHD_ConnectionInfo* ci = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  std::lock_guard lock(peersMutex_);
  Peer& peer = peers_[connection];
  peer.address = address;
  peer.fd = ci ? ci->connect_fd : -1;
  peer.headerDeadline = std::chrono::steady_clock::now() + limits_.headerTimeout;
  ++perAddress_[address];
  peersChanged_.notify_all();
}

void HttpServer::Closed(MHD_Connection* connection) {
  std::lock_guard lock(peersMutex_);
  auto it = peers_.find(connection);
  if (it == peers_.end()) return;
  auto count = perAddress_.find(it->second.address);
  if (count != perAddress_.end() && --count->second == 0) perAddress_.erase(count);
  peers_.erase(it);
}

void HttpServer::AwaitHeaders(MHD_Connection* connection, bool waiting) {
  std::lock_guard lock(peersMutex_);
  auto it = peers_.find(connection);
  if (it == peers_.end()) return;
  if (waiting) {
    it->second.headerDeadline = std::chrono::steady_clock::now() + limits_.headerTimeout;
    peersChanged_.notify_all();
  } else {
    it->second.headerDeadline.reset();
  }
}

void HttpServer::WatchHeaders() {
  std::unique_lock lock(peersMutex_);
  while (watching_) {
    auto now = std::chrono::steady_clock::now();
    if (idleAt_ && *idleAt_ <= now) {
      idleAt_.reset();
      std::function<void()> task = idleTask_;
      lock.unlock();
      // A request that began since waits for the next idle time.
      if (task && InFlight() == 0) {
        task();
        ReleaseFreedMemory();
      }
      lock.lock();
      now = std::chrono::steady_clock::now();
    }
    std::optional<std::chrono::steady_clock::time_point> next = idleAt_;
    for (auto& [connection, peer] : peers_) {
      if (!peer.headerDeadline) continue;
      if (*peer.headerDeadline <= now) {
        // The engine closes the socket only after it reported the connection closed,
        // which takes this lock: the descriptor is still this connection's. Shutting it
        // down wakes the connection's thread, which then ends the connection.
        if (peer.fd >= 0) shutdown(peer.fd, SHUT_RDWR);
        peer.headerDeadline.reset();
      } else if (!next || *peer.headerDeadline < *next) {
        next = peer.headerDeadline;
      }
    }
    if (next) peersChanged_.wait_until(lock, *next);
    else peersChanged_.wait(lock);
  }
}

void HttpServer::StopWatch() {
  {
    std::lock_guard lock(peersMutex_);
    watching_ = false;
    peersChanged_.notify_all();
  }
  if (watch_.joinable()) watch_.join();
}

void HttpServer::Listen(int port) {
  Stop();
  if (port < 0 || port > 65535) throw std::runtime_error("invalid port " + std::to_string(port));
  {
    std::lock_guard lock(peersMutex_);
    watching_ = true;
  }
  watch_ = std::thread([this] { WatchHeaders(); });
  MHD_Daemon* d = MHD_start_daemon(
      MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ITC,
      static_cast<uint16_t>(port), &HttpServerCallbacks::OnAccept, this,
      &HttpServerCallbacks::OnRequest, this,
      MHD_OPTION_URI_LOG_CALLBACK, &HttpServerCallbacks::OnUri, this,
      MHD_OPTION_NOTIFY_COMPLETED, &HttpServerCallbacks::OnCompleted, this,
      MHD_OPTION_NOTIFY_CONNECTION, &HttpServerCallbacks::OnConnection, this,
      MHD_OPTION_LISTEN_BACKLOG_SIZE, kListenBacklog,
      MHD_OPTION_CONNECTION_LIMIT, limits_.total,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeoutSeconds,
      MHD_OPTION_END);
  if (!d) {
    StopWatch();
    throw std::runtime_error("port " + std::to_string(port) + " cannot be opened (in use?)");
  }
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
  StopWatch();
}

MHD_Result HttpServerCallbacks::OnAccept(void* cls, const sockaddr* addr, socklen_t /*addrlen*/) {
  return static_cast<HttpServer*>(cls)->MayAccept(DottedAddress(addr)) ? MHD_YES : MHD_NO;
}

void HttpServerCallbacks::OnConnection(void* cls, MHD_Connection* connection, void** /*socketContext*/,
                                       MHD_ConnectionNotificationCode code) {
  auto* self = static_cast<HttpServer*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) self->Opened(connection);
  else self->Closed(connection);
}

void HttpServer::Began() {
  std::lock_guard lock(m_);
  ++inFlight_;
}

void HttpServer::Ended() {
  bool idle = false;
  {
    std::lock_guard lock(m_);
    idle = --inFlight_ == 0;
    if (idle) idle_.notify_all();
  }
  // What the last request in progress freed goes back to the system: a page's memory
  // would otherwise stay with the process until the next one.
  if (!idle) return;
  ReleaseFreedMemory();
  std::lock_guard lock(peersMutex_);
  if (idleTask_) {
    idleAt_ = std::chrono::steady_clock::now() + idleAfter_;
    peersChanged_.notify_all();
  }
}

void HttpServer::SetIdleTask(std::function<void()> task, std::chrono::milliseconds after) {
  std::lock_guard lock(peersMutex_);
  idleTask_ = std::move(task);
  idleAfter_ = after;
  idleAt_.reset();
}

// The body of an answer that comes from a BodySource: the piece at hand and how much of
// it was sent. It counts as a request in progress until it is destroyed, which the
// engine does once the answer ended, sent or not.
struct HttpServer::Stream {
  Stream(HttpServer& owner, std::unique_ptr<BodySource> body)
      : server(owner), source(std::move(body)) {
    server.Began();
  }
  ~Stream() {
    source.reset();  // its work ends before the server may count it done
    server.Ended();
  }
  // The engine's reader: copies what it can of the next pieces into buf.
  static ssize_t Read(void* cls, uint64_t /*pos*/, char* buf, size_t max) {
    auto* self = static_cast<Stream*>(cls);
    try {
      while (self->at == self->piece.size()) {
        self->at = 0;
        if (!self->source->Next(self->piece)) return MHD_CONTENT_READER_END_OF_STREAM;
      }
    } catch (const std::exception&) {
      return MHD_CONTENT_READER_END_WITH_ERROR;
    }
    const size_t n = std::min(max, self->piece.size() - self->at);
    std::memcpy(buf, self->piece.data() + self->at, n);
    self->at += n;
    return static_cast<ssize_t>(n);
  }

  HttpServer& server;
  std::unique_ptr<BodySource> source;
  std::string piece;
  size_t at = 0;
};

void* HttpServerCallbacks::OnUri(void* cls, const char* uri, MHD_Connection* /*connection*/) {
  auto* self = static_cast<HttpServer*>(cls);
  self->Began();
  auto ctx = std::make_unique<HttpServer::Context>();
  ctx->rawUri = uri ? uri : "";
  return ctx.release();  // owned by the connection until OnCompleted
}

void HttpServerCallbacks::OnCompleted(void* cls, MHD_Connection* connection, void** reqCls,
                                      MHD_RequestTerminationCode /*toe*/) {
  auto* self = static_cast<HttpServer*>(cls);
  std::unique_ptr<HttpServer::Context> ctx(static_cast<HttpServer::Context*>(*reqCls));
  *reqCls = nullptr;
  // The next request on this connection must send its header in time as well.
  self->AwaitHeaders(connection, true);
  if (ctx) self->Ended();
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
    self->AwaitHeaders(connection, false);  // the header is complete
    const char* type = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_TYPE);
    if (method && std::string_view(method) == "POST" && type &&
        SameAsciiName(std::string_view(type).substr(0, 19), "multipart/form-data")) {
      ctx->form.reset(MHD_create_post_processor(connection, kPostBufferBytes, &HttpServerCallbacks::OnFormData, ctx));
      ctx->formBroken = !ctx->form;  // no boundary: nothing of the body can be read
    }
    return MHD_YES;
  }
  if (*uploadSize != 0) {
    if (ctx->form || ctx->formBroken) {
      // Past the bound, or after a part that broke it, the rest is only read off the wire.
      ctx->received += *uploadSize;
      if (ctx->received > kMaxMultipartBody) ctx->tooLarge = true;
      if (ctx->form && !ctx->tooLarge && !ctx->formBroken &&
          MHD_post_process(ctx->form.get(), uploadData, *uploadSize) != MHD_YES && !ctx->tooLarge)
        ctx->formBroken = true;
    } else if (ctx->body.size() + *uploadSize > kMaxBody) {
      ctx->tooLarge = true;
    } else {
      ctx->body.append(uploadData, *uploadSize);
    }
    *uploadSize = 0;
    return MHD_YES;
  }
  return static_cast<MHD_Result>(
      self->Answer(connection, *ctx, method ? method : "", version ? version : ""));
}

HttpRequest MakeHttpRequest(std::string clientAddress, std::string method, std::string version,
                            std::string rawTarget, HeaderList headers, std::string body) {
  HttpRequest req;
  req.clientAddress = std::move(clientAddress);
  req.method = std::move(method);
  req.version = std::move(version);
  req.rawTarget = std::move(rawTarget);
  req.headers = std::move(headers);
  req.body = std::move(body);
  size_t q = req.rawTarget.find('?');
  req.path = PercentDecodeKeep(std::string_view(req.rawTarget).substr(0, q));
  if (q != std::string::npos) req.rawQuery = req.rawTarget.substr(q + 1);
  ParseBasicAuth(req.Header("Authorization"), req.authUser, req.authPassword);
  return req;
}

void RunHandler(const RequestHandler& handler, const HttpRequest& req, HttpResponse& res) {
  try {
    handler(req, res);
  } catch (const std::exception& e) {
    res = HttpResponse{};
    res.status = 500;
    res.contentType = "text/plain";
    res.body = e.what();
  }
}

int HttpServer::Answer(void* connection, Context& ctx, const char* method, const char* version) {
  auto* con = static_cast<MHD_Connection*>(connection);
  HeaderList headers;
  MHD_get_connection_values(con, MHD_HEADER_KIND, &CollectHeader, &headers);
  HttpRequest req = MakeHttpRequest(ClientAddress(con), method, version, ctx.rawUri,
                                    std::move(headers), std::move(ctx.body));
  HttpResponse res;
  const bool formComplete = ctx.FinishForm();
  if (ctx.tooLarge) {
    req.bodyTooLarge = true;  // the router says so; nothing of the body is given
    req.body.clear();
  } else {
    req.bodyIncomplete = ctx.formBroken || !formComplete;
    if (!req.bodyIncomplete) req.formParts = std::move(ctx.parts);
  }
  RunHandler(handler_, req, res);

  MHD_Response* r = nullptr;
  if (!res.filePath.empty()) {
    int fd = open(res.filePath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      // Validators from the very file that is sent; browsers revalidate on every use
      // (no-cache), as the style folder behind an address can change.
      const FileValidators v = ValidatorsOf(st, time(nullptr));
      res.headers.emplace_back("ETag", v.etag);
      if (!v.lastModified.empty()) res.headers.emplace_back("Last-Modified", v.lastModified);
      res.headers.emplace_back("Cache-Control", "no-cache");
      const bool conditional = req.method == "GET" || req.method == "HEAD";
      if (conditional && res.status == 200 &&
          ClientHoldsFile(req.Header("If-None-Match"), req.Header("If-Modified-Since"), v)) {
        // The engine sends no body with a 304; the file's own length stays the one told.
        res.status = MHD_HTTP_NOT_MODIFIED;
        res.contentType.clear();
      }
      r = MHD_create_response_from_fd(static_cast<uint64_t>(st.st_size), fd);  // owns fd
      if (!r) close(fd);
    } else {
      if (fd >= 0) close(fd);
      res.status = 404;
      res.contentType.clear();
      res.headers.clear();
      res.body.clear();
    }
  }
  if (!r && res.stream) {
    // Sent in chunks of the engine's own size as the source gives them.
    auto* stream = new Stream(*this, std::move(res.stream));
    r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kStreamBlock, &Stream::Read, stream,
                                          [](void* owned) { delete static_cast<Stream*>(owned); });
    if (!r) delete stream;
  }
  if (!r) {
    if (res.status == 404 && res.body.empty()) res.body = "404 Not Found";
    // The engine takes the body as it is (no copy: a group page can be large) and frees
    // it when it was sent.
    auto* body = new std::string(std::move(res.body));
    r = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), [](void* owned) { delete static_cast<std::string*>(owned); }, body);
    if (!r) delete body;
  }
  if (!r) return MHD_NO;
  auto add = [r](const std::string& name, const std::string& value) {
    MHD_add_response_header(r, CleanHeaderValue(name).c_str(), CleanHeaderValue(value).c_str());
  };
  add("Server", serverName_);
  add("X-Content-Type-Options", "nosniff");
  if (!res.contentType.empty()) add("Content-Type", res.contentType);
  for (const auto& [k, v] : res.headers)
    if (!SameAsciiName(k, "X-Content-Type-Options")) add(k, v);
  if (res.status == 401 && !res.authRealm.empty()) add("WWW-Authenticate", "Basic realm=\"" + res.authRealm + "\"");
  MHD_Result rc = MHD_queue_response(con, static_cast<unsigned>(res.status), r);
  MHD_destroy_response(r);
  return rc;
}

}  // namespace norvane
