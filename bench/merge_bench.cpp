// Merging a stored 150-item channel log with a changed 50-item feed (20 items new), in
// memory: no server and no files. One figure for the whole reload around the merge (both
// texts read, the feed stamped, the merge, the log serialised), one for the merge alone.
#include <benchmark/benchmark.h>

#include <string>

#include "feeds/log_merge.h"
#include "feeds/rg_namespace.h"
#include "feeds/rss2.h"
#include "feeds/xml_node.h"

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

const FeedPaths& Rss2Paths() { return PathsForVersion("2.0"); }

// A feed as a fetch leaves it: read from the bytes that came, the marks declared, the
// items stamped new.
void ReadFetched(TRXML& fetched, const std::string& text, const std::string& date) {
  fetched.LoadFromString(text, "http://example.invalid/feed");
  SetAttribute(fetched.DocumentElement(), "xmlns:rg", kRgNamespace);
  StampArrivedItems(fetched, Rss2Paths(), date);
}

// The stored log of 150 items after five changed fetches of 30: 30 new, 120 from the past.
std::string StoredLog() {
  std::string stored;
  for (int round = 0; round < 5; ++round) {
    TRXML fetched, old;
    ReadFetched(fetched, Feed(round * 30, 30), "Tue, 0" + std::to_string(round + 1) + " Apr 2025 10:00:00 GMT");
    if (!stored.empty()) old.LoadFromXML(stored);
    MergeLog(fetched, old, Rss2Paths(), 150);
    stored = fetched.XMLWithEncoding();
  }
  return stored;
}

// The changed feed: the 30 current items, 20 new ones.
const std::string& ChangedFeed() {
  static const std::string text = Feed(120, 50);
  return text;
}
constexpr const char* kChangedDay = "Sun, 06 Apr 2025 10:00:00 GMT";

void BM_MergeChangedFeed(benchmark::State& state) {
  const std::string stored = StoredLog();
  for (auto _ : state) {
    TRXML fetched, old;
    old.LoadFromXML(stored);
    ReadFetched(fetched, ChangedFeed(), kChangedDay);
    LogMergeResult result = MergeLog(fetched, old, Rss2Paths(), 150);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(fetched.XMLWithEncoding());
  }
  state.SetLabel("reload in memory: read 50 items and a 150-item log, merge, serialise");
}
BENCHMARK(BM_MergeChangedFeed)->Unit(benchmark::kMicrosecond);

void BM_MergeOnly(benchmark::State& state) {
  const std::string stored = StoredLog();
  for (auto _ : state) {
    state.PauseTiming();
    {
      TRXML fetched, old;
      old.LoadFromXML(stored);
      ReadFetched(fetched, ChangedFeed(), kChangedDay);
      state.ResumeTiming();
      LogMergeResult result = MergeLog(fetched, old, Rss2Paths(), 150);
      benchmark::DoNotOptimize(result);
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetLabel("the merge alone: 50 fetched items against 150 stored");
}
BENCHMARK(BM_MergeOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
