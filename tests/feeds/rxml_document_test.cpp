// Path selection, node lists, shared documents and transformations.
#include <gtest/gtest.h>

#include <string>

#include "feeds/rxml.h"
#include "support/feed_server.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::Sjis;

const char* kRss10 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<rdf:RDF xmlns=\"http://purl.org/rss/1.0/\" xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\""
    " xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
    "<channel rdf:about=\"http://a/\"><title>T</title><link>http://a/</link></channel>"
    "<item><title>one</title><link>http://a/1</link><dc:date>d1</dc:date></item>"
    "<item><title>two</title><link>http://a/2?x=1&amp;y=\"q\"</link></item>"
    "<item><title>three</title><link>http://a/3</link></item>"
    "</rdf:RDF>";

TEST(RxmlPath, NamesMatchAsWrittenWithPrefixes) {
  TRXML x;
  ASSERT_TRUE(x.LoadFromString(kRss10, "s"));
  EXPECT_EQ(x.SelectNodes("rdf:RDF/item").Length(), 3u) << "default namespace plays no part";
  EXPECT_EQ(x.SelectNodes("RDF/item").Length(), 0u);
  EXPECT_EQ(x.SelectNodes("rdf:RDF/rss:item").Length(), 0u);
  EXPECT_EQ(x.SelectNodes("rdf:rdf").Length(), 0u) << "case-sensitive";
  EXPECT_EQ(NodeText(x.SelectSingleNode("rdf:RDF/item/dc:date")), "d1");
  EXPECT_EQ(x.SelectSingleNode("item"), nullptr) << "the first step matches the root only";

  xmlNodePtr second = x.SelectNodes("rdf:RDF/item").Item(1);
  EXPECT_EQ(NodeText(SelectSingleNode(second, "title")), "two");
  EXPECT_EQ(NodeName(SelectSingleNode(x.SelectSingleNode("rdf:RDF/item"), "dc:date")), "dc:date");
}

TEST(RxmlPath, PredicatesSelectByChildTextOrIndex) {
  TRXML x;
  ASSERT_TRUE(x.LoadFromString(kRss10, "s"));
  EXPECT_EQ(NodeText(x.SelectSingleNode("rdf:RDF/item[link=\"http://a/3\"]/title")), "three");
  EXPECT_EQ(NodeText(x.SelectSingleNode("rdf:RDF/item[ link = \"http://a/1\" ]/title")), "one");
  EXPECT_EQ(x.SelectNodes("rdf:RDF/item[link=\"http://a/\"]").Length(), 0u) << "whole text only";
  EXPECT_EQ(x.SelectNodes("rdf:RDF/item[link=\"http://a/2?x=1&y=\"]").Length(), 0u);
  // A literal ends at the next quote; a slash inside it is no step.
  EXPECT_EQ(NodeText(x.SelectSingleNode("rdf:RDF/item[0]/title")), "one");
  EXPECT_EQ(NodeText(x.SelectSingleNode("rdf:RDF/item[1]/title")), "two");
  EXPECT_EQ(x.SelectSingleNode("rdf:RDF/item[3]"), nullptr);
  EXPECT_EQ(x.SelectNodes("rdf:RDF/item[2]").Length(), 1u);

  for (const char* bad : {"", "a/", "/a", "a[", "a[]", "a[b=c]", "a[b=\"c\"", "a]", "a[0", "a//b", "a[b\"c\"]"})
    EXPECT_THROW(x.SelectNodes(bad), XmlError) << bad;
}

TEST(RxmlPath, NodeListsStayFixedWhenNodesAreRemovedOrAdded) {
  TRXML x;
  ASSERT_TRUE(x.LoadFromString(kRss10, "s"));
  NodeList items = x.SelectNodes("rdf:RDF/item");
  ASSERT_EQ(items.Length(), 3u);
  xmlNodePtr first = items[0];
  for (xmlNodePtr item : items) RemoveNode(item);
  EXPECT_EQ(items.Length(), 3u);
  EXPECT_EQ(items[0], first);
  EXPECT_EQ(NodeText(SelectSingleNode(items[2], "title")), "three") << "a removed node stays usable";
  EXPECT_EQ(x.SelectNodes("rdf:RDF/item").Length(), 0u);

  x.AddChild(x.DocumentElement(), "item", "new");
  EXPECT_EQ(items.Length(), 3u);
  // Put one back: it is part of the document again, and still the same entry.
  AppendChild(x.DocumentElement(), items[1]);
  EXPECT_EQ(x.SelectNodes("rdf:RDF/item").Length(), 2u);

  // The list outlives its document's replacement.
  x.Clear();
  EXPECT_EQ(NodeText(SelectSingleNode(items[0], "title")), "one");
}

