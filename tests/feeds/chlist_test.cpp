#include "feeds/chlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/fnv_hash.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

class ChannelListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    UpdateSettings([](Settings& s) {
      s.PORT = 4565;
      s.LocalAddress = "192.168.1.5";
    });
  }
  void TearDown() override { ResetSettings(); }
  std::string ListPath() const { return dir / "channels/ChannelList.xml"; }
  test::TempDir dir;
};

TEST_F(ChannelListTest, FileNamesFollowTheUrl) {
  EXPECT_EQ(ChannelFileName("http://a.b/feed.rdf"), "a_b_feed_rdf");
  EXPECT_EQ(ChannelFileName("http://localhost:4565/htr.xml?s=a"), "htr_xml_s_a");
  EXPECT_EQ(ChannelFileName("HTTP://LOCALHOST:4565/htr.xml?s=a"), "htr_xml_s_a");
  EXPECT_EQ(ChannelFileName("http://192.168.1.5:4565/scrap.xml?n=k"), "scrap_xml_n_k");
  EXPECT_EQ(ChannelFileName("https://a.b/c"), "_a_b_c");
  EXPECT_EQ(ChannelFileName("http://localhost:8080/x"), "localhost_8080_x") << "another port";
  EXPECT_EQ(ChannelFileName(""), "");
  EXPECT_EQ(ChannelFileName("http://a/x?p=1&q=2"), ChannelFileName("http://a/x&p=1?q=2"));
  EXPECT_EQ(ChannelFileName("http://a.b/c"), ChannelFileName("http://a_b/c"));
  EXPECT_EQ(ChannelFileName("http://a/\\;*\"<>|+: "), "a__________");
  // The trail byte of a double-byte character is never replaced.
  std::string so = "\x83\x5C";  // katakana "so": trail byte 0x5C
  EXPECT_EQ(ChannelFileName("http://a/" + so), "a_" + so);
}

