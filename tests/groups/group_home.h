#pragma once
// A program folder for the group tests: the current directory for the test's length,
// with the folders the group code reads, and stylesheets that show what they were given.

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "support/fake_shell.h"
#include "support/feed_server.h"
#include "support/held_port.h"
#include "support/program_home.h"
#include "support/routed_request.h"

namespace norvane::test {

// A feed outline (UTF-8 text).
struct Outline {
  std::string text;
  std::string xmlUrl;  // "-": no xmlUrl attribute
};

inline std::string OutlineXml(const Outline& o) {
  std::string s = "<outline text=\"" + o.text + "\" type=\"rss\"";
  if (o.xmlUrl != "-") s += " xmlUrl=\"" + o.xmlUrl + "\"";
  return s + "/>";
}

// An OPML group file in UTF-8 whose body is the given markup.
inline std::string OpmlText(const std::string& title, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><opml version=\"1.0\"><head><title>" + title +
         "</title></head><body>" + body + "</body></opml>";
}

inline std::string OpmlOf(const std::string& title, const std::vector<Outline>& outlines) {
  std::string body;
  for (const auto& o : outlines) body += OutlineXml(o);
  return OpmlText(title, body);
}

// An RSS 2.0 feed with one item.
inline std::string FeedBody(const std::string& title, const std::string& item = "item") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>" + title +
         "</title><link>http://127.0.0.1/" + title + "</link><description>about " + title +
         "</description><item><title>" + item + "</title><link>http://127.0.0.1/" + title +
         "/1</link><description>text of " + item + "</description></item></channel></rss>";
}

// Stylesheets of the style "Probe": the frame shows its file name around the blocks,
// a block shows its channel's title and item count, and the group and add pages copy
// their document, so a test can read exactly what each one was given.
inline void WriteProbeStyle(const TempDir& home) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">";
  const std::string text = "<xsl:output method=\"text\" encoding=\"Shift_JIS\"/>";
  const std::string xml = "<xsl:output method=\"xml\" encoding=\"Shift_JIS\"/>";
  home.Write("xsls/Probe/ch.xsl",
             head + text +
                 "<xsl:template match=\"/\">[frame <xsl:value-of select=\"chbody/@file\"/>]"
                 "<xsl:value-of select=\"chbody\"/>[/frame]</xsl:template></xsl:stylesheet>");
  home.Write("xsls/Probe/chs.xsl",
             head + text +
                 "<xsl:template match=\"/\">(<xsl:value-of select=\"//*[local-name()='channel']/"
                 "*[local-name()='title']\"/>:<xsl:value-of select=\"count(//*[local-name()='item'])\"/>)"
                 "</xsl:template></xsl:stylesheet>");
  for (const char* page : {"gp.xsl", "add.xsl", "import.xsl"})
    home.Write(std::string("xsls/Probe/") + page,
               head + xml + "<xsl:template match=\"/\"><xsl:copy-of select=\"*\"/></xsl:template></xsl:stylesheet>");
  home.Write("xsls/Probe/rss.xsl",
             head + text + "<xsl:template match=\"/\">rss</xsl:template></xsl:stylesheet>");
}

class GroupHome : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.Write("channels/.keep", "");
    home_.Write("opmls/.keep", "");
    WriteProbeStyle(home_);
    UpdateSettings([](Settings& s) { s.XSL_STYLE = "Probe"; });
  }
  ProgramHome home_;
};

// The real data module in a program folder of its own: SetUp of a test writes the files,
// then Start() builds the module. Requests go to its router in process; Listen() puts it
// on a port of its own, for feeds the program serves itself.
class ModuleHome : public GroupHome {
 protected:
  // The shipped search catalogue and synonym dictionary, which the module reads at start.
  void CopyShippedCatalogues() {
    for (const char* file : {"/search.xml", "/dic.csv"})
      test::CopyTree(std::string(NORVANE_DATA_DIR) + file, home_.path());
  }
  void Start() { module_ = std::make_unique<TDataM>(shell_); }
  void Listen() {
    heldPort_ = std::make_unique<HeldPort>();
    port_ = heldPort_->port();
    UpdateSettings([&](Settings& s) { s.PORT = port_; });
    module_->RestartServer();
  }
  void TearDown() override {
    module_.reset();
    GroupHome::TearDown();
  }
  FetchResult Get(const std::string& target) { return Route(module_->server(), target); }

  FeedServer feeds_;
  FakeShell shell_;
  std::unique_ptr<HeldPort> heldPort_;
  int port_ = 4565;  // what the settings say; nothing listens unless Listen()
  std::unique_ptr<TDataM> module_;
};

}  // namespace norvane::test
