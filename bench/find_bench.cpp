// The archive search at its intended size: 1,000 channel logs of 150 items each, written
// on disk as the program writes them (Shift_JIS), of Japanese text whose words come as
// often as words do (a few very often, most seldom). Prints one table:
//   - the time to make the index from nothing, and its size beside the logs';
//   - median and 99th percentile of a search (the first page of results, everything the
//     page builder asks of the archive) for two-word and folded Japanese queries;
//   - how much the resident size grows with the index open and searched;
//   - a 100-feed group refreshed with the index kept in line, and with its thread stopped.
// --feeds N and --items N make a smaller archive; --keep DIR keeps the program folder;
// --refresh-only measures the group refresh alone, --no-refresh all but it.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "archive/archive_indexer.h"
#include "archive/archive_search.h"
#include "core/allocator_tuning.h"
#include "core/disk_path.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "feeds/rxml.h"
#include "pattern/rserch.h"
#include "support/fake_shell.h"
#include "support/feed_server.h"
#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/program_home.h"

namespace norvane {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// Words as they come in Japanese feeds: function words everywhere, content words by a
// Zipf law over kanji compounds, katakana loanwords and English words.
class Words {
 public:
  explicit Words(unsigned seed) : random_(seed) {
    const char* kanji[] = {"政", "府", "経", "済", "市", "場", "株", "価", "円", "安", "高", "東", "京", "大",
                           "阪", "企", "業", "発", "表", "開", "始", "新", "型", "技", "術", "研", "究", "学",
                           "校", "病", "院", "医", "療", "選", "挙", "国", "会", "議", "員", "法", "案", "気",
                           "象", "台", "風", "雨", "地", "震", "電", "力", "鉄", "道", "空", "港", "事", "故"};
    const char* katakana[] = {"クラウド", "サーバー", "セキュリティ", "アップデート", "ソフトウェア", "ネットワーク",
                              "データベース", "スマートフォン", "アプリ", "ゲーム", "コンピューター", "インターネット",
                              "プログラム", "ブラウザー", "メール", "サービス", "システム", "ユーザー", "デバイス",
                              "ニュース", "ブログ", "レビュー", "ガソリン", "エネルギー", "ビジネス", "マーケット",
                              "チーム", "リーグ", "スポーツ", "イベント", "コンサート", "ドラマ", "アニメ", "カメラ"};
    const char* english[] = {"Linux", "kernel", "release", "update", "security", "cloud", "Rust", "Python",
                             "API", "GPU", "AI", "open", "source", "version", "patch", "bug", "web", "server"};
    for (const char* a : kanji)
      for (const char* b : kanji)
        if (a != b && random_() % 3 == 0) content_.push_back(std::string(a) + b);
    std::shuffle(content_.begin(), content_.end(), random_);
    // The loanwords and English words among the commoner words.
    size_t at = 10;
    for (const char* k : katakana) content_.insert(content_.begin() + static_cast<long>(at++ * 12), k);
    for (const char* e : english) content_.insert(content_.begin() + static_cast<long>(at++ * 12), e);
    double total = 0;
    for (size_t r = 0; r < content_.size(); ++r) cumulative_.push_back(total += 1.0 / static_cast<double>(r + 1));
  }
  const std::string& Content() {
    const double x = std::uniform_real_distribution<double>(0, cumulative_.back())(random_);
    return content_[static_cast<size_t>(std::lower_bound(cumulative_.begin(), cumulative_.end(), x) -
                                        cumulative_.begin())];
  }
  std::string Sentence(int words) {
    static const char* function[] = {"の", "は", "を", "に", "が", "と", "で", "した", "です", "する",
                                     "について", "から", "まで", "も", "など", "ため", "こと", "される"};
    std::string s;
    for (int i = 0; i < words; ++i) {
      s += Content();
      s += function[random_() % (sizeof function / sizeof *function)];
      if (random_() % 7 == 0) s += "、";
    }
    return s + "。";
  }
  unsigned Next(unsigned n) { return static_cast<unsigned>(random_() % n); }

 private:
  std::mt19937 random_;
  std::vector<std::string> content_;
  std::vector<double> cumulative_;
};

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
  return out;
}

