// The feed page of a stored log (no fetch), in process: the Default and Compact styles
// against a minimal style that only copies titles and descriptions, which is the floor any
// XSLT page pays (read the log, transform it, serialise it). Three logs: many short
// descriptions, and few long HTML ones as blogs with summaries or full posts send.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "core/allocator_tuning.h"
#include "core/settings.h"
#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "gateway/page_builders.h"
#include "groups/channel_pages.h"
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

// The group page's frame of the minimal style: only the place of the blocks.
const char* kMinimalFrame =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"Shift_JIS\"/>"
    "<xsl:template match=\"/\"><html><body><xsl:value-of select=\"chbody\"/></body></html></xsl:template>"
    "</xsl:stylesheet>";

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

// "Unkept" is Default without rg:memo: every item transformed at every showing, as at
// the first showing of a log.
const char* const kStyles[] = {"Default", "Compact", "Minimal", "Unkept"};

std::string WithoutMemo(std::string sheet) {
  for (const std::string tag : {"<rg:memo>", "</rg:memo>"})
    for (size_t at; (at = sheet.find(tag)) != std::string::npos;) sheet.erase(at, tag.size());
  return sheet;
}

// The best time of each style over eleven rounds, the styles taking turns within a round
// so that whatever the process has built up so far weighs on all three alike. The first
// round compiles the styles and fills their caches, and does not count. page() gives
// one page and its time in milliseconds.
template <typename Page>
std::vector<double> BestOfRounds(int rounds, Page page) {
  std::vector<double> best(std::size(kStyles), 1e9);
  for (int run = 0; run < rounds; ++run)
    for (size_t s = 0; s < std::size(kStyles); ++s) {
      UpdateSettings([&](Settings& settings) { settings.XSL_STYLE = kStyles[s]; });
      const double ms = page(kStyles[s]);
      if (run > 0) best[s] = std::min(best[s], ms);
    }
  return best;
}

// One feed page of a stored log, in CPU time of this thread.
std::vector<double> PageMs(TChList& list, const std::string& url, int rounds = 11) {
  FeedContext context{list, {}, nullptr};
  return BestOfRounds(rounds, [&](const char* style) {
    const double start = ThreadMs();
    std::string page = CreateRSSxml({"u=" + url}, false, context);
    const double ms = ThreadMs() - start;
    if (page.find("<html") == std::string::npos) std::fprintf(stderr, "%s: no page\n", style);
    return ms;
  });
}

// The group page of stored logs, in wall time: the group's feeds are read on the fetch
// workers.
std::vector<double> GroupMs(TChList& list) {
  GroupContext context{FeedContext{list, {}, nullptr}, {}, nullptr};
  return BestOfRounds(6, [&](const char* style) {
    const auto start = std::chrono::steady_clock::now();
    std::string page = CreateChHtml({"u=bench.opml"}, true, context);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (page.find("Item 19") == std::string::npos) std::fprintf(stderr, "%s: no group page\n", style);
    return ms;
  });
}

}  // namespace

int main() {
  TuneAllocator();  // as the program runs
  test::TempDir home;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd) || chdir(home.path().c_str()) != 0) return 1;
  test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls", home / "xsls");
  home.Write("xsls/Minimal/rss.xsl", kMinimal);
  home.Write("xsls/Minimal/chs.xsl", kMinimal);
  home.Write("xsls/Minimal/ch.xsl", kMinimalFrame);
  test::CopyTree(home / "xsls/Default", home / "xsls/Unkept");
  for (const char* sheet : {"xsls/Unkept/rss.xsl", "xsls/Unkept/chs.xsl"})
    home.Write(sheet, WithoutMemo(home.Read(sheet)));
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
  std::printf("%-38s %10s %10s %10s %8s %8s %10s %8s\n", "stored log", "Default", "Compact", "minimal", "D/min",
              "C/min", "unkept", "U/min");
  // RENDER_BENCH_PROFILE=<style> renders the first log in that style many times, for a
  // profiler to look at.
  if (const char* style = std::getenv("RENDER_BENCH_PROFILE")) {
    feeds.Serve("/p", Feed(logs[0].items, logs[0].bytes));
    FeedContext context{list, {}, nullptr};
    CreateRSSxml({"u=" + feeds.Url("/p")}, true, context);
    UpdateSettings([&](Settings& settings) { settings.XSL_STYLE = style; });
    for (int i = 0; i < 400; ++i) CreateRSSxml({"u=" + feeds.Url("/p")}, false, context);
    return chdir(cwd) == 0 ? 0 : 1;
  }
  int n = 0;
  for (const Log& log : logs) {
    const std::string path = "/f" + std::to_string(n++);
    feeds.Serve(path, Feed(log.items, log.bytes));
    FeedContext first{list, {}, nullptr};
    CreateRSSxml({"u=" + feeds.Url(path)}, true, first);  // stores the log
    const std::vector<double> t = PageMs(list, feeds.Url(path));
    std::printf("%-38s %8.2fms %8.2fms %8.2fms %7.2fx %7.2fx %8.2fms %7.2fx\n", log.name, t[0], t[1], t[2],
                t[0] / t[2], t[1] / t[2], t[3], t[3] / t[2]);
  }
  // A group of 30 blogs with full posts, every log stored.
  std::string opml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><opml version=\"1.0\"><head><title>b</title></head><body>";
  const std::string post = Feed(20, 12 * 1024);
  for (int i = 0; i < 30; ++i) {
    const std::string path = "/g" + std::to_string(i);
    feeds.Serve(path, post);
    FeedContext first{list, {}, nullptr};
    CreateRSSxml({"u=" + feeds.Url(path)}, true, first);
    opml += "<outline text=\"g\" xmlUrl=\"" + feeds.Url(path) + "\"/>";
  }
  home.Write("opmls/bench.opml", opml + "</body></opml>");
  const std::vector<double> t = GroupMs(list);
  std::printf("%-38s %8.1fms %8.1fms %8.1fms %7.2fx %7.2fx %8.1fms %7.2fx\n", "group: 30 logs of 20 x ~12 KB (wall)",
              t[0], t[1], t[2], t[0] / t[2], t[1] / t[2], t[3], t[3] / t[2]);
  ResetSettings();
  return chdir(cwd) == 0 ? 0 : 1;
}
