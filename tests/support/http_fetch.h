#pragma once
#include <string>
#include <utility>
#include <vector>

namespace norvane::test {

struct FetchOptions {
  std::string method = "GET";      // GET, HEAD, POST, or any other sent as it is
  std::string fromAddress;         // bind the client to this local address (127.0.0.2: an outside client)
  std::string user, password;      // Basic authentication when user is set
  std::string body;                // POST body (form-encoded)
  std::vector<std::string> headers;  // "Name: value"
  long timeoutMs = 20000;
};

struct FetchResult {
  long status = 0;  // 0: no answer
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string error;
  std::string Header(const std::string& name) const;  // case-insensitive, first one
};

// One HTTP request with libcurl, nothing rewritten: the target is sent as given.
FetchResult Fetch(const std::string& url, const FetchOptions& options = {});

// Waits (bounded) until something accepts connections on 127.0.0.1:port.
bool WaitForPort(int port, int timeoutMs = 10000);

}  // namespace norvane::test
