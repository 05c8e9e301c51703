#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/disk_path.h"
#include "core/settings.h"
#include "core/sjis.h"
#include "feeds/rxml.h"
#include "feeds/xml_node.h"
#include "search/scrap_book.h"
#include "support/program_home.h"
#include "support/u8_text.h"

namespace norvane::test {


// A program folder with a "scrap" folder, made the current directory for the test:
// every program path is relative to it.
class ScrapHome : public ::testing::Test {
 protected:
  void SetUp() override {
    home.Write("scrap/.keep", "");
    UpdateSettings([](Settings& s) {
      s.PORT = 4565;
      s.LocalAddress = "192.168.1.5";
    });
  }

  // The keyword file as the organizer writes it: Shift_JIS, CR LF, words escaped.
  void WriteKeys(const std::string& sjisName, const std::vector<std::string>& words) {
    std::string text = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<scrap>\r\n";
    for (const std::string& w : words) {
      std::string escaped;
      for (char c : w) {
        if (c == '&') escaped += "&amp;";
        else if (c == '<') escaped += "&lt;";
        else escaped += c;
      }
      text += " <word>" + escaped + "</word>\r\n";
    }
    text += "</scrap>\r\n";
    home.Write(DiskPath("scrap/" + sjisName + ".keys"), text);
  }
  std::string ReadFile(const std::string& sjisPath) const { return home.Read(DiskPath(sjisPath)); }
  bool Exists(const std::string& sjisPath) const { return home.Exists(DiskPath(sjisPath)); }

  // Items of an RSS 2.0 feed (Shift_JIS text of the item elements), kept alive here.
  NodeList Items(const std::string& itemsXml) {
    feeds.emplace_back(std::make_unique<TRXML>());
    feeds.back()->LoadFromXML(
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss version=\"2.0\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><title>t</title>" +
        itemsXml + "</channel></rss>");
    return feeds.back()->SelectNodes("rss/channel/item");
  }

  ProgramHome home;
  std::vector<std::unique_ptr<TRXML>> feeds;
};

// One item of a book's feed as text, re-read from its serialisation.
struct CopiedItem {
  std::vector<std::string> children;  // qualified names, in order
  std::string title, link, description, date, source, url, dateNamespace;
};

inline std::vector<CopiedItem> ReadBook(const std::string& feedText) {
  TRXML doc;
  doc.LoadFromXML(feedText);
  std::vector<CopiedItem> out;
  for (xmlNodePtr item : doc.SelectNodes("rss/channel/item")) {
    CopiedItem c;
    for (xmlNodePtr e = FirstChildElement(item); e; e = NextSiblingElement(e)) {
      std::string name = NodeName(e);
      c.children.push_back(name);
      if (name == "title") c.title = NodeText(e);
      if (name == "link") c.link = NodeText(e);
      if (name == "description") c.description = NodeText(e);
      if (name == "dc:date") {
        c.date = NodeText(e);
        c.dateNamespace = e->ns ? reinterpret_cast<const char*>(e->ns->href) : "";
      }
      if (name == "source") {
        c.source = NodeText(e);
        c.url = GetAttribute(e, "url");
      }
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace norvane::test
