// rg:memo: a page whose items come from the kept markup is, byte for byte, the page the
// style makes without it, and what is kept never crosses from one item to another.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "feeds/rxml.h"
#include "feeds/style_cache.h"
#include "style/style_documents.h"
#include "style/style_page.h"
#include "support/temp_dir.h"

namespace norvane::test {
namespace {

std::shared_ptr<const CompiledStyle> Compile(const std::string& path) {
  TRXML sheet;
  sheet.Load(path);
  return CompileStyle(sheet);
}

std::string Render(const CompiledStyle& style, const std::string& utf8Doc) {
  TRXML doc;
  doc.LoadFromXML(SjisDoc(utf8Doc));
  return doc.Transform(style);
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

// The shipped styles as they are, and a copy of them without the memo: the same
// templates, run for every item every time.
class MemoPages : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() {
    plain_ = new TempDir;
    CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls", *plain_ / "xsls");
    for (const char* sheet : {"rss.xsl", "chs.xsl"}) {
      const std::string name = std::string("xsls/Default/") + sheet;
      const std::string text = plain_->Read(name);
      const std::string open = "<rg:memo except=\"log keep\">";
      ASSERT_NE(text.find(open), std::string::npos) << sheet << " keeps its items but their marks";
      plain_->Write(name, Replaced(Replaced(text, open, ""), "</rg:memo>", ""));
    }
  }
  static void TearDownTestSuite() { delete plain_; }

  std::string Shipped(const std::string& sheet) const { return StylePath(GetParam(), sheet); }
  std::string Plain(const std::string& sheet) const { return *plain_ / ("xsls/" + GetParam() + "/" + sheet); }

  static TempDir* plain_;
};
TempDir* MemoPages::plain_ = nullptr;

std::string LongPost() {
  std::string html;
  for (int i = 0; i < 200; ++i) html += "<p>段落 " + std::to_string(i) + " <b>太字</b> <img src=\"http://127.0.0.1/i.png\"></p>";
  return html;
}

TEST_P(MemoPages, KeptItemsMakeThePageTheStyleMakesWithoutThem) {
  const std::string ugly = "<p onclick=\"x()\">丸数字①と¥と—</p><script>alert(1)</script>";
  const std::vector<std::string> docs = {
      Rss10Log(), Rss20Log(), Rss10Log(LongPost()), Rss10Log(ugly),
      // The same items with other marks, kept and not: a kept item shows its own mark and
      // keep button, not those of the showing it was kept from.
      Replaced(Replaced(Rss10Log(), "type=\"new\"", "type=\"was\""), "type=\"today\"", "type=\"new\""),
      Replaced(Rss10Log(), "<rg:log type=\"today\"/>", "<rg:log type=\"new\"/><rg:keep k=\"d2\" u=\"f\"/>"),
      Replaced(Rss10Log(), "<rg:log type=\"today\"/>", "<rg:log type=\"log\"/><rg:keep k=\"d2\" u=\"f\" kept=\"1\"/>"),
      Replaced(Rss10Log(), "<title>一番目の記事</title>", "<title>一番目の記事 (改)</title>"),
      ErrorFeed("だめでした")};
  for (const char* sheet : {"rss.xsl", "chs.xsl"}) {
    std::shared_ptr<const CompiledStyle> kept = Compile(Shipped(sheet));
    std::shared_ptr<const CompiledStyle> plain = Compile(Plain(sheet));
    for (size_t i = 0; i < docs.size(); ++i) {
      const std::string expected = Render(*plain, docs[i]);
      SCOPED_TRACE(std::string(sheet) + " document " + std::to_string(i));
      EXPECT_EQ(Render(*kept, docs[i]), expected) << "first showing";
      EXPECT_EQ(Render(*kept, docs[i]), expected) << "shown again from what was kept";
    }
    // The same log again after the others were shown, and with the style compiled again.
    EXPECT_EQ(Render(*kept, docs[0]), Render(*plain, docs[0]));
    EXPECT_EQ(Render(*Compile(Shipped(sheet)), docs[4]), Render(*plain, docs[4]));
    for (size_t i : {5, 6})  // the keep buttons themselves, as they are shown
      EXPECT_NE(Render(*kept, docs[i]).find(i == 5 ? "name=\"keep\"" : "name=\"drop\""), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Styles, MemoPages, ::testing::Values("Default", "Compact"));

// A style of one's own: two memo elements over one node keep apart, and outside HTML the
// contents simply run (their elements stay elements).
TEST(StyleMemo, EachElementKeepsItsOwnAndOnlyHtmlIsKept) {
  TempDir dir;
  auto sheet = [&](const std::string& method) {
    return dir.Write(method + ".xsl",
                     "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
                     "xmlns:rg=\"http://norvane/rg\" extension-element-prefixes=\"rg\">"
                     "<xsl:output method=\"" + method + "\" encoding=\"Shift_JIS\"/>"
                     "<xsl:template match=\"/\"><out><xsl:apply-templates select=\"//i\"/></out></xsl:template>"
                     "<xsl:template match=\"i\"><rg:memo><a><xsl:value-of select=\".\"/></a></rg:memo>"
                     "<rg:memo><b><xsl:value-of select=\"concat(., '!')\"/></b></rg:memo></xsl:template>"
                     "</xsl:stylesheet>");
  };
  const std::string doc = "<r><i>1 &lt;x&gt;</i><i>2</i><i>1 &lt;x&gt;</i></r>";
  std::shared_ptr<const CompiledStyle> html = Compile(sheet("html"));
  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(Render(*html, doc),
              "<out><a>1 &lt;x&gt;</a><b>1 &lt;x&gt;!</b><a>2</a><b>2!</b><a>1 &lt;x&gt;</a><b>1 &lt;x&gt;!</b></out>\n");
  std::shared_ptr<const CompiledStyle> xml = Compile(sheet("xml"));
  const std::string out = Render(*xml, doc);
  EXPECT_NE(out.find("<out><a>1 &lt;x&gt;</a><b>1 &lt;x&gt;!</b><a>2</a>"), std::string::npos) << out;
}

}  // namespace
}  // namespace norvane::test
