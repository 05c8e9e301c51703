// Which code fetched bytes are read in: mark, zero bytes, declaration, the server's
// charset, the Japanese detector, windows-1252; and feeds that arrive that way.
#include <gtest/gtest.h>

#include <string>

#include "feeds/rxml.h"
#include "feeds/xml_encoding.h"
#include "support/dom_text.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

using test::BodyCode;
using test::DomText;
using test::EncodeBody;

std::string Decl(const std::string& encoding) {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>";
}

std::string ReadingFeed(const std::string& head, const std::string& title) {
  return head + "<rss version=\"2.0\"><channel><title>" + title + "</title></channel></rss>";
}

std::string Utf16(std::string_view ascii, bool littleEndian) {
  std::string out;
  for (char c : ascii) {
    out.push_back(littleEndian ? c : '\0');
    out.push_back(littleEndian ? '\0' : c);
  }
  return out;
}

// EUC-JP katakana: every byte is also a half-width kana of Shift_JIS, so the detector
// cannot tell the two apart.
const std::string kEucKatakana = "\xA5\xA2\xA5\xA4\xA5\xA6\xA5\xA8\xA5\xAA";  // アイウエオ
const std::string kSjisHiragana = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6";          // あいうえ
const std::string kUtf8Japanese = "日本語のフィード";

TEST(TextReading, EachRuleInBrowserOrder) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string charset;
    ByteCode code;
    std::string name;
  } cases[] = {
      {"UTF-8 mark beats the declaration", "\xEF\xBB\xBF" + ReadingFeed(Decl("ISO-8859-1"), "caf\xC3\xA9"), "",
       ByteCode::Utf8, ""},
      {"UTF-16LE mark", "\xFF\xFE" + Utf16("<a/>", true), "Shift_JIS", ByteCode::Utf16LE, ""},
      {"UTF-16BE mark", "\xFE\xFF" + Utf16("<a/>", false), "", ByteCode::Utf16BE, ""},
      {"UTF-16LE by zero bytes", Utf16("<rss/>", true), "", ByteCode::Utf16LE, ""},
      {"UTF-16BE by zero bytes", Utf16(Decl("UTF-16") + "<a/>", false), "", ByteCode::Utf16BE, ""},
      {"Latin-1 label over UTF-8", ReadingFeed(Decl("ISO-8859-1"), kUtf8Japanese), "", ByteCode::Utf8, ""},
      {"US-ASCII label over UTF-8", ReadingFeed(Decl("us-ascii"), "caf\xC3\xA9"), "", ByteCode::Utf8, ""},
      {"windows-1252 label over UTF-8", ReadingFeed(Decl("windows-1252"), kUtf8Japanese), "", ByteCode::Utf8, ""},
      {"Latin-1 is windows-1252", ReadingFeed(Decl("ISO-8859-1"), "caf\xE9"), "", ByteCode::Named, "WINDOWS-1252"},
      {"latin1 alias", ReadingFeed(Decl("latin1"), "\x93q\x94"), "", ByteCode::Named, "WINDOWS-1252"},
      {"declared Shift_JIS", ReadingFeed(Decl("Shift_JIS"), kSjisHiragana), "", ByteCode::ShiftJis, ""},
      {"declared EUC-JP the detector cannot decide", ReadingFeed(Decl("EUC-JP"), kEucKatakana), "",
       ByteCode::EucJp, ""},
      {"declared EUC-JP, bytes only Shift_JIS", ReadingFeed(Decl("EUC-JP"), kSjisHiragana), "", ByteCode::ShiftJis,
       ""},
      {"declared Shift_JIS, bytes are UTF-8", ReadingFeed(Decl("Shift_JIS"), kUtf8Japanese), "", ByteCode::Utf8, ""},
      {"declared ISO-2022-JP", ReadingFeed(Decl("ISO-2022-JP"), "\x1B$B$\"\x1B(B"), "", ByteCode::Jis, ""},
      {"declaration beats the charset", ReadingFeed(Decl("UTF-8"), "caf\xC3\xA9"), "Shift_JIS", ByteCode::Utf8, ""},
      {"charset without declaration", ReadingFeed("", kEucKatakana), "EUC-JP", ByteCode::EucJp, ""},
      {"charset after a declaration without encoding", ReadingFeed("<?xml version=\"1.0\"?>", kEucKatakana),
       "euc-jp", ByteCode::EucJp, ""},
      {"charset Latin-1", ReadingFeed("", "caf\xE9"), "ISO-8859-1", ByteCode::Named, "WINDOWS-1252"},
      {"charset Latin-1 over UTF-8", ReadingFeed("", kUtf8Japanese), "ISO-8859-1", ByteCode::Utf8, ""},
      {"charset KOI8-R", ReadingFeed("", "\xF0\xD2\xC9"), "KOI8-R", ByteCode::Named, "KOI8-R"},
      {"UTF-16 label over 8-bit bytes is passed over", ReadingFeed(Decl("UTF-16"), kSjisHiragana), "",
       ByteCode::ShiftJis, ""},
      {"unknown label is passed over", ReadingFeed(Decl("x-no-such-code"), kEucKatakana), "EUC-JP",
       ByteCode::EucJp, ""},
      {"detector: Shift_JIS", ReadingFeed("", kSjisHiragana), "", ByteCode::ShiftJis, ""},
      {"detector: JIS", ReadingFeed("", "\x1B$B$\"$$\x1B(B"), "", ByteCode::Jis, ""},
      {"detector: UTF-8 with accents first", ReadingFeed("", "caf\xC3\xA9 " + kUtf8Japanese), "", ByteCode::Utf8, ""},
      {"detector: ASCII", ReadingFeed("", "plain"), "", ByteCode::Utf8, ""},
      {"nothing fits: windows-1252", ReadingFeed("", "caf\xE9 cr\xE8me \xE0 la"), "", ByteCode::Named,
       "WINDOWS-1252"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TextReading r = DecideTextReading(c.bytes, c.charset);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.name, c.name);
  }
}

