// Merging a stored 150-item channel log with a changed 50-item feed (20 items new), the
// feed served by a local server: one reload per iteration.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "core/settings.h"
#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "support/feed_server.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

std::string Feed(int first, int count) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                  "<title>Bench</title><link>http://example.invalid/</link><description>d</description>";
  for (int i = first; i < first + count; ++i) {
    std::string n = std::to_string(i);
    x += "<item><title>記事の見出し " + n + "</title><link>http://example.invalid/a/" + n +
         "</link><description>本文の要約です。" + n +
         " 番目の記事には、それなりの長さの説明が付いています。</description>"
         "<pubDate>Tue, 01 Apr 2025 09:00:00 GMT</pubDate></item>";
  }
  return x + "</channel></rss>";
}

void BM_MergeChangedFeed(benchmark::State& state) {
  test::TempDir home;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd) || chdir(home.path().c_str()) != 0) {
    state.SkipWithError("no temporary folder");
    return;
  }
  home.Write("channels/.keep", "");
  test::FeedServer server;
  TChList list("channels\\ChannelList.xml");
  RPARAMS p;
  p.URL = server.Url("/feed");
  p.Reload = true;
  // Build a log of 150 items: 30 current, 120 from the past.
  for (int round = 0; round < 5; ++round) {
    test::FeedRoute r;
    r.body = Feed(round * 30, 30);
    r.lastModified = "Tue, 0" + std::to_string(round + 1) + " Apr 2025 10:00:00 GMT";
    server.Route("/feed", r);
    TRSS(p, FeedContext{list, {}, nullptr}).Excute();
  }
  std::string logPath = "channels/" + ChannelFileName(p.URL) + ".xml";
  std::string stored = home.Read(logPath);
  // The changed feed: the 30 current items, 20 new ones.
  test::FeedRoute changed;
  changed.body = Feed(120, 50);
  changed.lastModified = "Sun, 06 Apr 2025 10:00:00 GMT";
  server.Route("/feed", changed);
  for (auto _ : state) {
    state.PauseTiming();
    home.Write(logPath, stored);
    TChItem(list, p.URL).SetLastModified("Sat, 05 Apr 2025 10:00:00 GMT");
    state.ResumeTiming();
    TRSS rss(p, FeedContext{list, {}, nullptr});
    benchmark::DoNotOptimize(rss.Excute());
  }
  state.SetLabel("reload: fetch 50 items, merge into 150, save");
  if (chdir(cwd) != 0) state.SkipWithError("cannot return to the working folder");
}
BENCHMARK(BM_MergeChangedFeed)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
