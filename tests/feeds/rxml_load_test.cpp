// Loading documents in every code they arrive in, and storing them without loss.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/iconv_codec.h"
#include "core/texts.h"
#include "feeds/rxml.h"
#include "support/dom_text.h"
#include "support/feed_server.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::BodyCode;
using test::DomText;
using test::EncodeBody;
using test::Sjis;

std::string DeclaredFeed(const std::string& declaration, const std::string& title) {
  return declaration + "<rss version=\"2.0\"><channel><title>" + title +
         "</title><link>http://example.invalid/</link><description>d</description>"
         "<item><title>" + title + "の記事</title><link>http://example.invalid/1</link></item>"
         "</channel></rss>";
}

TEST(RxmlLoad, EveryJapaneseCodeGivesTheSameShiftJisText) {
  const std::string title = "日本語のフィード・テスト";
  struct Case {
    BodyCode code;
    std::string declaration;
  } cases[] = {
      {BodyCode::Utf8, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
      {BodyCode::Utf8, ""},
      {BodyCode::Utf8Mark, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"},
      {BodyCode::ShiftJis, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"},
      {BodyCode::ShiftJis, ""},
      {BodyCode::EucJp, "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>"},
      {BodyCode::Iso2022Jp, "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration + " code " + std::to_string(static_cast<int>(c.code)));
    TRXML x;
    ASSERT_TRUE(x.LoadFromString(EncodeBody(DeclaredFeed(c.declaration, title), c.code), "src"));
    EXPECT_EQ(x.ErrorText, "");
    EXPECT_EQ(NodeText(x.SelectSingleNode("rss/channel/title")), Sjis(title));
    EXPECT_EQ(NodeText(x.SelectSingleNode("rss/channel/item/title")), Sjis(title + "の記事"));
    std::string xml = x.GetXML();
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\"?>", 0), 0u) << xml;
    EXPECT_NE(xml.find(Sjis(title)), std::string::npos);
  }
}

TEST(RxmlLoad, WindowsCodePageCharactersRoundTrip) {
  // ① and Ⅰ exist only in the Windows form of Shift_JIS.
  const std::string title = "①Ⅰ～∥－";
  for (BodyCode code : {BodyCode::ShiftJis, BodyCode::Utf8}) {
    std::string decl = code == BodyCode::ShiftJis ? "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" : "";
    TRXML x;
    ASSERT_TRUE(x.LoadFromString(EncodeBody(DeclaredFeed(decl, title), code), "src"));
    EXPECT_EQ(NodeText(x.SelectSingleNode("rss/channel/title")), Sjis(title));
    EXPECT_NE(x.GetXML().find(Sjis(title)), std::string::npos);
  }
}

TEST(RxmlLoad, FetchedFeedsInEachCodeLoadThroughTheClient) {
  test::FeedServer server;
  const std::string title = "取得したフィード";
  server.Serve("/utf8", EncodeBody(DeclaredFeed("", title), BodyCode::Utf8Mark));
  server.Serve("/euc", EncodeBody(DeclaredFeed("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>", title), BodyCode::EucJp));
  server.Serve("/jis", EncodeBody(DeclaredFeed("<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>", title),
                                  BodyCode::Iso2022Jp));
  for (const char* path : {"/utf8", "/euc", "/jis"}) {
    TRXML x;
    std::string date = "kept";
    ASSERT_TRUE(x.LoadFromHTTPIfModified(server.Url(path), "", date)) << path;
    EXPECT_EQ(date, "");
    EXPECT_EQ(NodeText(x.SelectSingleNode("rss/channel/title")), Sjis(title)) << path;
  }
}

TEST(RxmlLoad, CharactersShiftJisLacksSurviveSaveAndReload) {
  test::TempDir dir;
  const std::string text = "café straße 😀 汉语 日本";
  std::string feed =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>" + text +
      "</title><description><![CDATA[<b>" + text + "</b>]]></description>"
      "<item><title a=\"" + text + "\">x</title></item></channel></rss>";
  TRXML x;
  ASSERT_TRUE(x.LoadFromString(feed, "src"));
  EXPECT_EQ(DomText(x, "rss/channel/title"), text);

  std::string path = dir / "log.xml";
  x.SaveToFile(path);
  std::string file = dir.Read("log.xml");
  EXPECT_EQ(file.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u);
  EXPECT_NE(file.find("caf&#233;"), std::string::npos) << file;
  EXPECT_NE(file.find("&#128512;"), std::string::npos);
  EXPECT_NE(file.find(Sjis("日本")), std::string::npos) << "Japanese stays Shift_JIS bytes";

  // The stored log is read as it was written, the same either way.
  TRXML own;
  own.LoadOwnFile(path);
  EXPECT_EQ(own.ErrorText, "");
  EXPECT_EQ(own.GetXML(), [&] { TRXML general; general.LoadFromFile(path); return general.GetXML(); }());
  // A file declared Shift_JIS that holds UTF-8 (not written by this program) is read the
  // careful way, not as mojibake.
  dir.Write("utf8.xml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss version=\"2.0\"><channel><title>" +
                            std::string("日本語のログ") + "</title></channel></rss>");
  TRXML mislabelled;
  mislabelled.LoadOwnFile(dir / "utf8.xml");
  EXPECT_EQ(DomText(mislabelled, "rss/channel/title"), "日本語のログ");

  TRXML back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.ErrorText, "");
  EXPECT_EQ(DomText(back, "rss/channel/title"), text);
  EXPECT_EQ(DomText(back, "rss/channel/description"), "<b>" + text + "</b>");
  xmlNodePtr item = back.SelectSingleNode("rss/channel/item/title");
  xmlChar* a = xmlGetProp(item, BAD_CAST "a");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(a)), text);
  xmlFree(a);
  // Read back as program text, the lacking characters are the substitute.
  EXPECT_EQ(NodeText(back.SelectSingleNode("rss/channel/title")), Sjis("caf? stra?e ? ?? 日本"));
}