TEST(TextReading, CharsetOfAContentType) {
  struct Case {
    const char* header;
    const char* charset;
  } cases[] = {
      {"text/xml; charset=EUC-JP", "EUC-JP"},
      {"application/rss+xml;charset=\"Shift_JIS\"", "Shift_JIS"},
      {"text/xml; q=1; Charset=utf-8 ", "utf-8"},
      {"text/xml;charset=ISO-8859-1;format=flowed", "ISO-8859-1"},
      {"text/html", ""},
      {"", ""},
      {"text/xml; charset=", ""},
      {"text/xml; charset=a b", ""},
      {"text/xml; charset=<script>", ""},
      {"text/xml; xcharset=utf-8", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CharsetOf(c.header), c.charset) << c.header;
  EXPECT_EQ(CharsetOf("text/xml; charset=" + std::string(65, 'a')), "");
}

TEST(TextReading, DecodingToUtf8) {
  struct Case {
    std::string bytes;
    TextReading reading;
    std::string utf8;
  } cases[] = {
      {"\x80 \x93q\x94 \x81", {ByteCode::Named, "WINDOWS-1252"}, "€ “q” \xC2\x81"},
      {"caf\xE9", {ByteCode::Named, "WINDOWS-1252"}, "café"},
      {"\xF0\xD2\xC9\xD7\xC5\xD4", {ByteCode::Named, "KOI8-R"}, "Привет"},
      {"\xFF\xFE" + Utf16("ok", true), {ByteCode::Utf16LE, ""}, "ok"},
      {Utf16("ok", false), {ByteCode::Utf16BE, ""}, "ok"},
      // A lone surrogate and an odd last byte are marked, not dropped.
      {std::string("\x00\xD8", 2) + Utf16("a", true) + "b", {ByteCode::Utf16LE, ""}, "\xEF\xBF\xBD" "a\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    std::string out;
    ASSERT_TRUE(DecodeToUtf8(c.bytes, c.reading, out)) << c.reading.name;
    EXPECT_EQ(out, c.utf8) << c.reading.name;
  }
  std::string out;
  EXPECT_FALSE(DecodeToUtf8("x", {ByteCode::Named, "X-NO-SUCH"}, out));
}

// Through the client: the charset of the answer reaches the loader.
TEST(TextReading, FetchedFeedsAreReadByTheRulesInOrder) {
  test::FeedServer server;
  struct Case {
    const char* path;
    std::string body;
    const char* contentType;
    std::string title;
  } cases[] = {
      {"/euc-by-header", ReadingFeed("", kEucKatakana), "application/rss+xml; charset=EUC-JP", "アイウエオ"},
      {"/euc-by-declaration", ReadingFeed(Decl("EUC-JP"), kEucKatakana), "text/xml", "アイウエオ"},
      {"/mislabelled-latin1", ReadingFeed(Decl("ISO-8859-1"), kUtf8Japanese), "text/xml", kUtf8Japanese},
      {"/cp1252-by-header", ReadingFeed("", "\x93quoted\x94 \x80"), "text/xml; charset=iso-8859-1", "“quoted” €"},
      {"/utf16-bare", Utf16(ReadingFeed("", "ok"), true), "application/xml", "ok"},
      {"/sjis-declared-utf8-header", ReadingFeed(Decl("Shift_JIS"), kSjisHiragana), "text/xml; charset=UTF-8",
       "あいうえ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    server.Serve(c.path, c.body, c.contentType);
    TRXML x;
    std::string date;
    ASSERT_TRUE(x.LoadFromHTTPIfModified(server.Url(c.path), "", date));
    EXPECT_EQ(x.ErrorText, "");
    EXPECT_EQ(DomText(x, "rss/channel/title"), c.title);
    TRXML again;
    again.LoadFromHTTP(server.Url(c.path));
    EXPECT_EQ(DomText(again, "rss/channel/title"), c.title);
  }
}

}  // namespace
}  // namespace norvane
