// Shift_JIS written by the program reads back as the same characters: a character whose
// CP932 form would read back as another one is written as a character reference.
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>

#include <string>

#include "core/sjis.h"
#include "feeds/rxml.h"
#include "feeds/xml_encoding.h"
#include "support/dom_text.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::DomText;

// Each has a best-fit CP932 form that reads back as something else (or none at all).
const std::string kLossy = "¥ £ — ‖ − 〜 ¦ ¬ ‾";
const std::string kKept = "価格表 ｶﾅ ①";
const std::string kText = kLossy + " " + kKept;

TEST(LosslessSjis, SerialisedTextReferencesWhatCp932CannotGiveBack) {
  struct Case {
    std::string utf8;
    std::string sjis;
  } cases[] = {
      {"<a>¥100</a>", "<a>&#165;100</a>"},
      {"<a t=\"£\">—</a>", "<a t=\"&#163;\">&#8212;</a>"},
      {"<a><![CDATA[〜]]></a>", "<a><![CDATA[]]>&#12316;<![CDATA[]]></a>"},
      {"<!--‖--><a/>", "<!--?--><a/>"},
      {"<a>" + kKept + "</a>", "<a>" + Utf8ToSjis(kKept) + "</a>"},
      {"<a>\\ ~ ―～</a>", "<a>\\ ~ \x81\x5C\x81\x60</a>"},
  };
  for (const Case& c : cases) EXPECT_EQ(SerialisedToSjis(c.utf8), c.sjis) << c.utf8;
}

TEST(LosslessSjis, ALogKeepsEveryCharacterThroughSaveAndReload) {
  test::TempDir dir;
  TRXML x;
  ASSERT_TRUE(x.LoadFromString("<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                               "<title>" + kText + "</title><item><title a=\"" + kLossy + "\">" + kText +
                               "</title></item></channel></rss>", "src"));
  x.SaveToFile(dir / "log.xml");
  const std::string file = dir.Read("log.xml");
  for (const char* ref : {"&#165;", "&#163;", "&#8212;", "&#8214;", "&#8722;", "&#12316;", "&#166;",
                          "&#172;", "&#8254;"})
    EXPECT_NE(file.find(ref), std::string::npos) << ref;
  EXPECT_NE(file.find(Utf8ToSjis(kKept)), std::string::npos);
  TRXML back;
  back.LoadFromFile(dir / "log.xml");
  EXPECT_EQ(DomText(back, "rss/channel/title"), kText);
  EXPECT_EQ(DomText(back, "rss/channel/item/title"), kText);
  xmlChar* a = xmlGetProp(back.SelectSingleNode("rss/channel/item/title"), BAD_CAST "a");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(a)), kLossy);
  xmlFree(a);
}

// Pages: the transformation writes through the library's Shift_JIS encoder.
TEST(LosslessSjis, TransformedPagesShowTheSameCodePoints) {
  for (const char* method : {"html", "xml"}) {
    SCOPED_TRACE(method);
    TRXML sheet;
    sheet.LoadFromXML(std::string("<?xml version=\"1.0\"?>"
                      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                      "<xsl:output method=\"") + method + "\" encoding=\"Shift_JIS\"/>"
                      "<xsl:template match=\"/\"><html><body><p title=\"{r/@t}\"><xsl:value-of select=\"r\"/>"
                      "</p></body></html></xsl:template></xsl:stylesheet>");
    TRXML doc;
    ASSERT_TRUE(doc.LoadFromString("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r t=\"" + kText + "\">" +
                                   kText + "</r>", "src"));
    const std::string page = doc.Transform(sheet);
    EXPECT_NE(page.find("&#165;"), std::string::npos) << page;
    EXPECT_NE(page.find(Utf8ToSjis("価格表")), std::string::npos);

    htmlDocPtr read = htmlReadMemory(page.data(), static_cast<int>(page.size()), "page.html", "Shift_JIS",
                                     HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    ASSERT_NE(read, nullptr);
    xmlChar* shown = xmlNodeGetContent(xmlDocGetRootElement(read));
    xmlChar* title = xmlGetProp(xmlDocGetRootElement(read)->children->children, BAD_CAST "title");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(shown)), kText);
    EXPECT_EQ(std::string(title ? reinterpret_cast<char*>(title) : ""), kText);
    xmlFree(shown);
    xmlFree(title);
    xmlFreeDoc(read);
  }
}

// The library reads Shift_JIS in blocks: characters cut at a block's end still arrive whole.
TEST(LosslessSjis, LongShiftJisDocumentsReadWhole) {
  std::string body;
  for (int i = 0; i < 40000; ++i) body += i % 7 ? "価格" : "a";
  TRXML x;
  x.LoadFromXML("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r>" + Utf8ToSjis(body) + "</r>");
  EXPECT_EQ(DomText(x, "r"), body);
  TRXML broken;
  EXPECT_THROW(broken.LoadFromXML("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r>\x81\x20</r>"), XmlError);
}

// The parser's reading of every character CP932 has is iconv's reading of it.
TEST(LosslessSjis, EveryCp932CharacterReadsAsIconvReadsIt) {
  std::string sjis;
  size_t characters = 0;
  for (int b = 0x80; b <= 0xFF; ++b)
    if (SjisCharOf(static_cast<unsigned char>(b))) {
      sjis.push_back(static_cast<char>(b));
      ++characters;
    }
  for (int lead = 0x81; lead <= 0xFC; ++lead)
    for (int trail = 0x40; trail <= 0xFC; ++trail)
      if (SjisCharOf(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))) {
        sjis.push_back(static_cast<char>(lead));
        sjis.push_back(static_cast<char>(trail));
        ++characters;
      }
  EXPECT_GT(characters, 7000u) << "JIS X 0208 and the NEC and IBM rows";
  TRXML x;
  x.LoadFromXML("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r>" + sjis + "</r>");
  EXPECT_EQ(DomText(x, "r"), SjisToUtf8(sjis));
}

}  // namespace
}  // namespace norvane
