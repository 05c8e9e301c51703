// Load, select and save a 150-item channel log.
#include <benchmark/benchmark.h>

#include <string>

#include "core/sjis.h"
#include "feeds/rg_namespace.h"
#include "feeds/rxml.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

// A channel log as the program stores it: Shift_JIS, rg marks on the channel and items.
std::string ChannelLog(int items) {
  std::string x = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<rss version=\"2.0\" xmlns:rg=\"";
  x += kRgNamespace;
  x += "\"><channel><rg:revday>Tue, 01 Apr 2025 10:00:00 GMT</rg:revday>"
       "<rg:link>http://example.invalid/feed.xml</rg:link>";
  x += Utf8ToSjis("<title>ベンチマーク用のチャンネル</title>");
  x += "<link>http://example.invalid/</link><description>bench</description>";
  for (int i = 0; i < items; ++i) {
    std::string n = std::to_string(i);
    x += "<item><rg:log type=\"" + std::string(i < 20 ? "new" : i < 50 ? "today" : "log") +
         "\"/><rg:revday>Tue, 01 Apr 2025 10:00:00 GMT</rg:revday>";
    x += Utf8ToSjis("<title>記事の見出し " + n + " – 日本語のテキスト</title>");
    x += "<link>http://example.invalid/articles/" + n + ".html</link>";
    x += Utf8ToSjis("<description><![CDATA[<p>本文の要約です。" + n +
                    " 番目の記事には、それなりの長さの説明が付いています。</p>]]></description>");
    x += "<pubDate>Tue, 01 Apr 2025 09:00:00 GMT</pubDate></item>";
  }
  x += "</channel></rss>";
  return x;
}

const std::string& Log() {
  static const std::string log = ChannelLog(150);
  return log;
}

void BM_LoadChannelLog(benchmark::State& state) {
  for (auto _ : state) {
    TRXML x;
    benchmark::DoNotOptimize(x.LoadFromString(Log(), "channels\\bench.xml"));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Log().size()));
}
BENCHMARK(BM_LoadChannelLog)->Unit(benchmark::kMicrosecond);

void BM_SelectItemsAndLinks(benchmark::State& state) {
  TRXML x;
  x.LoadFromString(Log(), "bench");
  for (auto _ : state) {
    NodeList items = x.SelectNodes("rss/channel/item");
    size_t total = 0;
    for (xmlNodePtr item : items) total += NodeText(SelectSingleNode(item, "link")).size();
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_SelectItemsAndLinks)->Unit(benchmark::kMicrosecond);

void BM_SelectByPredicate(benchmark::State& state) {
  TRXML x;
  x.LoadFromString(Log(), "bench");
  for (auto _ : state)
    benchmark::DoNotOptimize(
        x.SelectSingleNode("rss/channel/item[link=\"http://example.invalid/articles/149.html\"]"));
}
BENCHMARK(BM_SelectByPredicate)->Unit(benchmark::kMicrosecond);

void BM_SerialiseShiftJis(benchmark::State& state) {
  TRXML x;
  x.LoadFromString(Log(), "bench");
  for (auto _ : state) benchmark::DoNotOptimize(x.XMLWithEncoding());
}
BENCHMARK(BM_SerialiseShiftJis)->Unit(benchmark::kMicrosecond);

void BM_SaveToFile(benchmark::State& state) {
  test::TempDir dir;
  TRXML x;
  x.LoadFromString(Log(), "bench");
  std::string path = dir / "bench.xml";
  for (auto _ : state) x.SaveToFile(path);  // includes the flush to disk
}
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMicrosecond);

void BM_LoadSelectSave(benchmark::State& state) {
  test::TempDir dir;
  std::string path = dir / "cycle.xml";
  for (auto _ : state) {
    TRXML x;
    x.LoadFromString(Log(), path);
    NodeList items = x.SelectNodes("rss/channel/item");
    for (xmlNodePtr item : items) benchmark::DoNotOptimize(SelectSingleNode(item, "rg:log"));
    x.SaveToFile(path);
  }
}
BENCHMARK(BM_LoadSelectSave)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
