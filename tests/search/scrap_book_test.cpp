#include "search/scrap_book.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/texts.h"
#include "feeds/rg_namespace.h"
#include "pattern/rserch.h"
#include "search/scrap_collection.h"
#include "search/scrap_test_home.h"

namespace norvane {
namespace {

class ScrapBookTest : public test::ScrapHome {};

TEST_F(ScrapBookTest, NewBookStartsWithTheSkeleton) {
  WriteKeys("k", {"foo", "a&b<c"});
  Tword book("k");
  EXPECT_EQ(book.Name, "k");
  EXPECT_EQ(book.WordList, "foo,a&b<c");
  EXPECT_EQ(book.Pattern, TRSerch::MakePattern("a&b<c OR foo"));
  EXPECT_FALSE(book.Changed());

  xmlNodePtr rss = book.DocumentElement();
  ASSERT_NE(rss, nullptr);
  EXPECT_EQ(NodeName(rss), "rss");
  EXPECT_EQ(GetAttribute(rss, "version"), "2.0");
  EXPECT_EQ(GetAttribute(rss, "xmlns:rg"), kRgNamespace);
  EXPECT_EQ(GetAttribute(rss, "xmlns:dc"), kDcNamespace);
  ASSERT_NE(book.Channel, nullptr);
  std::vector<std::string> names;
  for (xmlNodePtr e = FirstChildElement(book.Channel); e; e = NextSiblingElement(e))
    names.push_back(NodeName(e));
  EXPECT_EQ(names, (std::vector<std::string>{"title", "generator", "link", "description"}));
  EXPECT_EQ(NodeText(book.SelectSingleNode("rss/channel/title")), "k");
  EXPECT_EQ(NodeText(book.SelectSingleNode("rss/channel/generator")), "Norvane");
  EXPECT_EQ(NodeText(book.SelectSingleNode("rss/channel/link")), "");
  EXPECT_EQ(NodeText(book.SelectSingleNode("rss/channel/description")),
            "foo,a&b<c" + S(u8"でスクラップ中"));

  // Nothing is written until the book is saved; then the file declares Shift_JIS.
  EXPECT_FALSE(Exists("scrap/k.xml"));
  book.SaveFeed();
  std::string file = ReadFile("scrap/k.xml");
  EXPECT_EQ(file.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u) << file;
}

TEST_F(ScrapBookTest, AmpersandInTheNameGivesAWellFormedFeed) {
  const std::string name = S(u8"R&D・ニュース");
  WriteKeys(name, {"x"});
  {
    TScrapSerch books;
    ASSERT_EQ(books.Count(), 1);
    EXPECT_EQ(books.Items(0).Name, name);
  }  // saved at the end
  std::string file = ReadFile("scrap/" + name + ".xml");
  EXPECT_NE(file.find("R&amp;D"), std::string::npos) << file;
  TRXML reread;
  reread.LoadFromXML(file);
  EXPECT_EQ(NodeText(reread.SelectSingleNode("rss/channel/title")), name);
}

TEST_F(ScrapBookTest, StoredFeedIsKeptAndItsDescriptionRenewed) {
  WriteKeys("k", {"new", "words"});
  home.Write("scrap/k.xml",
             "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss version=\"2.0\"><channel><title>k</title>"
             "<description>old</description><item><title>kept</title></item></channel></rss>");
  Tword book("k");
  EXPECT_EQ(NodeText(book.SelectSingleNode("rss/channel/description")),
            "new,words" + S(u8"でスクラップ中"));
  EXPECT_EQ(book.SelectNodes("rss/channel/item").Length(), 1u);

  // A feed without the description keeps its own content; without a channel it takes nothing.
  home.Write("scrap/k.xml", "<rss version=\"2.0\"><other/></rss>");
  Tword bare("k");
  EXPECT_EQ(bare.Channel, nullptr);
  EXPECT_EQ(bare.SelectSingleNode("rss/channel/description"), nullptr);
}

TEST_F(ScrapBookTest, UnreadableFeedFileIsNeverOverwritten) {
  WriteKeys("k", {"x"});
  const std::string garbage = "<rss><channel><title>half";
  home.Write("scrap/k.xml", garbage);
  {
    TScrapSerch books;
    ASSERT_EQ(books.Count(), 1);
    EXPECT_EQ(books.Items(0).Channel, nullptr);
    EXPECT_TRUE(books.SaveAll());
  }
  EXPECT_EQ(home.Read("scrap/k.xml"), garbage);
}

TEST_F(ScrapBookTest, RejectedBooksAreSkippedWithTheirFilesUntouched) {
  WriteKeys("good", {"x"});
  home.Write("scrap/notxml.keys", "<scrap><word>x</wor");
  home.Write("scrap/notxml.xml", "<rss version=\"2.0\"><channel><title>t</title></channel></rss>");
  WriteKeys("badpattern", {"C++"});
  const std::string feedBefore = home.Read("scrap/notxml.xml");
  const std::string keysBefore = home.Read("scrap/notxml.keys");
  {
    TScrapSerch books;
    ASSERT_EQ(books.Count(), 1);
    EXPECT_EQ(books.Items(0).Name, "good");

    std::string error;
    EXPECT_FALSE(books.AddWord("badpattern", &error));
    EXPECT_NE(error.find(T().regexpNeedAtom), std::string::npos) << error;
    EXPECT_FALSE(books.AddWord("notxml", &error));
    EXPECT_NE(error.find(T().scrapBadKeywordFile), std::string::npos);
    EXPECT_FALSE(books.AddWord("missing", &error));
    EXPECT_NE(error.find(T().scrapNoKeywordFile), std::string::npos);
    for (const char* bad : {"", "../good", "a/b", "..", "."}) {
      EXPECT_FALSE(books.AddWord(bad, &error)) << bad;
    }
    EXPECT_EQ(books.Count(), 1);

    // The organizer adds a book once its keyword file is right.
    WriteKeys("later", {"y"});
    EXPECT_TRUE(books.AddWord("later", &error));
    EXPECT_EQ(books.Count(), 2);
    books.DeleteWord("later");
    books.DeleteWord("unknown");
    ASSERT_EQ(books.Count(), 1);
  }
  EXPECT_EQ(home.Read("scrap/notxml.xml"), feedBefore);
  EXPECT_EQ(home.Read("scrap/notxml.keys"), keysBefore);
  EXPECT_FALSE(home.Exists("scrap/badpattern.xml"));
  EXPECT_FALSE(home.Exists("scrap/later.xml")) << "a deleted book is not saved";
  EXPECT_TRUE(home.Exists("scrap/good.xml"));
}

TEST_F(ScrapBookTest, FilesThatAreLinksOutOfTheFolderAreNeitherReadNorServed) {
  WriteKeys("good", {"x"});
  // Feeds elsewhere on the disk, reached through links inside "scrap".
  const std::string outside = "<rss version=\"2.0\"><channel><title>private</title></channel></rss>";
  home.Write("private/feed.xml", outside);
  WriteKeys("inner", {"y"});
  ASSERT_EQ(rename("scrap/inner.keys", "private/k.keys"), 0);
  WriteKeys("feedlink", {"z"});
  ASSERT_EQ(symlink("../private/feed.xml", "scrap/feedlink.xml"), 0);
  ASSERT_EQ(symlink("../private/k.keys", "scrap/keylink.keys"), 0);
  {
    TScrapSerch books;
    ASSERT_EQ(books.Count(), 1);
    EXPECT_EQ(books.Items(0).Name, "good");
    std::string error;
    EXPECT_FALSE(books.AddWord("feedlink", &error));
    EXPECT_EQ(error.rfind(T().scrapOutside, 0), 0u) << error;
    EXPECT_TRUE(books.SaveAll());
  }
  EXPECT_EQ(home.Read("private/feed.xml"), outside);
  char target[256] = {};
  EXPECT_GT(readlink("scrap/feedlink.xml", target, sizeof target - 1), 0) << "the link is left as it is";
}

TEST_F(ScrapBookTest, ListingIsSortedAndBlindToTheExtensionsCase) {
  WriteKeys("b", {"x"});
  home.Write("scrap/a.KEYS", "<scrap><word>x</word></scrap>");
  home.Write("scrap/c.Keys", "<scrap><word>x</word></scrap>");
  home.Write("scrap/d.keys/inner", "");  // a folder
  home.Write("scrap/e.txt", "<scrap><word>x</word></scrap>");
  home.Write("scrap/f.keys.bak", "<scrap><word>x</word></scrap>");
  WriteKeys(S(u8"ニュース"), {"x"});
  home.Write("scrap/\xFF\xFE.keys", "<scrap><word>x</word></scrap>");  // no Shift_JIS form
  TScrapSerch books;
  std::vector<std::string> names;
  for (int i = 0; i < books.Count(); ++i) names.push_back(books.Items(i).Name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", S(u8"ニュース")}));
  EXPECT_THROW(books.Items(4), std::out_of_range);

  // The organizer's AddWord finds a keyword file whose extension has other letters.
  books.DeleteWord("a");
  EXPECT_TRUE(books.AddWord("a"));
  EXPECT_EQ(books.Items(books.Count() - 1).Name, "a");
}

}  // namespace
}  // namespace norvane
