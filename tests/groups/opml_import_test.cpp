// Another reader's OPML brought into the groups: where each feed goes, what is skipped and
// why, and the files that are refused with nothing written.
#include "groups/opml_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "core/texts.h"
#include "feeds/xml_node.h"
#include "groups/group_home.h"
#include "groups/opml_export.h"

namespace norvane {
namespace {

using test::OpmlText;
using test::Sjis;

std::string Feed(const std::string& text, const std::string& url) {
  return "<outline text=\"" + text + "\" type=\"rss\" xmlUrl=\"" + url + "\"/>";
}

// The program folder's group files and their bytes: what a refused import must leave.
std::map<std::string, std::string> GroupFolder(const test::TempDir& home) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(home / "opmls"))
    files[e.path().filename().string()] = home.Read("opmls/" + e.path().filename().string());
  return files;
}

class OpmlImport : public test::GroupHome {
 protected:
  void SetUp() override {
    GroupHome::SetUp();
    home_.Write("opmls/news.opml", OpmlText("News", Feed("Old", "http://old.example/rss")));
    gp_ = std::make_unique<TGP>();
    gp_->LoadGpXml([](const std::string&, const std::string&, int) {});
  }
  std::vector<std::string> Addresses(const std::string& file) {
    TRXML doc;
    doc.LoadFromFile("opmls/" + file);
    std::vector<std::string> urls;
    for (xmlNodePtr o : doc.SelectNodes("opml/body/outline")) urls.push_back(GetAttribute(o, "xmlUrl"));
    return urls;
  }
  std::unique_ptr<TGP> gp_;
};

TEST_F(OpmlImport, FilesThatAreNoSafeOpmlAreRefusedWithNothingWritten) {
  const std::string opml = OpmlText("t", Feed("a", "http://a.example/"));
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;\">]><opml><head><title>&lol3;</title></head><body>" +
      Feed("a", "http://a.example/") + "</body></opml>";
  std::string utf16;  // "<!DOCTYPE" and the rest, two bytes a character
  for (char c : std::string("<!doctype opml SYSTEM \"x\"><opml><body/></opml>")) utf16 += std::string{c, '\0'};
  struct Case {
    const char* what;
    std::string bytes;
    std::string refused;
  } cases[] = {
      {"an external entity", "<?xml version=\"1.0\"?><!DOCTYPE opml [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                             "<opml><head><title>&x;</title></head><body/></opml>",
       T().importDoctype},
      {"a billion laughs", laughs, T().importDoctype},
      {"a bare doctype", "<!DOCTYPE opml>" + opml.substr(opml.find("?>") + 2), T().importDoctype},
      {"a doctype in UTF-16", "\xFF\xFE" + utf16, T().importDoctype},
      {"not XML", "these are my feeds: http://a.example/", T().importNotXml},
      {"broken XML", "<opml><body><outline text=\"a\"></body>", T().importNotXml},
      {"a feed, not OPML", "<rss version=\"2.0\"><channel><title>t</title></channel></rss>", T().importNotOpml},
      {"OPML without a body", "<opml version=\"2.0\"><head><title>t</title></head></opml>", T().importNotOpml},
  };
  const auto before = GroupFolder(home_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImportReport report = ImportOpml(*gp_, c.bytes);
    EXPECT_EQ(report.refused.substr(0, c.refused.size()), c.refused) << report.refused;
    EXPECT_TRUE(report.added.empty());
    EXPECT_EQ(GroupFolder(home_), before);
  }
  EXPECT_EQ(gp_->Items().size(), 1u);
}

