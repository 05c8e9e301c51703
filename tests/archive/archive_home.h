#pragma once
// A program folder holding a generated archive: channel logs of feeds whose items are
// made of words in their many written forms (katakana, hiragana, half-width with voiced
// marks, full-width ASCII, synonyms), and the matcher's own verdict on each item.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_search.h"
#include "core/disk_path.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "feeds/feed_date.h"
#include "pattern/regexp_error.h"
#include "pattern/rserch.h"
#include "support/program_home.h"

namespace norvane::test {

struct GeneratedItem {
  std::string title, link, description;  // UTF-8
  bool hasTitle = true;
  int64_t date = 0;  // seconds since 1970, distinct over the archive
};

struct GeneratedFeed {
  std::string url, title, file;  // file: the log's program path
  std::vector<GeneratedItem> items;
};

inline std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

inline std::string IsoUtc(int64_t t) {
  char buf[32];
  const time_t when = static_cast<time_t>(t);
  tm u{};
  gmtime_r(&when, &u);
  strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &u);
  return buf;
}

// A channel log as the program writes one (UTF-8 here; the reader takes either).
inline std::string LogXml(const GeneratedFeed& feed) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" xmlns:rg=\"http://norvane/rg\""
                  " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><rg:revday>Tue, 01 Apr 2025 09:00:00 GMT"
                  "</rg:revday><rg:link>" + XmlEscaped(feed.url) + "</rg:link><title>" + XmlEscaped(feed.title) +
                  "</title><link>http://example.org/</link><description>d</description>";
  for (const GeneratedItem& i : feed.items) {
    x += "<item><rg:log type=\"log\"/><rg:revday>Tue, 01 Apr 2025 09:00:00 GMT</rg:revday>";
    if (i.hasTitle) x += "<title>" + XmlEscaped(i.title) + "</title>";
    x += "<link>" + XmlEscaped(i.link) + "</link><description>" + XmlEscaped(i.description) +
         "</description><dc:date>" + IsoUtc(i.date) + "</dc:date></item>";
  }
  return x + "</channel></rss>";
}

// Words in the forms a reader may meet them; the matcher takes each form for the others.
inline const std::vector<std::vector<std::string>>& Vocabulary() {
  static const std::vector<std::vector<std::string>> words = {
      {"ニュース", "にゅーす", "ﾆｭｰｽ"},           {"ガソリン", "がそりん", "ｶﾞｿﾘﾝ", "か゛そりん"},
      {"Linux", "LINUX", "ｌｉｎｕｘ"},            {"カーネル", "かーねる", "ｶｰﾈﾙ"},
      {"ブログ", "ぶろぐ", "ﾌﾞﾛｸﾞ"},              {"パソコン", "ぱそこん", "PC", "ｐｃ"},
      {"コンピューター", "コンピュータ", "こんぴゅーた"}, {"ワイン", "うぁいん", "ﾜｲﾝ"},
      {"東京"}, {"天気"}, {"¥100"}, {"—"}, {"😀"}, {"今日"}, {"の"}, {"記事"}, {"について"},
      {"release"}, {"update"}, {"news"}, {"and"}, {"<b>"}, {"</b>"}, {"C++"}};
  return words;
}

// feeds logs of perFeed items each, every item dated apart from all others.
inline std::vector<GeneratedFeed> GenerateArchive(unsigned seed, int feeds, int perFeed) {
  std::mt19937 random(seed);
  const auto& words = Vocabulary();
  auto phrase = [&](int minWords, int maxWords) {
    std::string s;
    const int n = minWords + static_cast<int>(random() % static_cast<unsigned>(maxWords - minWords + 1));
    for (int i = 0; i < n; ++i) {
      const auto& forms = words[random() % words.size()];
      if (i) s += random() % 3 ? " " : random() % 4 ? "" : "\n";
      s += forms[random() % forms.size()];
    }
    return s;
  };
  std::vector<int64_t> dates(static_cast<size_t>(feeds * perFeed));
  for (size_t i = 0; i < dates.size(); ++i) dates[i] = 1735689600 + static_cast<int64_t>(i) * 600;
  std::shuffle(dates.begin(), dates.end(), random);
  std::vector<GeneratedFeed> out;
  size_t d = 0;
  for (int f = 0; f < feeds; ++f) {
    GeneratedFeed feed;
    feed.url = "http://feeds.example/f" + std::to_string(f) + "/rss";
    feed.title = "Feed " + std::to_string(f) + " " + phrase(1, 2);
    feed.file = "channels/f" + std::to_string(f) + ".xml";
    for (int i = 0; i < perFeed; ++i) {
      GeneratedItem item;
      item.hasTitle = random() % 10 != 0;
      item.title = phrase(1, 4);
      item.link = "http://feeds.example/f" + std::to_string(f) + "/" + std::to_string(i);
      item.description = "<p>" + phrase(3, 12) + "</p>";
      item.date = dates[d++];
      feed.items.push_back(std::move(item));
    }
    out.push_back(std::move(feed));
  }
  return out;
}

// The links of the items the matcher takes for phrase, newest first: the scrapbooks'
// rule, a title or else a description, each as Shift_JIS.
inline std::vector<std::string> Verdict(const std::vector<GeneratedFeed>& feeds, const std::string& phraseSjis,
                                        const TRSerch& lender, const std::vector<std::string>& onlyUrls = {}) {
  TRSerch m;
  m.AssignSynonymDic(lender);
  m.SetKeyword(phraseSjis);
  std::vector<std::pair<int64_t, std::string>> found;
  for (const GeneratedFeed& f : feeds) {
    if (!onlyUrls.empty() && std::find(onlyUrls.begin(), onlyUrls.end(), f.url) == onlyUrls.end()) continue;
    for (const GeneratedItem& i : f.items)
      if ((i.hasTitle && m.IsMatch(Utf8ToSjis(i.title))) || m.IsMatch(Utf8ToSjis(i.description)))
        found.emplace_back(i.date, i.link);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> links;
  for (const auto& [date, link] : found) links.push_back(link);
  return links;
}

// Every page of a search, the links in the order shown.
inline std::vector<std::string> AllPages(FindRequest request, ArchiveIndexer* indexer, const TRSerch& lender,
                                         FindResult* first = nullptr) {
  std::vector<std::string> links;
  for (request.page = 1;; ++request.page) {
    FindResult r = FindItems(request, indexer, lender);
    if (request.page == 1 && first) *first = r;
    for (const FoundItem& f : r.items) links.push_back(f.item.link);
    if (request.page >= r.pages) break;
  }
  return links;
}

class ArchiveHome : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.Write("channels/ChannelList.xml", "<?xml version=\"1.0\"?><channels/>");
    home_.Write("scrap/.keep", "");
    home_.Write("dic.csv", Utf8ToSjis("パソコン,PC\r\n"));
    lender_.LoadSynonymDic("dic.csv");
  }
  void WriteArchive(unsigned seed, int feeds, int perFeed) {
    feeds_ = GenerateArchive(seed, feeds, perFeed);
    for (const GeneratedFeed& f : feeds_) home_.Write(f.file, LogXml(f));
  }
  std::string S(const std::string& utf8) const { return Utf8ToSjis(utf8); }

  ProgramHome home_;
  TRSerch lender_;
  std::vector<GeneratedFeed> feeds_;
};

}  // namespace norvane::test
