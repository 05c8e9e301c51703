#include "support/routed_request.h"

#include "core/atomic_file.h"
#include "core/settings.h"
#include "core/url_helpers.h"

namespace norvane::test {

FetchResult Route(TServer& server, const std::string& target, const FetchOptions& o) {
  HeaderList headers{{"Host", "127.0.0.1:" + std::to_string(GetSettings().PORT)}};
  for (const std::string& h : o.headers) {
    const size_t colon = h.find(':');
    std::string name = h.substr(0, colon), value = h.substr(h.find_first_not_of(' ', colon + 1));
    if (SameAsciiName(name, "Host")) headers.front().second = value;  // curl sends the given one instead
    else headers.emplace_back(std::move(name), std::move(value));
  }
  if (o.method == "POST") headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  HttpRequest req = MakeHttpRequest(o.fromAddress.empty() ? "127.0.0.1" : o.fromAddress, o.method, "HTTP/1.1",
                                    target, std::move(headers), o.body);
  if (!o.user.empty()) {  // what the engine reads from curl's well-formed Basic header
    req.authUser = o.user;
    req.authPassword = o.password;
  }
  HttpResponse res;
  RunHandler([&server](const HttpRequest& r, HttpResponse& out) { server.CommandGet(r, out); }, req, res);
  FetchResult answer{res.status, std::move(res.body), std::move(res.headers), {}};
  if (!res.contentType.empty()) answer.headers.emplace_back("Content-Type", res.contentType);
  if (!res.filePath.empty()) ReadWholeFile(res.filePath, answer.body);
  for (std::string piece; res.stream && res.stream->Next(piece);) answer.body += piece;
  return answer;
}

}  // namespace norvane::test
