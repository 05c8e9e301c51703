#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct MHD_Daemon;

namespace norvane {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as the router sees it.
struct HttpRequest {
  std::string clientAddress;  // dotted IPv4
  std::string method;
  std::string rawTarget;  // as sent: path and query, nothing decoded
  std::string version;    // "HTTP/1.1"
  std::string path;       // the target's path, percent-decoded once
  std::string rawQuery;   // everything after the first "?", not decoded
  HeaderList headers;
  std::string body;  // POST body (bounded)
  std::string authUser, authPassword;  // Basic authentication, empty when absent

  // The request line as the client sent it.
  std::string RequestLine() const { return method + " " + rawTarget + " " + version; }
  // First header of that name (ASCII case-insensitive), or empty.
  std::string Header(const std::string& name) const;
};

struct HttpResponse {
  int status = 200;
  std::string contentType;
  std::string body;
  std::string filePath;  // when set, the file is streamed as the body
  HeaderList headers;
  std::string authRealm;  // with 401: the Basic challenge's realm
};

// The HTTP engine: libmicrohttpd with a thread per connection, on all IPv4 interfaces.
// Every answer carries the Server header given at construction.
class HttpServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;

  HttpServer(Handler handler, std::string serverName);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Stops listening (if it was) and listens on port. Throws std::runtime_error when the
  // port cannot be taken.
  void Listen(int port);
  // Stops accepting, lets the requests in progress finish (bounded wait), then stops.
  void Stop();
  bool listening() const;
  // The port actually bound (useful with port 0).
  int port() const { return port_; }

  // Requests in progress right now.
  int InFlight() const;

 private:
  struct Context;
  struct DaemonDeleter {
    void operator()(MHD_Daemon* d) const;
  };

  friend struct HttpServerCallbacks;
  int Answer(void* connection, Context& ctx, const char* method, const char* version);

  Handler handler_;
  std::string serverName_;
  std::unique_ptr<MHD_Daemon, DaemonDeleter> daemon_;
  int listenSocket_ = -1;  // kept after quiescing until the daemon is stopped
  int port_ = 0;
  mutable std::mutex m_;
  std::condition_variable idle_;
  int inFlight_ = 0;
};

}  // namespace norvane
