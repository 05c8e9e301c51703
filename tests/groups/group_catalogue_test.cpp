#include "groups/group_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <tuple>

#include "core/program_files.h"
#include "core/disk_path.h"
#include "feeds/xml_node.h"
#include "groups/group_file_name.h"
#include "groups/group_home.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::OpmlOf;
using test::Sjis;

class Catalogue : public test::GroupHome {
 protected:
  void Group(const std::string& file, const std::string& title) {
    home_.Write("opmls/" + file, OpmlOf(title, {{"f", "http://127.0.0.1:9/f"}}));
  }
  // The saved catalogue's items as "title|file|goround" (UTF-8).
  std::vector<std::string> SavedItems() {
    TRXML doc;
    doc.LoadFromFile(files::CataloguePath());
    std::vector<std::string> out;
    for (xmlNodePtr item : doc.SelectNodes("group/items/item"))
      out.push_back(SjisToUtf8(GetAttribute(item, "title") + "|" + GetAttribute(item, "file") + "|" +
                               GetAttribute(item, "goround")));
    return out;
  }
  using Report = std::tuple<std::string, std::string, int>;
  std::vector<Report> Reported(TGP& gp) {
    std::vector<Report> seen;
    gp.LoadGpXml([&](const std::string& f, const std::string& t, int g) { seen.emplace_back(f, t, g); });
    return seen;
  }
};

TEST_F(Catalogue, StartWithoutCatalogueMakesOneItemPerReadableFileInNameOrder) {
  Group("b.opml", "Bee");
  Group("A.OPML", "Upper");  // the extension matches whatever its case
  Group("ニュース.opml", "日本語の題");
  home_.Write("opmls/broken.opml", "<opml><head><title>never closed");
  home_.Write("opmls/untitled.opml", "<opml><head/><body/></opml>");
  home_.Write("opmls/notes.txt", "not a group");
  home_.Write("opmls/folder.opml/inner.opml", OpmlOf("inside", {}));  // a folder is skipped

  TGP gp;
  EXPECT_EQ(SavedItems(), (std::vector<std::string>{"Upper|A.OPML|6", "Bee|b.opml|6",
                                                    "日本語の題|ニュース.opml|6"}));
  EXPECT_NE(home_.Read("opmls/gp.xml").find("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"),
            std::string::npos);
  EXPECT_NE(home_.Read("opmls/gp.xml").find("title=\"Upper\" file=\"A.OPML\" goround=\"6\""),
            std::string::npos);
  EXPECT_EQ(gp.setAsidePath(), "");
}

TEST_F(Catalogue, KeptItemsKeepOrderTitleAndIntervalWhileDeletedFilesLoseTheirs) {
  home_.Write("opmls/gp.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><group><items>"
              "<item title=\"Old Z\" file=\"z.opml\" goround=\"0\"/>"
              "<item title=\"Gone\" file=\"gone.opml\" goround=\"3\"/>"
              "<item title=\"Old A\" file=\"A.opml\" goround=\"12\"/>"
              "<item title=\"Twice\" file=\"a.OPML\" goround=\"1\"/>"
              "</items><other keep=\"yes\"/></group>");
  Group("z.opml", "New Z title");  // a changed title is not taken over
  Group("a.opml", "A");            // matched without regard to case, only once
  Group("new.opml", "Fresh");

  TGP gp;
  // The item matched without regard to case takes the name on disk, so it opens.
  EXPECT_EQ(SavedItems(), (std::vector<std::string>{"Old Z|z.opml|0", "Old A|a.opml|12", "Fresh|new.opml|6"}));
  EXPECT_NE(gp.GetXML().find("<other keep=\"yes\"/>"), std::string::npos);  // the rest is kept
}