TEST(RxmlLoad, UnmarkedUtf8WithAccentsBeforeJapaneseStaysUtf8) {
  // The three-byte scan alone would not call this UTF-8: the é comes first.
  std::string feed = DeclaredFeed("", "é première 日本語");
  TRXML x;
  ASSERT_TRUE(x.LoadFromString(feed, "src"));
  EXPECT_EQ(DomText(x, "rss/channel/title"), "é première 日本語");
}

TEST(RxmlLoad, OtherDeclaredEncodingsAreDecodedByTheirDeclaration) {
  struct Case {
    const char* encoding;
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"ISO-8859-1", "caf\xE9 \xE0 la cr\xE8me", "café à la crème"},
      {"windows-1252", "\x80 5 \x93quoted\x94", "€ 5 “quoted”"},
      {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "Привет"},
      {"EUC-KR", "\xC7\xD1\xB1\xB9\xBE\xEE", "한국어"},
      {"GB2312", "\xD6\xD0\xCE\xC4", "中文"},
      {"Big5", "\xA4\xA4\xA4\xE5", "中文"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoding);
    std::string feed = std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding +
                       "\"?><rss version=\"2.0\"><channel><title>" + c.bytes + "</title></channel></rss>";
    TRXML x;
    ASSERT_TRUE(x.LoadFromString(feed, "src"));
    EXPECT_EQ(x.ErrorText, "");
    EXPECT_EQ(DomText(x, "rss/channel/title"), c.utf8);
    EXPECT_EQ(x.XMLWithEncoding().rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u);
  }
  // UTF-16 with its mark and declaration.
  std::string u16 = "\xFF\xFE";
  for (char ch : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss version=\"2.0\"><channel><title>ok</title></channel></rss>")) {
    u16.push_back(ch);
    u16.push_back('\0');
  }
  TRXML x;
  ASSERT_TRUE(x.LoadFromString(u16, "src"));
  EXPECT_EQ(DomText(x, "rss/channel/title"), "ok");
}

