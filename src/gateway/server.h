#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>

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
};

// A page builder answering one route.
using RouteHandler = std::function<void(RouteContext&, HttpResponse&)>;

// The server module: the listening HTTP engine, the router and the access log.
class TServer {
 public:
  TServer();
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
  bool Admit(const HttpRequest& req, HttpResponse& res);
  void Dispatch(RouteContext& ctx, HttpResponse& res);
  void ServeUnder(const std::string& folder, const std::string& relative,
                  const std::string& contentType, HttpResponse& res, bool decode = false);

  AccessLog accessLog_;
  std::map<std::string, RouteHandler> routes_;
  HttpServer http_;
};

// Marks an HTML answer so feed content can't run code in the gateway's origin.
void AddPageSecurityHeaders(HttpResponse& res);

}  // namespace norvane