// feeds logs of items each, written by the program's own writer.
uintmax_t WriteArchive(int feeds, int items) {
  Words words(2025);
  uintmax_t bytes = 0;
  const char* marks[] = {"new", "today", "log"};
  for (int f = 0; f < feeds; ++f) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\" xmlns:rg=\"http://norvane/rg\" "
                    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><rg:revday>Tue, 01 Apr 2025 09:00:00 GMT"
                    "</rg:revday><rg:link>https://news" + std::to_string(f) + ".example.jp/rss</rg:link><title>" +
                    words.Content() + "ニュース " + std::to_string(f) + "</title><link>https://news" +
                    std::to_string(f) + ".example.jp/</link><description>" + words.Sentence(6) + "</description>";
    for (int i = 0; i < items; ++i) {
      const int minute = (f * items + i) * 7 % 1440, day = 1 + (f * items + i) % 28;
      char date[64];
      std::snprintf(date, sizeof date, "2025-03-%02dT%02d:%02d:00+09:00", day, minute / 60, minute % 60);
      std::string description = "<p>" + words.Sentence(8 + static_cast<int>(words.Next(10))) + "</p>";
      if (words.Next(2)) description += "<p>" + words.Sentence(6 + static_cast<int>(words.Next(12))) + "</p>";
      x += "<item><rg:log type=\"" + std::string(marks[i < 10 ? 0 : i < 40 ? 1 : 2]) +
           "\"/><rg:revday>Tue, 01 Apr 2025 09:00:00 GMT</rg:revday><title>" + Escaped(words.Sentence(2)) +
           "</title><link>https://news" + std::to_string(f) + ".example.jp/articles/" + std::to_string(i) +
           ".html</link><description>" + Escaped(description) + "</description><dc:date>" + date +
           "</dc:date></item>";
    }
    x += "</channel></rss>";
    const std::string path = "channels/news" + std::to_string(f) + ".xml";
    TRXML doc;
    doc.LoadFromString(x, path);
    doc.SaveToFile(path);
    bytes += std::filesystem::file_size(DiskPath(path));
  }
  return bytes;
}

struct Timing {
  double median, p99;
  size_t total;
};

Timing Measure(const std::string& phraseUtf8, ArchiveIndexer& indexer, const TRSerch& lender, int runs) {
  FindRequest r;
  r.phrase = Utf8ToSjis(phraseUtf8);
  std::vector<double> times;
  size_t total = 0;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    const FindResult result = FindItems(r, &indexer, lender);
    times.push_back(Ms(Clock::now() - start));
    total = result.total;
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 99 / 100)], total};
}

// A group of 100 feeds of 150 items served on 127.0.0.1 after a delay, refreshed through
// ch.html, runs times with the index kept in line and runs times with its thread stopped,
// turn about, so that what else the machine does falls on both alike: the two medians.
std::pair<double, double> GroupRefreshMs(int runs) {
  test::ProgramHome home;
  for (const char* f : {"/search.xml", "/dic.csv"}) test::CopyTree(std::string(NORVANE_DATA_DIR) + f, home.path());
  test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls", home / "xsls");
  home.Write("channels/.keep", "");
  home.Write("scrap/.keep", "");
  test::FeedServer feeds;
  Words words(7);
  std::string body;
  for (int f = 0; f < 100; ++f) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Feed " +
                    std::to_string(f) + "</title><link>http://127.0.0.1/</link><description>d</description>";
    for (int i = 0; i < 150; ++i)
      x += "<item><title>" + words.Sentence(2) + "</title><link>http://127.0.0.1/" + std::to_string(f) + "/" +
           std::to_string(i) + "</link><description>" + Escaped("<p>" + words.Sentence(12) + "</p>") +
           "</description></item>";
    test::FeedRoute route;
    route.body = x + "</channel></rss>";
    route.delay = std::chrono::milliseconds(50);
    feeds.Route("/f" + std::to_string(f), route);
    body += "<outline text=\"f\" type=\"rss\" xmlUrl=\"" + feeds.Url("/f" + std::to_string(f)) + "\"/>";
  }
  home.Write("opmls/bench.opml", "<opml version=\"1.0\"><head><title>Bench</title></head><body>" + body +
                                     "</body></opml>");
  test::HeldPort port;
  UpdateSettings([&](Settings& s) {
    s.PORT = port.port();
    s.LocalAddress = "";
  });
  test::FakeShell shell;
  auto module = std::make_unique<TDataM>(shell);
  module->RestartServer();
  test::FetchOptions options;
  options.timeoutMs = 300000;
  const std::string url = "http://127.0.0.1:" + std::to_string(port.port()) + "/ch.html?u=bench.opml/&r=on";
  test::Fetch(url, options);  // the first fetch makes the logs
  std::vector<double> with, without;
  for (int i = 0; i < 2 * runs; ++i) {
    const bool indexing = i % 2 == 0;
    if (indexing) {
      // What the stopped thread missed is taken in at its start, before the clock runs.
      module->Indexer().Start();
      module->Indexer().WaitSettled(std::chrono::minutes(5));
    } else {
      module->Indexer().Stop();
    }
    const auto start = Clock::now();
    test::Fetch(url, options);
    (indexing ? with : without).push_back(Ms(Clock::now() - start));
  }
  module.reset();
  std::sort(with.begin(), with.end());
  std::sort(without.begin(), without.end());
  return {with[with.size() / 2], without[without.size() / 2]};
}

