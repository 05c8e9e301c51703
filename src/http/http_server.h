#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;
struct MHD_PostProcessor;

namespace norvane {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// The files of one multipart/form-data body may hold this many bytes together.
inline constexpr size_t kMaxUploadBytes = 5u * 1024 * 1024;

// One part of a multipart/form-data body (an upload form), as the engine's post
// processor read it.
struct FormPart {
  std::string name;
  bool isFile = false;       // a file field (its file name may be empty)
  std::string fileName;      // as the browser named the file
  std::string contentType;   // as the browser gave it
  std::string value;         // the field's text, or the file's bytes
};

// One request as the router sees it.
struct HttpRequest {
  std::string clientAddress;  // dotted IPv4
  std::string method;
  std::string rawTarget;  // as sent: path and query, nothing decoded
  std::string version;    // "HTTP/1.1"
  std::string path;       // the target's path, percent-decoded once
  std::string rawQuery;   // everything after the first "?", not decoded
  HeaderList headers;
  std::string body;  // POST body (bounded); empty for multipart/form-data
  std::vector<FormPart> formParts;  // a multipart/form-data body, in the order sent
  bool bodyTooLarge = false;    // the body passed its bound: nothing of it is given
  bool bodyIncomplete = false;  // a multipart body that is malformed or ends before its last boundary
  std::string authUser, authPassword;  // Basic authentication, empty when absent

  // The request line as the client sent it.
  std::string RequestLine() const { return method + " " + rawTarget + " " + version; }
  // First header of that name (ASCII case-insensitive), or empty.
  std::string Header(const std::string& name) const;
};

// A body made while it is sent, as a chunked answer: its memory is the piece at hand, not
// the whole body. The source is destroyed when the answer ends, whether it was all sent
// or the client left; it must then let go of the work behind it.
class BodySource {
 public:
  virtual ~BodySource() = default;
  // Puts the next piece of the body into piece (which may come out empty); false when
  // there is none left. Called on the connection's own thread, one call at a time; it
  // may wait for its piece.
  virtual bool Next(std::string& piece) = 0;
};

struct HttpResponse {
  int status = 200;
  std::string contentType;
  std::string body;
  std::string filePath;  // when set, the file is streamed as the body
  std::unique_ptr<BodySource> stream;  // when set, the body comes from it
  HeaderList headers;
  std::string authRealm;  // with 401: the Basic challenge's realm
};

// The request as the router sees it, made from what a client sent: the target split at
// its first "?" into the path (percent-decoded once) and the raw query, and the Basic
// credentials of the Authorization header (both empty when it is malformed). The engine
// makes every request with it; the router's tests make theirs the same way.
HttpRequest MakeHttpRequest(std::string clientAddress, std::string method, std::string version,
                            std::string rawTarget, HeaderList headers, std::string body);

using RequestHandler = std::function<void(const HttpRequest&, HttpResponse&)>;

// Calls handler; an error that escapes it becomes 500 with its message as plain text,
// which no browser may take for a page.
void RunHandler(const RequestHandler& handler, const HttpRequest& req, HttpResponse& res);

// What outside clients may hold of the engine. Local clients (as the server's predicate
// tells them) are never limited beyond the total, and part of the total is theirs alone,
// so a flood of half-open connections from other machines cannot lock the user out.
struct ConnectionLimits {
  unsigned total = 256;            // connections at once, every client together
  unsigned localReserve = 32;      // of the total, kept for local clients
  unsigned perOutsideAddress = 16;  // connections at once from one outside address
  // An outside connection that has not sent a request's whole header this long after it
  // was opened, or after its previous request ended, is closed.
  std::chrono::milliseconds headerTimeout{10000};
};

// The HTTP engine: libmicrohttpd with a thread per connection, on all IPv4 interfaces.
// Every answer carries the Server header given at construction and
// X-Content-Type-Options: nosniff; header values lose their control characters.
class HttpServer {
 public:
  using Handler = RequestHandler;
  // True for a client address (dotted IPv4) that belongs to this machine.
  using LocalTest = std::function<bool(const std::string& address)>;

  HttpServer(Handler handler, std::string serverName, LocalTest isLocal = {},
             ConnectionLimits limits = {});
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

  // Runs task on the server's own thread once no request has been in progress for
  // `after`, and hands the memory it freed back; again only after another request ended.
  // For what may go while no one reads, such as caches. Set before Listen.
  void SetIdleTask(std::function<void()> task, std::chrono::milliseconds after);

  // Requests in progress right now.
  int InFlight() const;
  // Open connections from outside clients right now.
  int OutsideConnections() const;

 private:
  struct Context;
  struct DaemonDeleter {
    void operator()(MHD_Daemon* d) const;
  };
  // One open connection of an outside client.
  struct Peer {
    std::string address;
    int fd = -1;
    std::optional<std::chrono::steady_clock::time_point> headerDeadline;
  };

  friend struct HttpServerCallbacks;
  struct Stream;
  // A request (or the body of its answer) begins, or ends; the last to end hands freed
  // memory back.
  void Began();
  void Ended();
  int Answer(void* connection, Context& ctx, const char* method, const char* version);
  bool MayAccept(const std::string& address);
  void Opened(MHD_Connection* connection);
  void Closed(MHD_Connection* connection);
  // Arms (or clears) the header deadline of an outside connection.
  void AwaitHeaders(MHD_Connection* connection, bool waiting);
  // Closes outside connections whose header deadline passed, and runs the idle task when
  // its time comes, until Stop.
  void WatchHeaders();
  void StopWatch();

  Handler handler_;
  std::string serverName_;
  LocalTest isLocal_;
  ConnectionLimits limits_;
  std::unique_ptr<MHD_Daemon, DaemonDeleter> daemon_;
  int listenSocket_ = -1;  // kept after quiescing until the daemon is stopped
  int port_ = 0;
  mutable std::mutex m_;
  std::condition_variable idle_;
  int inFlight_ = 0;

  // Outside connections and the idle task, guarded by peersMutex_ (taken by the engine's
  // threads and the watch; never while m_ is held).
  mutable std::mutex peersMutex_;
  std::condition_variable peersChanged_;
  std::map<MHD_Connection*, Peer> peers_;
  std::map<std::string, unsigned> perAddress_;
  bool watching_ = false;
  std::function<void()> idleTask_;
  std::chrono::milliseconds idleAfter_{0};
  std::optional<std::chrono::steady_clock::time_point> idleAt_;  // when the task runs
  std::thread watch_;
};

}  // namespace norvane