TEST_F(ChannelListTest, NamesTooLongForTheDiskAreShortenedTheSameWayEveryTime) {
  const std::string kana = "\x83\x5C";  // 2 bytes here, 3 on disk, trail byte 0x5C
  const struct {
    const char* what;
    std::string url;
    bool shortened;
  } cases[] = {
      {"fits exactly", "http://" + std::string(251, 'a'), false},
      {"one byte over", "http://" + std::string(252, 'a'), true},
      {"a long query", "http://a.b/feed?" + std::string(600, 'q') + "&page=2", true},
      {"Japanese, long on disk", "http://a/" + [&] {
         std::string s;
         for (int i = 0; i < 90; ++i) s += kana;  // 180 bytes here, 270 on disk
         return s;
       }(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = ChannelFileName(c.url);
    const std::string onDisk = SjisToUtf8(name) + ".xml";
    EXPECT_LE(onDisk.size(), kMaxLogFileNameBytes);
    EXPECT_EQ(ChannelFileName(c.url), name) << "the same every time";
    if (!c.shortened) {
      EXPECT_EQ(onDisk.size(), kMaxLogFileNameBytes);
      EXPECT_EQ(name.find('_'), std::string::npos) << name;
      continue;
    }
    const std::string full = [&] {  // what the name would be without the bound
      std::string n = c.url.substr(7);
      for (char& ch : n)
        if (ch == '/' || ch == '?' || ch == '&' || ch == '=' || ch == '.') ch = '_';
      return n;
    }();
    ASSERT_GT(name.size(), 17u);
    EXPECT_EQ(name.substr(name.size() - 17), "_" + Fnv1a64Hex(full)) << name;
    const std::string prefix = name.substr(0, name.size() - 17);
    EXPECT_EQ(full.compare(0, prefix.size(), prefix), 0) << "a readable start of the name";
    EXPECT_GT(onDisk.size(), kMaxLogFileNameBytes - 3) << "as much of it as fits";
    EXPECT_EQ(Utf8ToSjis(SjisToUtf8(prefix)), prefix) << "no character cut in half";
  }
  EXPECT_NE(ChannelFileName("http://a/?" + std::string(300, 'x') + "1"),
            ChannelFileName("http://a/?" + std::string(300, 'x') + "2"));
  // The hash itself, as published for FNV-1a: stable on every platform.
  EXPECT_EQ(Fnv1a64Hex(""), "cbf29ce484222325");
  EXPECT_EQ(Fnv1a64Hex("a"), "af63dc4c8601ec8c");
  EXPECT_EQ(Fnv1a64Hex("foobar"), "85944171f73967e8");
}

TEST_F(ChannelListTest, AStoredNameTooLongForTheDiskIsShortenedAndShortOnesStay) {
  const std::string longName = std::string(300, 'n');
  dir.Write("channels/ChannelList.xml",
            "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><channels>"
            "<channel><xmlUrl>http://a/</xmlUrl><file>kept_as_it_was</file><httpLastModified/></channel>"
            "<channel><xmlUrl>http://b/</xmlUrl><file>" + longName + "</file><httpLastModified/></channel>"
            "</channels>");
  TChList list(ListPath());
  EXPECT_EQ(TChItem(list, "http://a/").GetFileName(), "kept_as_it_was");
  const std::string fitted = TChItem(list, "http://b/").GetFileName();
  EXPECT_EQ(fitted, FitLogFileName(longName));
  EXPECT_LE(fitted.size() + 4, kMaxLogFileNameBytes);
  EXPECT_NE(list.GetXML().find("<file>" + fitted + "</file>"), std::string::npos) << "and kept";
}

TEST_F(ChannelListTest, EntriesAreAddedFilledAndSaved) {
  {
    TChList list(ListPath());
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_NE(list.GetXML().find("<channels/>"), std::string::npos);
    TChItem item(list, "http://a.b/feed.rdf");
    EXPECT_EQ(item.GetLastModified(), "");
    std::string before = list.GetXML();
    EXPECT_NE(before.find("<file/>"), std::string::npos) << before;
    EXPECT_EQ(item.GetFileName(), "a_b_feed_rdf");
    item.SetLastModified("Tue, 01 Apr 2025 10:00:00 GMT");
    TChItem again(list, "http://a.b/feed.rdf");
    EXPECT_EQ(again.GetLastModified(), "Tue, 01 Apr 2025 10:00:00 GMT");
    TChItem other(list, "http://A.B/feed.rdf");  // a different key: case matters
    EXPECT_EQ(list.Count(), 2u);
    dir.Write("channels/.keep", "");
    list.Save();
  }
  std::string file = dir.Read("channels/ChannelList.xml");
  EXPECT_EQ(file.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u);
  EXPECT_NE(file.find("<xmlUrl>http://a.b/feed.rdf</xmlUrl>"), std::string::npos) << file;
  EXPECT_NE(file.find("<file>a_b_feed_rdf</file>"), std::string::npos);

  // A later change of the port does not rename a stored log.
  UpdateSettings([](Settings& s) { s.PORT = 80; });
  TChList reloaded(ListPath());
  EXPECT_EQ(reloaded.Count(), 2u);
  TChItem item(reloaded, "http://a.b/feed.rdf");
  EXPECT_EQ(item.GetFileName(), "a_b_feed_rdf");
  EXPECT_EQ(item.GetLastModified(), "Tue, 01 Apr 2025 10:00:00 GMT");
  EXPECT_EQ(reloaded.Count(), 2u);
}

TEST_F(ChannelListTest, UrlsWithQuotesAndNonAsciiAreFoundAgain) {
  dir.Write("channels/.keep", "");
  const std::string quoted = "http://a/?q=\"x\"&r=<y>";
  const std::string japanese = "http://a/" + std::string("\x93\xFA\x96\x7B");  // Shift_JIS
  {
    TChList list(ListPath());
    TChItem(list, quoted).SetLastModified("d1");
    TChItem(list, japanese).SetLastModified("d2");
    TChItem(list, quoted);
    TChItem(list, japanese);
    EXPECT_EQ(list.Count(), 2u);
    list.Save();
  }
  TChList list(ListPath());
  EXPECT_EQ(TChItem(list, quoted).GetLastModified(), "d1");
  EXPECT_EQ(TChItem(list, japanese).GetLastModified(), "d2");
  EXPECT_EQ(list.Count(), 2u);
}

TEST_F(ChannelListTest, AListWrittenBeforeEntityTagsLoadsAndTakesThemBesideTheDate) {
  const std::string old =
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<channels><channel><xmlUrl>http://a/</xmlUrl>"
      "<file>a_</file><httpLastModified>d1</httpLastModified></channel>"
      "<channel><xmlUrl>http://b/</xmlUrl><file>b_</file><httpLastModified>d2</httpLastModified>"
      "</channel></channels>\n";
  dir.Write("channels/ChannelList.xml", old);
  {
    TChList list(ListPath());
    ASSERT_EQ(list.Count(), 2u);
    TChItem a(list, "http://a/"), b(list, "http://b/");
    EXPECT_EQ(a.GetETag(), "");
    EXPECT_EQ(a.GetLastModified(), "d1");
    b.SetETag("");  // no tag to keep: the entry stays as it was
    list.SaveIfChanged();
    EXPECT_EQ(dir.Read("channels/ChannelList.xml"), old) << "nothing changed, nothing written";
    a.SetETag("W/\"5e-1a\"");
    EXPECT_EQ(TChItem(list, "http://a/").GetETag(), "W/\"5e-1a\"");
    list.Save();
  }
  const std::string saved = dir.Read("channels/ChannelList.xml");
  // The last child of its entry, after the date.
  const size_t date = saved.find("<httpLastModified>d1</httpLastModified>");
  const size_t tag = saved.find("<httpETag>W/\"5e-1a\"</httpETag>");
  ASSERT_NE(tag, std::string::npos) << saved;
  EXPECT_LT(date, tag);
  EXPECT_LT(tag, saved.find("</channel>"));
  EXPECT_EQ(saved.find("httpETag", saved.find("</channel>")), std::string::npos) << "b has none";
  TChList again(ListPath());
  TChItem a(again, "http://a/");
  EXPECT_EQ(a.GetETag(), "W/\"5e-1a\"");
  a.SetETag("");  // the server stopped sending one
  EXPECT_EQ(a.GetETag(), "");
  EXPECT_EQ(TChItem(again, "http://b/").GetETag(), "");
}

TEST_F(ChannelListTest, DamagedListIsSetAsideAndANewOneStarted) {
  dir.Write("channels/ChannelList.xml", "<channels><channel><xmlUrl>broken");
  testing::internal::CaptureStderr();
  TChList list(ListPath());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(list.Count(), 0u);
  ASSERT_FALSE(list.setAsidePath().empty());
  EXPECT_EQ(dir.Read("channels/ChannelList.xml.damaged"), "<channels><channel><xmlUrl>broken");
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("ChannelList.xml.damaged"), std::string::npos);

  TChItem(list, "http://a/");
  list.Save();
  EXPECT_EQ(dir.Read("channels/ChannelList.xml.damaged"), "<channels><channel><xmlUrl>broken");

  // A readable document with another root is no channel list either; the earlier copy stays.
  dir.Write("channels/ChannelList.xml", "<opml/>");
  testing::internal::CaptureStderr();
  TChList second(ListPath());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(second.setAsidePath(), ListPath() + ".damaged.1");
  EXPECT_EQ(dir.Read("channels/ChannelList.xml.damaged"), "<channels><channel><xmlUrl>broken");
  EXPECT_EQ(second.Count(), 0u);
}

TEST_F(ChannelListTest, ThreadsMeetingANewUrlAddOneEntry) {
  TChList list(ListPath());
  constexpr int kThreads = 8, kUrls = 40;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int u = 0; u < kUrls; ++u) {
        TChItem item(list, "http://feeds.invalid/" + std::to_string(u));
        EXPECT_EQ(item.GetFileName(), "feeds_invalid_" + std::to_string(u));
        item.SetLastModified("t" + std::to_string(t));
        EXPECT_FALSE(item.GetLastModified().empty());
      }
    });
  }
  go = true;
  for (auto& th : threads) th.join();
  EXPECT_EQ(list.Count(), static_cast<size_t>(kUrls));
  EXPECT_EQ(list.GetXML().find("<file/>"), std::string::npos);
}

}  // namespace
}  // namespace norvane