TEST_F(OpmlImport, FoldersBecomeGroupsLooseFeedsGoToTheFilesTitleAndEverySkipSaysWhy) {
  const std::string file = OpmlText(
      "My reader",
      Feed("Loose 😀", "https://loose.example/feed") +
          "<outline text=\"Tech\"><outline text=\"Deeper\">" + Feed("Deep", "https://deep.example/atom") +
          "</outline>" + Feed("Shallow", "https://shallow.example/rss") + Feed("Twice", "https://deep.example/atom") +
          "</outline>"
          "<outline title=\"News\">" + Feed("Old again", "http://old.example/rss") +
          Feed("Fresh", "http://fresh.example/rss") + "</outline>"
          "<outline text=\"Blank\">  </outline>"  // white space alone: a feed, without an address
          "<outline text=\"Hollow\"><outline text=\"Inner\"><note/></outline></outline>"
          "<outline text=\"Nowhere\" type=\"rss\"/>" + Feed("Script", "javascript:alert(1)"));
  ImportReport report = ImportOpml(*gp_, file);
  ASSERT_EQ(report.refused, "");

  // Two new groups named after the file's title and the folder, and the existing group.
  ASSERT_EQ(report.groups.size(), 3u);
  EXPECT_EQ(report.groups[0].title, "My reader");
  EXPECT_EQ(report.groups[0].file, "My reader.opml");
  EXPECT_TRUE(report.groups[0].made);
  EXPECT_EQ(report.groups[1].file, "Tech.opml");
  EXPECT_EQ(report.groups[1].added, 2u);
  EXPECT_EQ(report.groups[2].file, "news.opml");
  EXPECT_FALSE(report.groups[2].made);
  EXPECT_EQ(report.groups[2].added, 1u);

  EXPECT_EQ(Addresses("Tech.opml"), (std::vector<std::string>{"https://deep.example/atom", "https://shallow.example/rss"}))
      << "the nested folder flattened into its top folder";
  EXPECT_EQ(Addresses("news.opml"), (std::vector<std::string>{"http://old.example/rss", "http://fresh.example/rss"}));
  EXPECT_NE(home_.Read("opmls/My reader.opml").find("text=\"Loose &#128512;\" type=\"rss\" xmlUrl=\"https://loose.example/feed\""),
            std::string::npos)
      << "what Shift_JIS lacks is kept: " << home_.Read("opmls/My reader.opml");

  ASSERT_EQ(report.added.size(), 4u);
  std::map<std::string, std::string> skipped;
  for (const ImportLine& line : report.skipped) skipped[line.title] = line.reason;
  EXPECT_EQ(skipped, (std::map<std::string, std::string>{{"Twice", T().importDuplicate},
                                                        {"Old again", T().importDuplicate},
                                                        {"Blank", T().importNoAddress},
                                                        {"Hollow", T().importEmptyFolder},
                                                        {"Nowhere", T().importNoAddress},
                                                        {"Script", T().importBadScheme}}));

  // The catalogue knows the new groups, patrolled as new groups are, and on disk.
  std::vector<TGP::Item> items = gp_->Items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].file, "My reader.opml");
  EXPECT_EQ(items[2].title, "Tech");
  EXPECT_NE(home_.Read("opmls/gp.xml").find("<item title=\"Tech\" file=\"Tech.opml\" goround=\"6\"/>"), std::string::npos);
  EXPECT_EQ(gp_->GpFiles().back(), "Tech.opml");

  // The same file again adds nothing and writes nothing.
  const auto before = GroupFolder(home_);
  ImportReport again = ImportOpml(*gp_, file);
  EXPECT_TRUE(again.added.empty());
  EXPECT_TRUE(again.groups.empty());
  EXPECT_EQ(again.skipped.size(), report.added.size() + report.skipped.size());
  EXPECT_EQ(GroupFolder(home_), before);
}

TEST_F(OpmlImport, ANewGroupWhoseFileNameIsTakenGetsASuffixAndStrangeTitlesMakeSafeNames) {
  home_.Write("opmls/Tech.opml", OpmlText("Something else", ""));
  gp_ = std::make_unique<TGP>();
  const std::string file = OpmlText("", "<outline text=\"Tech\">" + Feed("a", "http://a.example/") +
                                            "</outline><outline text=\"../a/b:c\">" + Feed("b", "http://b.example/") +
                                            "</outline>" + Feed("loose", "http://c.example/"));
  ImportReport report = ImportOpml(*gp_, file);
  ASSERT_EQ(report.groups.size(), 3u);
  EXPECT_EQ(report.groups[0].file, "Tech(2).opml");
  EXPECT_EQ(report.groups[1].file, "_a_b_c.opml");
  EXPECT_EQ(report.groups[2].title, T().importLooseTitle) << "a file without a title";
  for (const ImportedGroup& g : report.groups) EXPECT_TRUE(home_.Exists("opmls/" + SjisToUtf8(g.file))) << g.file;
  EXPECT_EQ(Addresses("Tech.opml"), std::vector<std::string>{}) << "the other group is untouched";
}

TEST_F(OpmlImport, AnExportReadBackAddsNothing) {
  ImportOpml(*gp_, OpmlText("Mine", "<outline text=\"日本語\">" + Feed("ニュース", "http://jp.example/rdf") + "</outline>"));
  const std::string exported = CreateExportOpml(*gp_, {}, 4565);
  const auto before = GroupFolder(home_);
  ImportReport report = ImportOpml(*gp_, exported);
  EXPECT_EQ(report.refused, "");
  EXPECT_TRUE(report.added.empty());
  EXPECT_EQ(report.skipped.size(), 2u);
  EXPECT_EQ(GroupFolder(home_), before);
  EXPECT_TRUE(home_.Exists("opmls/日本語.opml")) << "a Japanese title names its file";
}

TEST_F(OpmlImport, ConcurrencyTwoImportsOfOneFileAtOnceMakeEachGroupOnce) {
  const std::string file = OpmlText("t", "<outline text=\"Tech\">" + Feed("a", "http://a.example/") +
                                             Feed("b", "http://b.example/") + "</outline>");
  ImportReport first, second;
  std::thread a([&] { first = ImportOpml(*gp_, file); });
  std::thread b([&] { second = ImportOpml(*gp_, file); });
  a.join();
  b.join();
  EXPECT_EQ(first.added.size() + second.added.size(), 2u);
  EXPECT_EQ(first.skipped.size() + second.skipped.size(), 2u);
  EXPECT_EQ(Addresses("Tech.opml").size(), 2u);
  EXPECT_FALSE(home_.Exists("opmls/Tech(2).opml"));
  EXPECT_EQ(gp_->Items().size(), 2u);
}

}  // namespace
}  // namespace norvane
