// Small guards on what comes from outside: the bounded access log, the form token, and
// paths that must stay inside their folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/access_log.h"
#include "core/disk_path.h"
#include "core/form_token.h"
#include "core/sjis.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

TEST(AccessLogBounds, KeepsTheNewestLinesEachCutToItsBudget) {
  AccessLog log;
  for (int i = 0; i < 1100; ++i) log.AddAccess("GET /" + std::to_string(i) + " HTTP/1.1", "192.0.2.1");
  auto lines = log.Snapshot();
  ASSERT_EQ(lines.size(), AccessLog::kMaxLines + 1);
  EXPECT_EQ(SjisToUtf8(lines[0]), "外部からのアクセスログ");  // the heading stays first
  EXPECT_EQ(lines[1], "GET /100 HTTP/1.1 : 192.0.2.1");
  EXPECT_EQ(lines.back(), "GET /1099 HTTP/1.1 : 192.0.2.1");

  struct Case {
    size_t targetBytes;
    bool cut;
  };
  for (Case c : {Case{100, false}, Case{2048 - 30, false}, Case{2048, true}, Case{30000, true}}) {
    log.AddAccess("GET /" + std::string(c.targetBytes, 'x') + " HTTP/1.1", "192.0.2.77");
    std::string line = log.Snapshot().back();
    EXPECT_LE(line.size(), AccessLog::kMaxLineBytes) << c.targetBytes;
    EXPECT_EQ(line.substr(line.size() - 13), " : 192.0.2.77") << "the address always stays";
    EXPECT_EQ(line.find("... : ") != std::string::npos, c.cut) << c.targetBytes;
  }
  EXPECT_EQ(log.Snapshot().size(), AccessLog::kMaxLines + 1);
}

TEST(FormTokenCheck, OnlyTheExactTokenPasses) {
  const std::string& token = FormToken();
  EXPECT_EQ(token.size(), 32u);
  EXPECT_EQ(&FormToken(), &token) << "one token per run";
  EXPECT_TRUE(IsFormToken(token));
  for (const std::string& wrong : {std::string(), token.substr(1), token + "0", std::string(32, '0'),
                                   token.substr(0, 31) + (token.back() == 'a' ? "b" : "a")})
    EXPECT_FALSE(IsFormToken(wrong)) << wrong;
}

TEST(PathsInsideTheirFolder, LinksMayNotLeadOut) {
  test::TempDir home;
  home.Write("www/a.txt", "a");
  home.Write("www/sub/b.txt", "b");
  home.Write("secret.txt", "s");
  home.Write("real/c.txt", "c");
  ASSERT_EQ(symlink("../secret.txt", (home / "www/out.txt").c_str()), 0);
  ASSERT_EQ(symlink("sub/b.txt", (home / "www/in.txt").c_str()), 0);
  ASSERT_EQ(symlink("../real", (home / "www/dir").c_str()), 0);
  ASSERT_EQ(symlink("real", (home / "linked").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (home / "www/dangling.txt").c_str()), 0);
  struct Case {
    std::string folder, file;
    std::string inside;  // expected, relative to the home; empty: refused
  };
  for (const Case& c : std::vector<Case>{
           {"www", "www/a.txt", "www/a.txt"},
           {"www", "www/sub/b.txt", "www/sub/b.txt"},
           {"www", "www/in.txt", "www/sub/b.txt"},
           {"www", "www/out.txt", ""},
           {"www", "www/dir/c.txt", ""},
           {"www", "www/../secret.txt", ""},
           {"www", "www/missing.txt", ""},
           {"www", "www/dangling.txt", ""},
           {"www", "www", ""},  // the folder itself is not a file in it
           {"linked", "linked/c.txt", "real/c.txt"},  // a folder that is a link
           {"www/sub", "www/a.txt", ""},
       }) {
    std::string got = ResolveInside(home / c.folder, home / c.file);
    char real[4096];
    std::string expected = c.inside.empty() ? "" : std::string(realpath((home / c.inside).c_str(), real));
    EXPECT_EQ(got, expected) << c.folder << " " << c.file;
  }
}

}  // namespace
}  // namespace norvane
