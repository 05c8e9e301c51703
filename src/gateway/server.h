#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/access_log.h"
#include "core/params.h"
#include "http/http_server.h"

namespace norvane {

// What the router hands a page builder: the normalised parameter list and the request.
struct RouteContext {
  const HttpRequest& request;
  ParamList& params;
  std::string fileName;   // the path without its leading "/", "index.html" appended
  std::string localPath;  // the path with its leading "/"
  // False when a page of the browser asked for an edit without the form token: the
  // route then changes nothing and answers with its form, filled in, to be confirmed.
  bool editsAllowed = true;
};

// A page builder answering one route.
using RouteHandler = std::function<void(RouteContext&, HttpResponse&)>;

// The server module: the listening HTTP engine, the router and the access log.
class TServer {
 public:
  // Makes the form token of this run. limits bound what outside clients may hold.
  explicit TServer(ConnectionLimits limits = {});
  ~TServer();

  // Listens on the current PORT; throws when the port cannot be opened.
  void Restart();
  // Stops listening and lets the requests in progress finish.
  void Stop();
  int port() const { return http_.port(); }

  // The router: access control, parameter normalisation, dispatch.
  void CommandGet(const HttpRequest& req, HttpResponse& res);

  // Installs the builder of a root-level route (name in lower case). Routes without a
  // builder answer 404. Called before the server listens.
  void SetRoute(const std::string& name, RouteHandler handler);

  AccessLog& accessLog() { return accessLog_; }

  static void Respond(HttpResponse& res, std::string body, const std::string& contentType);
  // diskPath is a name on disk; a missing file answers 404.
  static void RespondFile(HttpResponse& res, const std::string& diskPath,
                          const std::string& contentType);

 private:
  // Normalises the parameters of the request into params; false when the request is
  // to be refused (res is then set).
  void Route(const HttpRequest& req, HttpResponse& res);
  bool Admit(const HttpRequest& req, HttpResponse& res);
  // True when the Host header names this machine (or is absent), so that a site whose
  // name was rebound to this machine cannot use the gateway.
  bool NamesThisMachine(const std::string& host);
  void Dispatch(RouteContext& ctx, HttpResponse& res);
  void ServeUnder(const std::string& folder, const std::string& relative,
                  const std::string& contentType, HttpResponse& res, bool decode = false);

  AccessLog accessLog_;
  std::map<std::string, RouteHandler> routes_;
  std::mutex namesMutex_;
  std::string fullHostName_;  // the host's canonical name, looked up at each Restart
  HttpServer http_;
};

// Marks an answer so feed content can't run code in the gateway's origin, nor frame it.
void AddPageSecurityHeaders(HttpResponse& res);

// A request is local when it comes from 127.0.0.1 or from the host's own address.
bool IsLocalClient(const std::string& address);

}  // namespace norvane
