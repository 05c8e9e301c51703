// The example scripts that ship in data/scripts, run on the sample page they were
// written for: both must give the same well-formed RSS 2.0 feed.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/sjis.h"
#include "htr/process.h"
#include "htr/script_host.h"

namespace norvane {
namespace {

using std::chrono::milliseconds;
const std::string kData = NORVANE_DATA_DIR;
const std::string kBase = "http://127.0.0.1:4565/sample/notice.html";

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct TextFree {
  void operator()(xmlChar* t) const { xmlFree(t); }
};

struct Item {
  std::string title, link, date;
  bool operator==(const Item&) const = default;
};

std::string Child(xmlNode* parent, const char* name) {
  for (xmlNode* n = parent->children; n; n = n->next)
    if (n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST name)) {
      std::unique_ptr<xmlChar, TextFree> text(xmlNodeGetContent(n));
      return reinterpret_cast<const char*>(text.get());
    }
  return "<missing " + std::string(name) + ">";
}

// Items of an RSS 2.0 document, text in UTF-8; empty when it is not one.
std::vector<Item> ReadFeed(const std::string& feed, std::string* title) {
  std::unique_ptr<xmlDoc, DocFree> doc(xmlReadMemory(
      feed.data(), static_cast<int>(feed.size()), "feed.xml", nullptr,
      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  std::vector<Item> items;
  if (!doc) return items;
  xmlNode* rss = xmlDocGetRootElement(doc.get());
  if (!rss || !xmlStrEqual(rss->name, BAD_CAST "rss")) return items;
  for (xmlNode* ch = rss->children; ch; ch = ch->next) {
    if (ch->type != XML_ELEMENT_NODE || !xmlStrEqual(ch->name, BAD_CAST "channel")) continue;
    *title = Child(ch, "title");
    for (xmlNode* n = ch->children; n; n = n->next)
      if (n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST "item"))
        items.push_back({Child(n, "title"), Child(n, "link"), Child(n, "pubDate")});
  }
  return items;
}

std::string SamplePage() {
  std::string page;
  EXPECT_TRUE(ReadWholeFile(kData + "/www/sample/notice.html", page));
  return page;
}

const std::vector<Item> kExpected = {
    {"夏祭りの日程が決まりました", kBase + "#n3", "Mon, 01 Jul 2024 00:00:00 +0900"},
    {"資源ごみの回収日が変わります", kBase + "#n2", "Sat, 15 Jun 2024 00:00:00 +0900"},
    {"防災訓練のご案内", kBase + "#n1", "Sat, 01 Jun 2024 00:00:00 +0900"},
};

TEST(ScriptExamples, EcmaScriptExampleMakesTheFeed) {
  std::string page = SamplePage(), feed;
  ScriptHost host;
  host.SetOutputHandler([&](const std::string& text) { feed = text; });
  host.SetInputHandler([&](bool wholeLine, int, std::string& text) {
    text = wholeLine ? page : "";
    return true;
  });
  ASSERT_TRUE(host.CompileFile(kData + "/scripts/notice.js")) << host.ErrorText();
  ASSERT_TRUE(host.Run({kBase, Utf8ToSjis("お知らせ")}, milliseconds(60000))) << host.ErrorText();
  std::string title;
  EXPECT_EQ(ReadFeed(feed, &title), kExpected) << SjisToUtf8(feed);
  EXPECT_EQ(title, "お知らせ");
}

TEST(ScriptExamples, ShellExampleMakesTheFeed) {
  std::optional<std::string> feed =
      RunProcess(kData + "/scripts/notice.sh " + kBase, SamplePage(), kData + "/scripts",
                 milliseconds(60000));
  ASSERT_TRUE(feed.has_value());
  std::string title;
  std::vector<Item> items = ReadFeed(*feed, &title);
  EXPECT_EQ(title, "みどり町内会のお知らせ");
  ASSERT_EQ(items.size(), kExpected.size()) << SjisToUtf8(*feed);
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].title, kExpected[i].title);
    EXPECT_EQ(items[i].link, kExpected[i].link);
    // Only a machine without time-zone data gives another offset.
    EXPECT_EQ(items[i].date.substr(0, 16), kExpected[i].date.substr(0, 16));
  }
}

}  // namespace
}  // namespace norvane