// A UTF-16 document, with or without its mark, is stored like every other log: in
// Shift_JIS, declaring it, and it reads back the same.
TEST(RxmlLoad, Utf16DocumentsAreSavedWithTheShiftJisDeclaration) {
  test::TempDir dir;
  const std::string text = "日本語 café";
  auto utf16 = [](std::string_view utf8, const char* code) {
    IconvCodec codec(code, "UTF-8");
    return codec.Convert(utf8, [](std::string_view, std::string&) -> size_t { return 1; });
  };
  const std::string feed = DeclaredFeed("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", text);
  const std::string bare = DeclaredFeed("", text);
  struct Case {
    const char* what;
    std::string bytes;
    bool declared;
  } cases[] = {
      {"little-endian mark", "\xFF\xFE" + utf16(feed, "UTF-16LE"), true},
      {"big-endian mark", "\xFE\xFF" + utf16(feed, "UTF-16BE"), true},
      {"no mark, declared", utf16(feed, "UTF-16LE"), true},
      {"no mark, no declaration", utf16(bare, "UTF-16BE"), false},
  };
  const std::string sjisDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRXML x;
    ASSERT_TRUE(x.LoadFromString(c.bytes, "src"));
    EXPECT_EQ(DomText(x, "rss/channel/title"), text);
    x.SaveToFile(dir / "log.xml");
    EXPECT_EQ(dir.Read("log.xml").rfind(sjisDeclaration, 0), 0u) << dir.Read("log.xml");
    TRXML back;
    back.LoadFromFile(dir / "log.xml");
    EXPECT_EQ(back.ErrorText, "");
    EXPECT_EQ(DomText(back, "rss/channel/title"), text);

    // The library's own loader (stylesheets, documents of the program) keeps it too.
    dir.Write("doc.xml", c.bytes);
    TRXML loaded;
    loaded.Load(dir / "doc.xml");
    if (!c.declared) continue;  // the library knows UTF-16 without a mark by "<?" only
    EXPECT_EQ(DomText(loaded, "rss/channel/title"), text);
    loaded.SaveToFile(dir / "again.xml");
    EXPECT_EQ(dir.Read("again.xml").rfind(sjisDeclaration, 0), 0u) << dir.Read("again.xml");
  }
}

TEST(RxmlLoad, DeclarationIsDroppedUpToTheFirstClosingMark) {
  TRXML plain;
  ASSERT_TRUE(plain.LoadFromString("<rss version=\"2.0\"><channel><title>a</title></channel></rss>", "s"));
  EXPECT_EQ(plain.ErrorText, "");
  EXPECT_EQ(plain.XMLWithEncoding().rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u);

  TRXML styled;
  ASSERT_TRUE(styled.LoadFromString(
      "<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?>\n<rss version=\"2.0\"><channel/></rss>", "s"));
  EXPECT_EQ(styled.GetXML().find("xml-stylesheet"), std::string::npos);
  EXPECT_NE(styled.SelectSingleNode("rss/channel"), nullptr);
}

TEST(RxmlLoad, FallbackReadsTheSameBytesAndReportsItsLines) {
  const Texts& t = T();
  // The first "?>" is inside the text: the rewritten text breaks, the bytes themselves parse.
  TRXML x;
  ASSERT_TRUE(x.LoadFromString("<rss><channel><title>a?>b</title></channel></rss>", "http://src/feed"));
  EXPECT_EQ(x.ErrorText, "\r\n" + t.xmlParseFailed + "\r\n" + t.xmlFallback + "http://src/feed");
  EXPECT_EQ(NodeText(x.SelectSingleNode("rss/channel/title")), "a?>b");
  EXPECT_EQ(x.XMLWithEncoding().rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u);

  const std::string threeLines =
      "\r\n" + t.xmlParseFailed + "\r\n" + t.xmlFallback + "file.xml" + "\r\n" + t.xmlLoadFailed;
  TRXML broken;
  EXPECT_FALSE(broken.LoadFromString("<a>?></b>", "file.xml"));
  // Then where the bytes themselves broke.
  EXPECT_EQ(broken.ErrorText, threeLines + "\r\nXML error at line 1: Opening and ending tag mismatch: a line 1 and b");
  EXPECT_EQ(broken.GetXML(), "");

  TRXML empty;
  EXPECT_FALSE(empty.LoadFromString("", "file.xml"));
  EXPECT_EQ(empty.ErrorText, threeLines);
}

