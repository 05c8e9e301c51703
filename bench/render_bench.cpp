// The feed page of a stored log (no fetch), in process: the Default and Compact styles
// against a minimal style that only copies titles and descriptions, which is the floor any
// XSLT page pays (read the log, transform it, serialise it). Three logs: many short
// descriptions, and few long HTML ones as blogs with summaries or full posts send.
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/settings.h"
#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "gateway/page_builders.h"
#include "support/feed_server.h"
#include "support/temp_dir.h"

namespace {

using namespace norvane;

// About `bytes` of publisher HTML: paragraphs with links, emphasis, an image and a list.
std::string Html(size_t bytes) {
  const std::string piece =
      "<p>Some <b>news</b> with <a href=\"http://example.invalid/x\">a link</a>, <em>emphasis</em> and "
      "text that runs on for a while as posts do.</p><ul><li>one</li><li>two</li></ul>"
      "<img src=\"http://example.invalid/i.png\" alt=\"pic\"><br>";
  std::string out;
  while (out.size() < bytes) out += piece;
  return out.substr(0, std::max(bytes, piece.size()));
}

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '<') out += "&lt;";
    else if (c == '&') out += "&amp;";
    else out.push_back(c);
  }
  return out;
}

std::string Feed(int items, size_t descriptionBytes) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Bench</title>"
                  "<link>http://example.invalid/</link><description>d</description>";
  const std::string description = descriptionBytes <= 100 ? "A short summary of the item, about one line long, "
                                                            "as many feeds give."
                                                          : Escaped(Html(descriptionBytes));
  for (int i = 0; i < items; ++i) {
    std::string n = std::to_string(i);
    x += "<item><title>Item " + n + "</title><link>http://example.invalid/a/" + n + "</link><description>" +
         description + "</description><pubDate>Tue, 01 Apr 2025 09:00:00 GMT</pubDate></item>";
  }
  return x + "</channel></rss>";
}

const char* kMinimal =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"Shift_JIS\"/>"
    "<xsl:template match=\"/\"><html><body><xsl:for-each select=\"//item\"><h2><xsl:value-of select=\"title\"/>"
    "</h2><div><xsl:value-of select=\"description\" disable-output-escaping=\"yes\"/></div></xsl:for-each>"
    "</body></html></xsl:template></xsl:stylesheet>";

// CPU time of this thread: other work on the machine does not count in it.
double ThreadMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Best of ten, in milliseconds of CPU time, of one feed page in the style.
double PageMs(TChList& list, const std::string& url, const std::string& style) {
  UpdateSettings([&](Settings& s) { s.XSL_STYLE = style; });
  FeedContext context{list, {}, nullptr};
  double best = 1e9;
  for (int run = 0; run < 11; ++run) {
    const double start = ThreadMs();
    std::string page = CreateRSSxml({"u=" + url}, false, context);
    const double ms = ThreadMs() - start;
    if (page.find("<html") == std::string::npos) std::fprintf(stderr, "%s: no page\n", style.c_str());
    if (run > 0) best = std::min(best, ms);  // the first run compiles the style
  }
  return best;
}

}  // namespace

int main() {
  test::TempDir home;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd) || chdir(home.path().c_str()) != 0) return 1;
  test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls", home / "xsls");
  home.Write("xsls/Minimal/rss.xsl", kMinimal);
  home.Write("channels/.keep", "");
  ResetSettings();

  struct Log {
    const char* name;
    int items;
    size_t bytes;
  };
  const Log logs[] = {{"150 items, ~100-byte descriptions", 150, 100},
                      {"20 items, ~3 KB HTML descriptions", 20, 3 * 1024},
                      {"20 items, ~12 KB HTML descriptions", 20, 12 * 1024}};
  test::FeedServer feeds;
  TChList list("channels\\ChannelList.xml");
  std::printf("%-38s %10s %10s %10s %8s %8s\n", "stored log", "Default", "Compact", "minimal", "D/min",
              "C/min");
  // RENDER_BENCH_PROFILE=<style> renders the first log in that style many times, for a
  // profiler to look at.
  if (const char* style = std::getenv("RENDER_BENCH_PROFILE")) {
    feeds.Serve("/p", Feed(logs[0].items, logs[0].bytes));
    FeedContext first{list, {}, nullptr};
    CreateRSSxml({"u=" + feeds.Url("/p")}, true, first);
    for (int i = 0; i < 40; ++i) PageMs(list, feeds.Url("/p"), style);
    return chdir(cwd) == 0 ? 0 : 1;
  }
  int n = 0;
  for (const Log& log : logs) {
    const std::string path = "/f" + std::to_string(n++);
    feeds.Serve(path, Feed(log.items, log.bytes));
    FeedContext first{list, {}, nullptr};
    CreateRSSxml({"u=" + feeds.Url(path)}, true, first);  // stores the log
    double d = PageMs(list, feeds.Url(path), "Default");
    double c = PageMs(list, feeds.Url(path), "Compact");
    double m = PageMs(list, feeds.Url(path), "Minimal");
    std::printf("%-38s %8.2fms %8.2fms %8.2fms %7.2fx %7.2fx\n", log.name, d, c, m, d / m, c / m);
  }
  ResetSettings();
  return chdir(cwd) == 0 ? 0 : 1;
}
