// The channel log merge as one table: a stored log, a fetched feed and LOG_CNT in, the
// merged log out. No server and no files: the documents are built from text here.
#include "feeds/log_merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feeds/rg_namespace.h"
#include "feeds/xml_node.h"

namespace norvane {
namespace {

// One item. link "-": none. type and day only for a stored log's items.
struct Item {
  std::string title;
  std::string link;
  std::string type = "";
  std::string day = "";
};
using Items = std::vector<Item>;

const char* kFetchDay = "Thu, 04 Dec 2025 10:00:00 GMT";

std::string ItemText(const Item& i, bool stored) {
  std::string s = "<item>";
  if (stored) s += "<rg:log type=\"" + i.type + "\"/><rg:revday>" + i.day + "</rg:revday>";
  s += "<title>" + i.title + "</title>";
  if (i.link != "-") s += "<link>" + i.link + "</link>";
  return s + "<description>about " + i.title + "</description></item>";
}

// A feed or stored log of either flavour; a stored one declares the marks' namespace
// and carries them, as a log file read back does.
std::string FeedText(const Items& items, bool stored, bool rdf = false) {
  const std::string rg = stored ? std::string(" xmlns:rg=\"") + kRgNamespace + "\"" : "";
  std::string itemsText;
  for (const Item& i : items) itemsText += ItemText(i, stored);
  if (rdf)
    return "<rdf:RDF xmlns=\"http://purl.org/rss/1.0/\" "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"" + rg +
           "><channel rdf:about=\"http://e/\"><title>C</title><link>http://e/</link></channel>" +
           itemsText + "</rdf:RDF>";
  return "<rss version=\"2.0\"" + rg + "><channel><title>C</title><link>http://e/</link>" +
         itemsText + "</channel></rss>";
}

// Every item as title:type:day.
std::vector<std::string> Marks(const TRXML& doc, const FeedPaths& paths) {
  std::vector<std::string> out;
  for (xmlNodePtr item : doc.SelectNodes(paths.items)) {
    xmlNodePtr mark = SelectSingleNode(item, "rg:log");
    xmlNodePtr day = SelectSingleNode(item, "rg:revday");
    out.push_back(NodeText(SelectSingleNode(item, "title")) + ":" + (mark ? GetAttribute(mark, "type") : "?") +
                  ":" + (day ? NodeText(day) : "?"));
  }
  return out;
}

std::vector<std::string> Titles(const std::vector<xmlNodePtr>& items) {
  std::vector<std::string> out;
  for (xmlNodePtr item : items) out.push_back(NodeText(SelectSingleNode(item, "title")));
  return out;
}

std::string At(const char* title, const char* type, const char* day) {
  return std::string(title) + ":" + type + ":" + day;
}
std::string Fresh(const char* title) { return At(title, "new", kFetchDay); }

struct MergeCase {
  const char* name;
  Items old;
  Items fetched;
  int logCnt;
  std::vector<std::string> merged;  // the fetched document's items afterwards
  std::vector<std::string> fresh;   // the items reported new
  const char* errorHas = nullptr;   // a merge that stops: part of its error
  // Variations of the documents: the flavours, a fetched feed not stamped, an empty log.
  bool oldRdf = false, fetchedRdf = false, fetchedUnstamped = false, oldEmpty = false;
  bool fetchedNoChannel = false;
};

const MergeCase kCases[] = {
    {"the worked example: LOG_CNT 1 keeps B alone behind the feed",
     {{"A", "http://e/a", "today", "d1"}, {"B", "http://e/b", "new", "d2"}, {"C", "http://e/c", "log", "d0"},
      {"D", "http://e/d", "log", "d0"}},
     {{"E", "http://e/e"}, {"A", "http://e/a"}},
     1,
     {Fresh("E"), At("A", "today", "d1"), At("B", "log", "d2")},
     {"E"}},
    {"a first log: everything fetched is new",
     {},
     {{"A", "http://e/a"}, {"B", "http://e/b"}},
     150,
     {Fresh("A"), Fresh("B")},
     {"A", "B"}},
    {"a changed feed brings one new item; the one that left becomes log",
     {{"A", "http://e/a", "new", "d1"}, {"B", "http://e/b", "new", "d1"}},
     {{"C", "http://e/c"}, {"A", "http://e/a"}},
     150,
     {Fresh("C"), At("A", "today", "d1"), At("B", "log", "d1")},
     {"C"}},
    {"a changed feed whose items are all known: all today with their first dates, the log behind",
     {{"C", "http://e/c", "new", "d2"}, {"A", "http://e/a", "today", "d1"}, {"B", "http://e/b", "log", "d1"}},
     {{"A", "http://e/a"}, {"C", "http://e/c"}},
     150,
     {At("A", "today", "d1"), At("C", "today", "d2"), At("B", "log", "d1")},
     {}},
    {"within LOG_CNT everything that left stays, in its order",
     {{"B", "http://e/b", "new", "d2"}, {"A", "http://e/a", "new", "d2"}, {"D", "http://e/d", "log", "d1"},
      {"C", "http://e/c", "log", "d1"}},
     {{"A", "http://e/a"}},
     5,
     {At("A", "today", "d2"), At("B", "log", "d2"), At("D", "log", "d1"), At("C", "log", "d1")},
     {}},
    {"the worked example after that history",
     {{"A", "http://e/a", "today", "d2"}, {"B", "http://e/b", "log", "d2"}, {"D", "http://e/d", "log", "d1"},
      {"C", "http://e/c", "log", "d1"}},
     {{"E", "http://e/e"}, {"A", "http://e/a"}},
     1,
     {Fresh("E"), At("A", "today", "d2"), At("B", "log", "d2")},
     {"E"}},
    {"LOG_CNT 0 drops every item that left the feed",
     {{"E", "http://e/e", "new", "d4"}, {"A", "http://e/a", "today", "d2"}, {"B", "http://e/b", "log", "d2"}},
     {{"F", "http://e/f"}},
     0,
     {Fresh("F")},
     {"F"}},
    {"a negative LOG_CNT is read as 0",
     {{"E", "http://e/e", "new", "d4"}, {"A", "http://e/a", "today", "d2"}, {"B", "http://e/b", "log", "d2"}},
     {{"F", "http://e/f"}},
     -3,
     {Fresh("F")},
     {"F"}},
    {"LOG_CNT bounds the past only: the feed's own items always stay",
     {{"A", "http://e/a", "today", "d1"}, {"B", "http://e/b", "today", "d1"}},
     {{"A", "http://e/a"}, {"B", "http://e/b"}, {"C", "http://e/c"}},
     0,
     {At("A", "today", "d1"), At("B", "today", "d1"), Fresh("C")},
     {"C"}},
    {"an item that had left and comes back is today with its first date",
     {{"A", "http://e/a", "log", "d0"}},
     {{"A", "http://e/a"}},
     150,
     {At("A", "today", "d0")},
     {}},
    {"the same link in two letter cases is one item",
     {{"L1", "http://e/l", "new", "d1"}},
     {{"L2", "http://e/L"}, {"M", "http://e/m"}, {"N", "-"}},
     10,
     {At("L2", "today", "d1"), Fresh("M"), Fresh("N")},
     {"M", "N"}},
    {"one old link, two fetched: the second is new; link-less items pair together",
     {{"L2", "http://e/L", "today", "d1"}, {"M", "http://e/m", "new", "d2"}, {"N", "-", "new", "d2"}},
     {{"X", "HTTP://E/L"}, {"Y", "http://e/l"}, {"Z", "-"}},
     10,
     {At("X", "today", "d1"), Fresh("Y"), At("Z", "today", "d2"), At("M", "log", "d2")},
     {"Y"}},
    {"an old link twice: the first fetched takes the later, the second the earlier",
     {{"P1", "http://e/p", "today", "d1"}, {"P2", "http://e/p", "today", "d2"}},
     {{"X", "http://e/p"}, {"Y", "http://e/P"}},
     150,
     {At("X", "today", "d2"), At("Y", "today", "d1")},
     {}},
    {"an old link twice, fetched once: the earlier stays behind as log",
     {{"P1", "http://e/p", "today", "d1"}, {"P2", "http://e/p", "today", "d2"}},
     {{"X", "http://e/p"}},
     150,
     {At("X", "today", "d2"), At("P1", "log", "d1")},
     {}},
    {"marking stops at the first log item; trimming takes only log items",
     {{"A", "http://e/a", "today", "d1"}, {"B", "http://e/b", "log", "d1"}, {"C", "http://e/c", "today", "d1"},
      {"D", "http://e/d", "log", "d1"}},
     {{"Z", "http://e/z"}},
     1,
     {Fresh("Z"), At("A", "log", "d1"), At("C", "today", "d1")},
     {"Z"}},
    {"RSS 1.0: the old items go behind the fetched ones under rdf:RDF",
     {{"A", "http://e/a", "new", "d1"}, {"B", "http://e/b", "today", "d1"}},
     {{"E", "http://e/e"}, {"A", "http://e/a"}},
     150,
     {Fresh("E"), At("A", "today", "d1"), At("B", "log", "d1")},
     {"E"},
     nullptr,
     true,
     true},
    {"a log of the other flavour is read by the fetched feed's paths: nothing of it carries over",
     {{"A", "http://e/a", "today", "d1"}},
     {{"A", "http://e/a"}},
     150,
     {Fresh("A")},
     {"A"},
     nullptr,
     true,
     false},
    {"a stored log that holds nothing: everything is new",
     {},
     {{"A", "http://e/a"}},
     150,
     {Fresh("A")},
     {"A"},
     nullptr,
     false,
     false,
     false,
     true},
    {"a fetched item without its marks still takes its old item's place",
     {{"A", "http://e/a", "new", "d1"}, {"B", "http://e/b", "new", "d1"}},
     {{"A", "http://e/a"}},
     150,
     {"A:?:?", At("B", "log", "d1")},
     {},
     nullptr,
     false,
     false,
     true},
    {"a fetched feed without an item container: the merge stops and the old items are lost",
     {{"A", "http://e/a", "today", "d1"}},
     {},
     150,
     {},
     {},
     "no item container",
     false,
     false,
     false,
     false,
     true},
};

TEST(LogMerge, TableOfCases) {
  for (const MergeCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const FeedPaths& paths = PathsForVersion(c.fetchedRdf ? "1.0" : "2.0");
    TRXML fetched;
    if (c.fetchedNoChannel)
      fetched.LoadFromXML("<rss version=\"2.0\"/>");
    else
      fetched.LoadFromXML(FeedText(c.fetched, false, c.fetchedRdf));
    if (!c.fetchedUnstamped) {
      EXPECT_EQ(StampArrivedItems(fetched, paths, kFetchDay).size(), c.fetched.size());
    }
    TRXML old;
    if (!c.oldEmpty) old.LoadFromXML(FeedText(c.old, true, c.oldRdf));

    const LogMergeResult result = MergeLog(fetched, old, paths, c.logCnt);

    EXPECT_EQ(Marks(fetched, paths), c.merged);
    EXPECT_EQ(Titles(result.newItems), c.fresh);
    if (c.errorHas) {
      EXPECT_FALSE(result.complete());
      EXPECT_NE(result.error.find(c.errorHas), std::string::npos) << result.error;
    } else {
      EXPECT_TRUE(result.complete()) << result.error;
      // What was paired, kept and trimmed accounts for every old item.
      const size_t oldCount = c.oldEmpty ? 0 : c.old.size();
      const bool readsOld = c.oldRdf == c.fetchedRdf;
      EXPECT_EQ(result.paired + result.kept + result.trimmed, readsOld ? oldCount : 0);
      EXPECT_EQ(result.paired + result.newItems.size(), c.fetched.size());
      EXPECT_TRUE(old.SelectNodes(paths.items).empty()) << "the old document gave up its items";
    }
  }
}

TEST(LogMerge, StampingPutsTheMarkFirstAndTheDateSecond) {
  TRXML fetched;
  fetched.LoadFromXML("<rss version=\"2.0\"><channel><title>C</title><item/><item><title>T</title></item>"
                      "</channel></rss>");
  const FeedPaths& paths = PathsForVersion("2.0");
  ASSERT_EQ(StampArrivedItems(fetched, paths, kFetchDay).size(), 2u);
  for (xmlNodePtr item : fetched.SelectNodes(paths.items)) {
    xmlNodePtr first = FirstChildElement(item);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(NodeName(first), "rg:log");
    EXPECT_EQ(GetAttribute(first, "type"), "new");
    EXPECT_EQ(NodeName(NextSiblingElement(first)), "rg:revday");
    EXPECT_EQ(NodeText(NextSiblingElement(first)), kFetchDay);
  }
}

TEST(LogMerge, AnUnchangedReloadTurnsNewIntoTodayAndKeepsTheRest) {
  const struct {
    const char* name;
    Items log;
    bool rdf;
    std::vector<std::string> after;
    size_t changed;
  } cases[] = {
      {"new becomes today, dates stay",
       {{"A", "http://e/a", "new", "d2"}, {"B", "http://e/b", "today", "d1"}, {"C", "http://e/c", "log", "d0"}},
       false,
       {At("A", "today", "d2"), At("B", "today", "d1"), At("C", "log", "d0")},
       1},
      {"RSS 1.0 the same",
       {{"A", "http://e/a", "new", "d2"}, {"B", "http://e/b", "new", "d2"}},
       true,
       {At("A", "today", "d2"), At("B", "today", "d2")},
       2},
      {"a log without items", {}, false, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FeedPaths& paths = PathsForVersion(c.rdf ? "1.0" : "2.0");
    TRXML log;
    log.LoadFromXML(FeedText(c.log, true, c.rdf));
    EXPECT_EQ(MarkUnchanged(log, paths), c.changed);
    EXPECT_EQ(Marks(log, paths), c.after);
    EXPECT_EQ(MarkUnchanged(log, paths), 0u) << "a second unchanged reload changes nothing";
  }
}

}  // namespace
}  // namespace norvane
