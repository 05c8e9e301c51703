// Serving "rss.html" for a stored 150-item log (no fetch) over real HTTP, against the
// same page served as a static file from "www": the static rate is the server's own
// floor, the ratio what the log read and the transform cost. The requests carry the
// headers a browser sends (Host, Sec-Fetch-*), so the router's checks run as for a user;
// one more run names the host by its own name, which the router looks up afresh.
#include <curl/curl.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/feed_server.h"
#include "support/norvane_process.h"

namespace {

using norvane::test::FeedRoute;
using norvane::test::FeedServer;
using norvane::test::NorvaneProcess;

std::string Feed(int count) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                  "<title>ベンチマーク</title><link>http://example.invalid/</link><description>d</description>";
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    x += "<item><title>記事の見出し " + n + "</title><link>http://example.invalid/a/" + n +
         "</link><description>&lt;p&gt;本文の要約です。" + n +
         " 番目の記事には、それなりの長さの説明が付いています。&lt;/p&gt;</description>"
         "<pubDate>Tue, 01 Apr 2025 09:00:00 GMT</pubDate></item>";
  }
  return x + "</channel></rss>";
}

size_t Discard(char*, size_t s, size_t n, void*) { return s * n; }

// Requests per second with `clients` keep-alive connections, each sending `each` requests
// with the given Host header (empty: curl's own).
double Rate(const std::string& url, int clients, int each, const std::string& host = "") {
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c)
    threads.emplace_back([&] {
      CURL* h = curl_easy_init();
      curl_slist* headers = nullptr;
      headers = curl_slist_append(headers, "Sec-Fetch-Site: same-origin");
      headers = curl_slist_append(headers, "Sec-Fetch-Mode: navigate");
      headers = curl_slist_append(headers, "Sec-Fetch-Dest: document");
      if (!host.empty()) headers = curl_slist_append(headers, ("Host: " + host).c_str());
      curl_easy_setopt(h, CURLOPT_URL, url.c_str());
      curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
      curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
      curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(h, CURLOPT_PROXY, "");
      for (int i = 0; i < each; ++i) curl_easy_perform(h);
      curl_easy_cleanup(h);
      curl_slist_free_all(headers);
    });
  for (auto& t : threads) t.join();
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return clients * each / secs;
}

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  FeedServer feeds;
  FeedRoute r;
  r.body = Feed(150);
  r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
  feeds.Route("/feed", r);
  NorvaneProcess app;
  if (!app.Start()) {
    std::fprintf(stderr, "norvane did not start\n");
    return 1;
  }
  const std::string target = "/rss.html?u=" + feeds.Url("/feed") + "/";
  auto first = app.Get(target);  // the first request fetches and stores the log
  if (first.status != 200) {
    std::fprintf(stderr, "first request: %ld\n", first.status);
    return 1;
  }
  app.home().Write("www/static-copy.html", first.body);
  const int clients = 4, each = 150;
  Rate(app.Url(target), 1, 10);  // warm up
  double page = Rate(app.Url(target), clients, each);
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  double named = Rate(app.Url(target), clients, each, std::string(name) + ":" + std::to_string(app.port()));
  double floor = Rate(app.Url("/static-copy.html"), clients, each);
  std::printf("page size: %zu bytes\n", first.body.size());
  std::printf("rss.html (stored 150-item log, r off): %.0f requests/s\n", page);
  std::printf("rss.html, Host naming the host itself: %.0f requests/s\n", named);
  std::printf("same page as a static file:            %.0f requests/s\n", floor);
  std::printf("ratio static / rss.html:               %.1f\n", floor / page);
  app.Stop();
  return 0;
}
