#include "feeds/safe_html.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <memory>
#include <string>

#include "feeds/xml_document.h"

namespace norvane {
namespace {

// The safe copy of html, serialised as XML (so <br/>), inside nothing.
std::string Safe(const std::string& html) {
  XmlInit();
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(xmlNewDoc(BAD_CAST "1.0"), &xmlFreeDoc);
  xmlNodePtr holder = xmlNewDocNode(doc.get(), nullptr, BAD_CAST "div", nullptr);
  xmlDocSetRootElement(doc.get(), holder);
  AppendSafeHtml(html, holder);
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buf(xmlBufferCreate(), &xmlBufferFree);
  for (xmlNodePtr c = holder->children; c; c = c->next) xmlNodeDump(buf.get(), doc.get(), c, 0, 0);
  return reinterpret_cast<const char*>(xmlBufferContent(buf.get()));
}

struct SanitiseCase {
  const char* html;
  const char* safe;
};

TEST(SafeHtml, DropsWhatCouldActOnThePage) {
  const SanitiseCase cases[] = {
      {"a<script>alert(1)</script>b", "ab"},
      {"a<style>body{display:none}</style>b", "ab"},
      {"a<iframe src=\"http://e/\">x</iframe>b", "ab"},
      {"a<object data=\"x.swf\"><param name=\"m\" value=\"v\">x</object>b<embed src=\"x.swf\">", "ab"},
      {"<form action=\"http://e/\"><input name=\"q\"><button>Go</button></form>after", "after"},
      {"<base href=\"http://evil/\"><meta http-equiv=\"refresh\" content=\"0;url=http://evil/\">t", "t"},
      {"<svg><script>alert(1)</script><circle r=\"1\"/></svg>t", "t"},
      {"<img src=\"x.png\" onerror=\"alert(1)\" onload=\"x()\">", "<img src=\"x.png\"/>"},
      {"<a href=\"javascript:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\" JaVa&#x09;ScRiPt:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\"vbscript:msgbox\">x</a>", "<a>x</a>"},
      {"<a href=\"data:text/html,<script>alert(1)</script>\">x</a>", "<a>x</a>"},
      {"<img src=\"data:text/html;base64,PHNjcmlwdD4=\">", "<img/>"},
      {"<p style=\"position:fixed\" class=\"btn\" id=\"main\">t</p>", "<p>t</p>"},
  };
  for (const SanitiseCase& c : cases) EXPECT_EQ(Safe(c.html), c.safe) << c.html;
}

TEST(SafeHtml, KeepsWhatTheStylesShow) {
  const SanitiseCase cases[] = {
      {"<a href=\"http://e/p?a=1&amp;b=2\" title=\"T\">l</a>",
       "<a href=\"http://e/p?a=1&amp;b=2\" title=\"T\" rel=\"noopener noreferrer nofollow\">l</a>"},
      {"<a href=\"/rel/path\">r</a>", "<a href=\"/rel/path\" rel=\"noopener noreferrer nofollow\">r</a>"},
      {"<img src=\"https://e/i.png\" alt=\"A\" width=\"10\">", "<img src=\"https://e/i.png\" alt=\"A\" width=\"10\"/>"},
      {"<img src=\"data:image/png;base64,iVBO\">", "<img src=\"data:image/png;base64,iVBO\"/>"},
      {"<ul><li>one</li><li>two</li></ul><ol start=\"3\"><li>x</li></ol>",
       "<ul><li>one</li><li>two</li></ul><ol start=\"3\"><li>x</li></ol>"},
      {"<b>b</b> <i>i</i> <em>e</em> <strong>s</strong><br>next", "<b>b</b> <i>i</i> <em>e</em> <strong>s</strong><br/>next"},
      {"<table><tr><td colspan=\"2\">c</td></tr></table>", "<table><tr><td colspan=\"2\">c</td></tr></table>"},
      {"<b>never closed", "<b>never closed</b>"},
      {"kept <b>bold <a href=\"http://e/cut", "kept <b>bold </b>"},
      {"<custom-tag>inside</custom-tag> 1 &lt; 2 &amp; 3", "inside 1 &lt; 2 &amp; 3"},
      {"日本語の<em>本文</em>", "日本語の<em>本文</em>"},
      {"", ""},
  };
  for (const SanitiseCase& c : cases) {
    EXPECT_EQ(Safe(c.html), c.safe) << c.html;
    // The markup form is the same copy as the HTML output method writes it: void
    // elements without "/", everything else alike.
    std::string html = c.safe;
    for (size_t at; (at = html.find("/>")) != std::string::npos;) html.erase(at, 1);
    EXPECT_EQ(SafeHtmlMarkup(c.html), html) << c.html;
  }
}

TEST(SafeHtml, MarkupFormDropsWhatTheNodeFormDrops) {
  for (const char* html : {"a<script>alert(1)</script>b", "<img src=x onerror=alert(1)>",
                           "<a href=\"javascript:alert(1)\">x</a>", "<svg onload=alert(1)>",
                           "<iframe srcdoc=\"<script>x</script>\">", "</td></tr></table><script>x</script>"}) {
    const std::string markup = SafeHtmlMarkup(html);
    for (const char* bad : {"script", "onerror", "onload", "javascript", "iframe", "</td", "</table"})
      EXPECT_EQ(markup.find(bad), std::string::npos) << html << " -> " << markup;
  }
}

// Runs of white space as one space, none at the ends.
std::string Words(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out.push_back(c);
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

TEST(SafeHtml, TextFormKeepsWordsApartAndDropsCode) {
  EXPECT_EQ(Words(SafeHtmlText("<p>one</p><p>two</p><script>x()</script>three<br>four")), "one two three four");
  EXPECT_EQ(SafeHtmlText("a &amp; b"), "a & b");
  // Nesting past any real description keeps its text, without a deep recursion.
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "<span>";
  deep += "bottom";
  EXPECT_NE(Safe(deep).find("bottom"), std::string::npos);
  EXPECT_EQ(Words(SafeHtmlText(deep)), "bottom");
}

}  // namespace
}  // namespace norvane
