#pragma once
#include <chrono>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/access_log.h"
#include "core/params.h"
#include "gateway/route_table.h"
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
  // The route's content type, from the route table.
  std::string_view contentType = "text/html";
};

// A page builder answering one route.
using RouteHandler = std::function<void(RouteContext&, HttpResponse&)>;

// The server module: the listening HTTP engine, the router and the access log.
//
// A request goes through the router in this order (CommandGet):
//
//   admit ──> method ──> parameters ──> write checks ──> route ──> static folders
//   local,    GET, HEAD,  form body,     routes that      the first   www/ (and the
//   Host,     POST        query, w in    write: same      entry of    style's .css,
//   Web mode  (405)       Shift_JIS,     site, form       kRouteTable opml.xml, which
//   (401/403)             raw u          token            that takes  are entries of
//                                                         the request the table)
//
// The route table (gateway/route_table.h) says, for every route, its name, whether it
// writes, whether Web mode refuses it and its content type; SetRoute gives it a handler.
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
  // What runs once no page was asked for a while (HttpServer::SetIdleTask).
  void SetIdleTask(std::function<void()> task, std::chrono::milliseconds after) {
    http_.SetIdleTask(std::move(task), after);
  }

  // The router: access control, parameter normalisation, dispatch.
  void CommandGet(const HttpRequest& req, HttpResponse& res);

  // Gives the route of the table named so its handler; a name the table lacks is a
  // mistake of the program (std::logic_error): it would never be reached. Routes
  // without a handler answer 404. Called before the server listens.
  void SetRoute(std::string_view name, RouteHandler handler);
  // The routes of the table that have no handler yet.
  std::vector<std::string_view> RoutesWithoutHandler() const;

  AccessLog& accessLog() { return accessLog_; }

  // An empty body answers 500.
  static void Respond(HttpResponse& res, std::string body, const std::string& contentType);
  // The same with the route's own content type.
  static void Respond(const RouteContext& ctx, HttpResponse& res, std::string body);
  // A body sent while it is made, with the route's own content type.
  static void Respond(const RouteContext& ctx, HttpResponse& res, std::unique_ptr<BodySource> body);
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
  // The routes the router answers from folders of its own: style sheets, group files.
  void InstallFolderRoutes();
  void ServeUnder(const std::string& folder, const std::string& relative,
                  const std::string& contentType, HttpResponse& res, bool decode = false);

  AccessLog accessLog_;
  RouteHandler handlers_[std::size(kRouteTable)];  // by the table's positions
  std::mutex namesMutex_;
  std::string fullHostName_;  // the host's canonical name, looked up at each Restart
  HttpServer http_;
};

// Marks an answer so feed content can't run code in the gateway's origin, nor frame it.
void AddPageSecurityHeaders(HttpResponse& res);

// A request is local when it comes from 127.0.0.1 or from the host's own address.
bool IsLocalClient(const std::string& address);

}  // namespace norvane