TEST(RxmlLoad, LoadFromXmlParsesProgramTextAsItStands) {
  TRXML x;
  x.LoadFromXML("<?xml version=\"1.0\"?><a>" + Sjis("表示") + "</a>");
  EXPECT_EQ(NodeText(x.DocumentElement()), Sjis("表示"));

  TRXML bad;
  try {
    bad.LoadFromXML("");
    FAIL() << "empty text must raise";
  } catch (const XmlError& e) {
    EXPECT_EQ(e.what(), T().xmlParseFailedRaise);
  }
  EXPECT_EQ(bad.ErrorText, "\r\n" + T().xmlParseFailed);
  EXPECT_EQ(bad.GetXML(), "");
}

TEST(RxmlLoad, FilesThatCannotBeReadOrWrittenRaiseAndLeaveNothingHalfDone) {
  test::TempDir dir;
  TRXML x;
  EXPECT_THROW(x.LoadFromFile(dir / "missing.xml"), XmlError);

  x.Clear();
  x.CreateRoot("channels");
  // The target is a folder: the replacement cannot be renamed over it.
  dir.Write("occupied/keep.txt", "kept");
  EXPECT_THROW(x.SaveToFile(dir / "occupied"), XmlError);
  EXPECT_EQ(dir.Read("occupied/keep.txt"), "kept");
  EXPECT_THROW(x.SaveToFile(dir / "no-such-folder/list.xml"), XmlError);

  dir.Write("list.xml", "old");
  x.SaveToFile(dir / "list.xml");
  EXPECT_EQ(dir.Read("list.xml"), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<channels/>\n");
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2) << "no temporary file left beside the log";
}

// Past the XML library's default 10 MB text limit: what was stored must read back.
TEST(RxmlLoad, ADocumentOfTwelveMegabytesIsStoredAndReadBack) {
  test::TempDir dir;
  const std::string text(12u << 20, 'a');
  TRXML big;
  ASSERT_TRUE(big.LoadFromString("<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                                 "<item><description>" + text + "</description></item></channel></rss>",
                                 "big"));
  big.SaveToFile(dir / "big.xml");
  TRXML again;
  again.LoadFromFile(dir / "big.xml");
  EXPECT_EQ(NodeText(again.SelectSingleNode("rss/channel/item/description")).size(), text.size());
}

TEST(RxmlLoad, ExternalEntitiesAndDtdsAreNeverRead) {
  test::TempDir dir;
  std::string secret = dir.Write("secret.txt", "SECRET");
  TRXML x;
  x.LoadFromString("<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]><r>&x;</r>", "s");
  EXPECT_EQ(x.GetXML().find("SECRET"), std::string::npos);
  EXPECT_EQ(NodeText(x.DocumentElement()).find("SECRET"), std::string::npos);

  // An old feed naming its DTD by URL still loads, and its entity references stay as written.
  TRXML old;
  ASSERT_TRUE(old.LoadFromString(
      "<?xml version=\"1.0\"?><!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
      "\"http://127.0.0.1:1/rss-0.91.dtd\"><rss version=\"0.91\"><channel><title>a&nbsp;b</title>"
      "</channel></rss>", "s"));
  EXPECT_NE(old.GetXML().find("a&nbsp;b"), std::string::npos) << old.GetXML();

  // Entity expansion beyond the library's limits fails instead of eating memory.
  std::string bomb = "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">";
  std::string prev = "a";
  for (int i = 0; i < 10; ++i) {
    std::string name = "e" + std::to_string(i);
    bomb += "<!ENTITY " + name + " \"";
    for (int k = 0; k < 10; ++k) bomb += "&" + prev + ";";
    bomb += "\">";
    prev = name;
  }
  bomb += "]><r>&" + prev + ";</r>";
  TRXML big;
  big.LoadFromString(bomb, "s");
  EXPECT_LT(big.GetXML().size(), 1u << 20);
  if (big.DocumentElement()) {
    EXPECT_LT(NodeText(big.DocumentElement()).size(), 1u << 20);
  }
}

TEST(RxmlLoad, StylesheetLoaderReadsFilesOnly) {
  test::TempDir dir;
  dir.Write("s.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>");
  TRXML x;
  x.Load(dir / "s.xml");
  EXPECT_EQ(DomText(x, "a"), "é");
  x.Load("http://127.0.0.1:1/s.xsl");
  EXPECT_EQ(x.GetXML(), "");
  x.Load(dir / "none.xml");
  EXPECT_EQ(x.GetXML(), "");
}

}  // namespace
}  // namespace norvane
