// Keyword matcher speed: matching item texts with a warm pattern cache, and compiling
// phrases that the cache does not hold.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "pattern/rserch.h"

namespace {

using norvane::TRSerch;

std::string S(const char8_t* utf8) {
  return norvane::Utf8ToSjis(reinterpret_cast<const char*>(utf8));
}

struct Item {
  std::string title;
  std::string description;
};

// Titles of 20-40 characters and descriptions of 100-300, drawn from a vocabulary of
// news-like Japanese with some Latin words, as feeds carry them.
const std::vector<Item>& Items() {
  static const std::vector<Item> items = [] {
    const std::vector<std::string> words = {
        S(u8"政府"), S(u8"は"), S(u8"発表"), S(u8"した"), S(u8"新しい"), S(u8"技術"),
        S(u8"について"), S(u8"東京"), S(u8"大阪"), S(u8"市場"), S(u8"で"), S(u8"の"),
        S(u8"サービス"), S(u8"開始"), S(u8"ソフトウェア"), S(u8"アップデート"),
        S(u8"公開"), S(u8"インターネット"), S(u8"ブログ"), S(u8"記事"), S(u8"、"),
        S(u8"。"), S(u8"ｹﾞｰﾑ"), S(u8"スマートフォン"), S(u8"価格"), S(u8"円"),
        S(u8"２０２４年"), S(u8"表示"), S(u8"評価"), S(u8"ポイント"), "Linux", "Web",
        "API", "2.0", " ", S(u8"「"), S(u8"」"), S(u8"ユーザー"), S(u8"機能"),
        S(u8"追加"), S(u8"されました"), S(u8"今日"), S(u8"天気"), S(u8"情報")};
    std::mt19937 rng(4565);
    std::uniform_int_distribution<size_t> pick(0, words.size() - 1);
    auto text = [&](size_t minChars, size_t maxChars) {
      std::uniform_int_distribution<size_t> len(minChars, maxChars);
      const size_t target = len(rng) * 2;  // mostly double-byte characters
      std::string s;
      while (s.size() < target) s += words[pick(rng)];
      return s;
    };
    std::vector<Item> v;
    for (int i = 0; i < 10000; ++i) v.push_back({text(20, 40), text(100, 300)});
    // A few items that the keywords below do find.
    for (int i = 0; i < 10000; i += 97) v[i].title += S(u8"ﾆｭｰｽ");
    for (int i = 50; i < 10000; i += 131) v[i].description += S(u8"ｒｓｓリーダー");
    return v;
  }();
  return items;
}

int MatchAll(TRSerch& m) {
  int hits = 0;
  for (const Item& item : Items())
    if (m.IsMatch(item.title) || m.IsMatch(item.description)) ++hits;
  return hits;
}

// A scrapbook of three keywords: "パソコン OR RSS OR ニュース", fuzzy expanded.
void BM_IsMatch_ScrapbookPattern(benchmark::State& state) {
  TRSerch m;
  m.SetKeyword(S(u8"パソコン OR RSS OR ニュース"));
  int hits = 0;
  for (auto _ : state) hits = MatchAll(m);
  state.counters["hits"] = hits;
  state.counters["items/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * Items().size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IsMatch_ScrapbookPattern)->Unit(benchmark::kMillisecond);

// A filter keyword of three words that must all stand on one line.
void BM_IsMatch_ThreeWordFilter(benchmark::State& state) {
  TRSerch m;
  m.SetKeyword(S(u8"東京 サービス 開始"));
  int hits = 0;
  for (auto _ : state) hits = MatchAll(m);
  state.counters["hits"] = hits;
  state.counters["items/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * Items().size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IsMatch_ThreeWordFilter)->Unit(benchmark::kMillisecond);

// The feeder's way: the book's pattern set again (expanded, found in the cache) per item.
void BM_FeederSetAndMatch(benchmark::State& state) {
  TRSerch m;
  const std::string pattern = TRSerch::MakePattern(S(u8"パソコン OR RSS OR ニュース"));
  for (auto _ : state) {
    int hits = 0;
    for (const Item& item : Items()) {
      m.SetRegExp(pattern);
      if (m.IsMatch(item.title) || m.IsMatch(item.description)) ++hits;
    }
    benchmark::DoNotOptimize(hits);
  }
  state.counters["items/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * Items().size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeederSetAndMatch)->Unit(benchmark::kMillisecond);

// SetKeyword of phrases never seen before: expansion, parsing, PCRE2 compile and JIT.
void BM_SetKeyword_ColdCache(benchmark::State& state) {
  TRSerch m;
  const std::string base = S(u8"パソコン OR RSS OR ニュース");
  unsigned n = 0;
  for (auto _ : state) {
    m.SetKeyword(base + " " + std::to_string(n++));
  }
  // One compile per iteration: the time column is the time per compile.
  state.counters["compiles"] = static_cast<double>(m.CompileCount());
}
BENCHMARK(BM_SetKeyword_ColdCache)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