TEST(RxmlDocument, AssignSharesAndClearSeparates) {
  TRXML a;
  ASSERT_TRUE(a.LoadFromString("<rss version=\"2.0\"><channel><title>A</title></channel></rss>", "s"));
  TRXML b;
  b.Assign(a);
  EXPECT_EQ(b.Document(), a.Document());
  b.AddChild(b.SelectSingleNode("rss/channel"), "item", "seen by both");
  EXPECT_EQ(NodeText(a.SelectSingleNode("rss/channel/item")), "seen by both");

  a.Clear();
  EXPECT_NE(a.Document(), b.Document());
  EXPECT_EQ(a.GetXML(), "<?xml version=\"1.0\"?>\n");
  EXPECT_EQ(NodeText(b.SelectSingleNode("rss/channel/title")), "A");

  // Clearing an empty document keeps it in place for every holder.
  TRXML c, d;
  d.Assign(c);
  c.Clear();
  EXPECT_EQ(c.Document(), d.Document());
  EXPECT_EQ(d.GetXML(), "<?xml version=\"1.0\"?>\n");

  TRXML fresh;
  EXPECT_EQ(fresh.GetXML(), "");
}

TEST(RxmlDocument, BuildsPrefixedElementsAndMovesNodesBetweenDocuments) {
  TRXML log;
  log.Clear();
  xmlNodePtr root = log.CreateRoot("rss");
  SetAttribute(root, "version", "2.0");
  SetAttribute(root, "xmlns:rg", "http://norvane/rg");
  xmlNodePtr channel = log.AddChild(root, "channel", "");
  xmlNodePtr title = log.AddChild(channel, "title", Sjis("題 & <名>"));
  log.InsertBefore(title, "rg:revday", "Tue, 01 Apr 2025 10:00:00 GMT");
  EXPECT_THROW(log.CreateRoot("second"), XmlError);
  EXPECT_EQ(GetAttribute(root, "xmlns:rg"), "http://norvane/rg");

  TRXML feed;
  ASSERT_TRUE(feed.LoadFromString(
      "<rss xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><item><dc:creator>me</dc:creator>"
      "<link>http://a/1</link></item></channel></rss>", "s"));
  xmlNodePtr item = feed.SelectSingleNode("rss/channel/item");
  xmlNodePtr copy = CloneNode(item);
  AppendChild(channel, item);  // moved out of the other document
  AppendChild(channel, copy);  // a detached copy, placed while its document lives
  feed.Clear();  // the source document goes; the moved nodes must not go with it

  std::string xml = log.XMLWithEncoding();
  TRXML back;
  ASSERT_TRUE(back.LoadFromString(xml, "s"));
  EXPECT_EQ(back.ErrorText, "");
  EXPECT_EQ(NodeText(back.SelectSingleNode("rss/channel/rg:revday")), "Tue, 01 Apr 2025 10:00:00 GMT");
  EXPECT_EQ(NodeText(back.SelectSingleNode("rss/channel/title")), Sjis("題 & <名>"));
  EXPECT_EQ(back.SelectNodes("rss/channel/item/dc:creator").Length(), 2u) << xml;
}

TEST(RxmlDocument, TransformsToShiftJisAndCannotWriteFiles) {
  test::TempDir dir;
  TRXML doc;
  ASSERT_TRUE(doc.LoadFromString(
      "<rss version=\"2.0\"><channel><title>日本 café 😀</title></channel></rss>", "s"));
  TRXML style;
  style.LoadFromString(
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:output method=\"html\" encoding=\"Shift_JIS\"/>"
      "<xsl:template match=\"/\"><p><xsl:value-of select=\"rss/channel/title\"/></p></xsl:template>"
      "</xsl:stylesheet>", "s.xsl");
  std::string html = doc.Transform(style);
  EXPECT_NE(html.find("<p>" + Sjis("日本 ") + "caf&#233; &#128512;</p>"), std::string::npos)
      << testing::PrintToString(html);
  EXPECT_EQ(doc.Transform(style), html) << "the same stylesheet gives the same output again";

  std::string target = dir / "written.txt";
  TRXML writer;
  writer.LoadFromString(
      "<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:template match=\"/\"><xsl:document href=\"" + target + "\">x</xsl:document></xsl:template>"
      "</xsl:stylesheet>", "w.xsl");
  EXPECT_THROW(doc.Transform(writer), XmlError);
  EXPECT_FALSE(dir.Exists("written.txt"));

  TRXML broken;
  broken.LoadFromString(
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:template match=\"/\"><xsl:value-of select=\"((\"/></xsl:template></xsl:stylesheet>", "b.xsl");
  EXPECT_THROW(doc.Transform(broken), XmlError);
}

}  // namespace
}  // namespace norvane
