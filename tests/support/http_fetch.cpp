#include "support/http_fetch.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace norvane::test {

namespace {
size_t OnBody(char* p, size_t s, size_t n, void* ud) {
  static_cast<std::string*>(ud)->append(p, s * n);
  return s * n;
}
size_t OnHeader(char* p, size_t s, size_t n, void* ud) {
  std::string line(p, s * n);
  auto* out = static_cast<FetchResult*>(ud);
  size_t colon = line.find(':');
  if (colon != std::string::npos) {
    std::string v = line.substr(colon + 1);
    while (!v.empty() && (v.front() == ' ')) v.erase(v.begin());
    while (!v.empty() && (v.back() == '\r' || v.back() == '\n')) v.pop_back();
    out->headers.emplace_back(line.substr(0, colon), v);
  }
  return s * n;
}
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

std::string FetchResult::Header(const std::string& name) const {
  for (const auto& [k, v] : headers)
    if (SameName(k, name)) return v;
  return {};
}

FetchResult Fetch(const std::string& url, const FetchOptions& o) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  FetchResult r;
  CURL* c = curl_easy_init();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, o.timeoutMs);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &r.body);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &r);
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  if (!o.fromAddress.empty()) curl_easy_setopt(c, CURLOPT_INTERFACE, o.fromAddress.c_str());
  if (!o.user.empty()) {
    curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(c, CURLOPT_USERNAME, o.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, o.password.c_str());
  }
  if (o.method == "HEAD") curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  else if (o.method != "GET" && o.method != "POST") curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, o.method.c_str());
  if (o.method == "POST") {
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, o.body.c_str());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(o.body.size()));
  }
  curl_slist* hs = nullptr;
  for (const auto& h : o.headers) hs = curl_slist_append(hs, h.c_str());
  if (hs) curl_easy_setopt(c, CURLOPT_HTTPHEADER, hs);
  CURLcode rc = curl_easy_perform(c);
  if (rc == CURLE_OK) curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &r.status);
  else r.error = curl_easy_strerror(rc);
  curl_slist_free_all(hs);
  curl_easy_cleanup(c);
  return r;
}

bool WaitForPort(int port, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace norvane::test