TEST_F(Catalogue, DamagedCatalogueIsSetAsideAndRebuilt) {
  Group("g.opml", "G");
  for (const std::string& damaged : {std::string("<group><items>"), std::string("<group/>"),
                                    std::string("<other><items/></other>")}) {
    SCOPED_TRACE(damaged);
    home_.Write("opmls/gp.xml", damaged);
    testing::internal::CaptureStderr();
    TGP gp;
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_FALSE(gp.setAsidePath().empty());
    EXPECT_EQ(home_.Read(DiskPath(gp.setAsidePath())), damaged);  // the bytes are kept
    EXPECT_NE(err.find(SjisToUtf8(gp.setAsidePath())), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(SavedItems(), std::vector<std::string>{"G|g.opml|6"});
  }
  EXPECT_TRUE(home_.Exists("opmls/gp.xml.damaged.2"));  // earlier copies are not overwritten
}

TEST_F(Catalogue, LoadReportsEveryGroupUntilAnItemLacksAnInterval) {
  TGP gp;
  // The catalogue as the group organizer saved it after start.
  home_.Write("opmls/gp.xml",
              "<group><items><item title=\"One\" file=\"1.opml\" goround=\"6\"/>"
              "<item title=\"Zero\" file=\"0.opml\" goround=\"0\"/>"
              "<item title=\"NoRound\" file=\"n.opml\"/>"
              "<item title=\"After\" file=\"after.opml\" goround=\"2\"/></items></group>");
  auto seen = Reported(gp);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], Report("1.opml", "One", 6));
  EXPECT_EQ(seen[1], Report("0.opml", "Zero", 0));  // interval 0 is reported; never patrolled
  EXPECT_EQ(gp.GpFiles(), (std::vector<std::string>{"1.opml", "0.opml"}));
  EXPECT_EQ(gp.FirstGpFile(), "1.opml");

  home_.Write("opmls/gp.xml", "<group><items><item title=\"x\" file=\"x.opml\" goround=\"six\"/></items></group>");
  EXPECT_TRUE(Reported(gp).empty());
  EXPECT_TRUE(gp.GpFiles().empty());

  // A failing receiver ends the report; what was reported stays.
  home_.Write("opmls/gp.xml", "<group><items><item title=\"a\" file=\"a.opml\" goround=\"1\"/>"
                              "<item title=\"b\" file=\"b.opml\" goround=\"1\"/></items></group>");
  gp.LoadGpXml([](const std::string& f, const std::string&, int) {
    if (f == "b.opml") throw std::runtime_error("full");
  });
  EXPECT_EQ(gp.GpFiles(), std::vector<std::string>{"a.opml"});

  std::remove("opmls/gp.xml");
  EXPECT_THROW(gp.LoadGpXml(), XmlError);
}

TEST_F(Catalogue, SelectRemembersTheGroupAndFallsBackToLastThenFirst) {
  Group("first.opml", "F");
  Group("second.opml", "S");
  TGP gp;
  EXPECT_EQ(gp.SelectGpFile(""), "");  // nothing read yet: no first group
  gp.LoadGpXml([](const std::string&, const std::string&, int) {});
  EXPECT_EQ(gp.SelectGpFile(""), "first.opml");
  EXPECT_EQ(GetSettings().LASTOPML, "first.opml");
  EXPECT_EQ(gp.SelectGpFile("second.opml"), "second.opml");
  EXPECT_EQ(gp.SelectGpFile(""), "second.opml");
  EXPECT_EQ(GetSettings().LASTOPML, "second.opml");
}

TEST_F(Catalogue, GroupFileNamesFromBrowsersFindTheSameFile) {
  Group("ニュース.opml", "N");
  const std::string sjis = Sjis("ニュース.opml");
  EXPECT_EQ(ResolveGroupFile(sjis), sjis);
  // A modern browser's percent-encoded UTF-8, before and after the engine's decoding.
  EXPECT_EQ(ResolveGroupFile("%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9.opml"), sjis);
  EXPECT_EQ(ResolveGroupFile("ニュース.opml"), sjis);
  EXPECT_EQ(ResolveGroupFile("missing%20one.opml"), "missing%20one.opml");  // as given
  EXPECT_EQ(ResolveGroupFile(""), "");
  for (const char* away : {"../secret.opml", "/etc/passwd", "sub\\..\\..\\x.opml"})
    EXPECT_EQ(ResolveGroupFile(away), std::nullopt) << away;
}

}  // namespace
}  // namespace norvane
