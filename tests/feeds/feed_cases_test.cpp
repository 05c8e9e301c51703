// Feeds as servers send them, one file each under tests/data/feeds/: each says in its
// first comment what it checks and what reading it must give (see the folder's README).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "feeds/feed_discovery.h"
#include "feeds/rss2.h"
#include "feeds/rxml.h"
#include "feeds/xml_node.h"
#include "support/dom_text.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

struct FeedCase {
  std::string file, body, checks, contentType = "application/xml", fails, lacks, holds, version;
  bool failing = false;
  // What the page offers as its feeds (FindAdvertisedFeeds): how many, which, and
  // whether a link back to the page itself was left out.
  long offers = -1;
  std::vector<std::pair<size_t, std::string>> offer;  // index, address
  bool linksBack = false;
  std::vector<std::pair<std::string, std::string>> expect;  // path, text
  std::vector<std::pair<std::string, size_t>> count;        // path, elements
  std::vector<std::pair<std::string, std::string>> attr;    // path@name, value
};

// "\u2019" as UTF-8: the case files write characters their own code cannot hold so.
std::string Unescaped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\u") == 0 && i + 6 <= text.size()) {
      const unsigned long cp = std::stoul(text.substr(i + 2, 4), nullptr, 16);  // the BMP is enough here
      if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
      } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      }
      i += 5;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The statements of the first comment (XML), or of the "_test" strings (JSON).
std::vector<std::string> Statements(const std::string& body) {
  std::vector<std::string> lines;
  if (size_t at = body.find("\"_test\""); body.find_first_not_of(" \r\n\t") == body.find('{') &&
                                          at != std::string::npos) {
    size_t end = body.find(']', at);
    for (size_t q = body.find('"', body.find('[', at)); q < end; q = body.find('"', q + 1)) {
      size_t close = body.find('"', q + 1);
      lines.push_back(body.substr(q + 1, close - q - 1));
      q = close;
    }
    return lines;
  }
  size_t open = body.find("<!--"), close = body.find("-->");
  if (open == std::string::npos || close == std::string::npos) return lines;
  std::istringstream comment(body.substr(open + 4, close - open - 4));
  for (std::string line; std::getline(comment, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

FeedCase ReadCase(const fs::path& path) {
  FeedCase c;
  c.file = path.filename().string();
  std::ifstream in(path, std::ios::binary);
  c.body.assign(std::istreambuf_iterator<char>(in), {});
  for (const std::string& line : Statements(c.body)) {
    const size_t colon = line.find(": ");
    const std::string key = line.substr(0, colon), value = colon == std::string::npos ? "" : line.substr(colon + 2);
    if (key == "checks") c.checks = value;
    else if (key == "serve") c.contentType = value;
    else if (key == "lacks") c.lacks = value;
    else if (key == "holds") c.holds = value;
    else if (key == "version") c.version = value;
    else if (key.rfind("attr ", 0) == 0) c.attr.emplace_back(key.substr(5), Unescaped(value));
    else if (key == "fails" || key == "fails:") c.failing = true, c.fails = value;
    else if (key.rfind("expect ", 0) == 0) c.expect.emplace_back(key.substr(7), Unescaped(value));
    else if (key.rfind("count ", 0) == 0) c.count.emplace_back(key.substr(6), std::stoul(value));
    else if (key == "offers") c.offers = std::stol(value);
    else if (key.rfind("offer ", 0) == 0) c.offer.emplace_back(std::stoul(key.substr(6)), value);
    else if (key == "links back") c.linksBack = value == "yes";
    else ADD_FAILURE() << c.file << ": unknown statement " << line;
  }
  return c;
}

std::vector<FeedCase> AllCases() {
  std::vector<FeedCase> cases;
  for (const auto& entry : fs::directory_iterator(fs::path(NORVANE_TESTDATA_DIR) / "feeds"))
    if (entry.path().extension() != ".md") cases.push_back(ReadCase(entry.path()));
  std::sort(cases.begin(), cases.end(), [](const FeedCase& a, const FeedCase& b) { return a.file < b.file; });
  return cases;
}

TEST(FeedCases, EachFileReadsAsItSays) {
  const std::vector<FeedCase> cases = AllCases();
  ASSERT_GE(cases.size(), 8u) << "the case files are missing";
  test::FeedServer server;
  for (const FeedCase& c : cases) {
    SCOPED_TRACE(c.file + ": " + c.checks);
    EXPECT_FALSE(c.checks.empty()) << "every case says what it checks";
    EXPECT_TRUE(c.failing || !c.expect.empty() || !c.count.empty() || !c.attr.empty() || c.offers >= 0)
        << "and what is expected";
    server.Serve("/" + c.file, c.body, c.contentType);
    TRXML x;
    const FetchOutcome outcome = x.LoadFromHTTPIfModified(server.Url("/" + c.file), CacheValidators{});
    // {server} in an expectation stands for the address the case was served from.
    const auto served = [&](std::string text) {
      for (size_t at; (at = text.find("{server}")) != std::string::npos;) text.replace(at, 8, server.Url(""));
      return text;
    };
    if (c.offers >= 0) {
      const AdvertisedFeeds found = FindAdvertisedFeeds(c.body, server.Url("/" + c.file));
      EXPECT_EQ(found.feeds.size(), static_cast<size_t>(c.offers));
      for (const auto& [index, url] : c.offer) {
        EXPECT_EQ(index < found.feeds.size() ? found.feeds[index].url : "<none>", served(url)) << "offer " << index;
      }
      EXPECT_EQ(found.linkBackToPage, c.linksBack);
    }
    if (c.failing) {
      EXPECT_FALSE(outcome.ok());
      EXPECT_NE(x.ErrorText.find(served(c.fails)), std::string::npos) << x.ErrorText;
      if (c.fails.find("HTML page") != std::string::npos) {
        EXPECT_EQ(x.ErrorText.find("XML"), std::string::npos) << "a page is no XML error: " << x.ErrorText;
      }
      continue;
    }
    if (!outcome.ok()) {
      ADD_FAILURE() << DescribeOutcome(outcome);
      continue;
    }
    if (!c.version.empty()) {
      EXPECT_EQ(DetectRSSVersion(x), c.version);
    }
    for (const auto& [path, text] : c.expect) EXPECT_EQ(test::DomText(x, path.c_str()), served(text)) << path;
    for (const auto& [at, value] : c.attr) {
      const size_t sign = at.rfind('@');
      EXPECT_EQ(GetAttribute(x.SelectSingleNode(at.substr(0, sign)), at.substr(sign + 1)), served(value)) << at;
    }
    if (!c.holds.empty()) {
      EXPECT_NE(x.GetXML().find(c.holds), std::string::npos) << x.GetXML();
    }
    for (const auto& [path, n] : c.count) EXPECT_EQ(x.SelectNodes(path).Length(), n) << path;
    // What the styles and the log are given: the document as written out.
    if (!c.lacks.empty()) {
      const std::string xml = x.GetXML();
      const size_t caseComment = xml.find("-->");  // holds the statement itself
      EXPECT_EQ(xml.find(c.lacks, caseComment == std::string::npos ? 0 : caseComment), std::string::npos) << xml;
    }
  }
}

}  // namespace
}  // namespace norvane