int Main(int argc, char** argv) {
  int feeds = 1000, items = 150;
  std::string keep;
  bool refreshOnly = false, noRefresh = false;
  for (int i = 1; i < argc; ++i) {
    refreshOnly = refreshOnly || std::string(argv[i]) == "--refresh-only";
    noRefresh = noRefresh || std::string(argv[i]) == "--no-refresh";
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--feeds") feeds = std::atoi(argv[i + 1]);
    else if (flag == "--items") items = std::atoi(argv[i + 1]);
    else if (flag == "--keep") keep = argv[i + 1];
  }
  std::printf("find_bench: %d feeds x %d items\n", feeds, items);
  if (!refreshOnly) {
    test::ProgramHome home;
    home.Write("channels/.keep", "");
    home.Write("scrap/.keep", "");
    test::CopyTree(std::string(NORVANE_DATA_DIR) + "/dic.csv", home.path());
    const uintmax_t logBytes = WriteArchive(feeds, items);
    TRSerch lender;
    lender.LoadSynonymDic("dic.csv");

    auto indexer = std::make_unique<ArchiveIndexer>(DiskPath("find-index.db"));
    auto start = Clock::now();
    indexer->Start();
    indexer->WaitSettled(std::chrono::hours(1));
    const double buildMs = Ms(Clock::now() - start);
    indexer.reset();  // closed: its write-ahead log is folded into the file
    const uintmax_t indexBytes = std::filesystem::file_size(DiskPath("find-index.db"));
    std::printf("| index made from nothing | %.1f s |\n", buildMs / 1000);
    const double logs = static_cast<double>(logBytes), index = static_cast<double>(indexBytes);
    std::printf("| logs on disk | %.1f MB |\n| index | %.1f MB (%.2f of the logs) |\n", logs / 1e6, index / 1e6,
                index / logs);

    malloc_trim(0);
    const long before = ResidentKiB();
    indexer = std::make_unique<ArchiveIndexer>(DiskPath("find-index.db"));
    indexer->Start();
    indexer->WaitSettled(std::chrono::minutes(5));
    const char* queries[][2] = {
        {"two words", "クラウド サービス"}, {"two words", "Linux release"}, {"two words", "ネットワーク セキュリティ"},
        {"folded Japanese", "ｸﾗｳﾄﾞ"},       {"folded Japanese", "くらうど"}, {"folded Japanese", "こんぴゅーた"},
        {"folded Japanese", "ｾｷｭﾘﾃｨ"},
    };
    std::printf("| query | kind | results | median ms | p99 ms |\n| --- | --- | --- | --- | --- |\n");
    for (const auto& q : queries) {
      Measure(q[1], *indexer, lender, 3);  // warm
      const Timing t = Measure(q[1], *indexer, lender, 200);
      std::printf("| %s | %s | %zu | %.1f | %.1f |\n", q[1], q[0], t.total, t.median, t.p99);
    }
    malloc_trim(0);
    std::printf("| resident size with the index open and searched | +%.1f MB |\n", static_cast<double>(ResidentKiB() - before) / 1024.0);
    indexer.reset();
    if (!keep.empty()) test::CopyTree(home.path(), keep);
  }
  if (noRefresh) return 0;
  const auto [with, without] = GroupRefreshMs(9);
  std::printf("| 100-feed group refresh (150 items, 50 ms a feed) | %.0f ms indexed, %.0f ms not (%+.1f %%) |\n", with,
              without, (with / without - 1) * 100);
  return 0;
}

}  // namespace
}  // namespace norvane

int main(int argc, char** argv) {
  if (!std::getenv("NO_TUNE")) norvane::TuneAllocator();  // as the program runs
  return norvane::Main(argc, argv);
}
