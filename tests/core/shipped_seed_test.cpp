#include "core/shipped_seed.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::TempDir;

constexpr const char* kFile = "xsls/Default/norvane.css";

enum class Kind { kNone, kAdded, kUpdated, kKept };

Kind KindOf(const SeedResult& r, const std::string& path) {
  auto has = [&](const std::vector<std::string>& v) { return std::find(v.begin(), v.end(), path) != v.end(); };
  if (has(r.added)) return Kind::kAdded;
  if (has(r.updated)) return Kind::kUpdated;
  if (has(r.kept)) return Kind::kKept;
  return Kind::kNone;
}

// One shipped file over two versions: what the user's folder held before the first
// start, what the user did between the starts, and what the second start must leave.
struct SeedCase {
  const char* name;
  std::optional<std::string> before;  // the user's own file before the first start
  std::string first, second;          // the shipped file of each version
  std::optional<std::string> edit;    // the user's change after the first start ("" deletes)
  std::string expected;               // the file after the second start
  Kind firstKind, secondKind;
};

TEST(ShippedSeed, CopiesWhatIsMissingAndReplacesOnlyUntouchedShippedFiles) {
  const SeedCase cases[] = {
      {"untouched, shipped again alike", {}, "a", "a", {}, "a", Kind::kAdded, Kind::kNone},
      {"untouched, shipped anew", {}, "a", "b", {}, "b", Kind::kAdded, Kind::kUpdated},
      {"changed, shipped anew", {}, "a", "b", "mine", "mine", Kind::kAdded, Kind::kKept},
      {"changed, shipped again alike", {}, "a", "a", "mine", "mine", Kind::kAdded, Kind::kKept},
      {"changed back to the shipped file", {}, "a", "b", "a", "b", Kind::kAdded, Kind::kUpdated},
      {"deleted: comes back as shipped", {}, "a", "b", "", "b", Kind::kAdded, Kind::kAdded},
      {"the user's own before any start", "mine", "a", "b", {}, "mine", Kind::kKept, Kind::kKept},
      {"the user's own, the shipped file alike", "a", "a", "b", {}, "b", Kind::kNone, Kind::kUpdated},
  };
  for (const SeedCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir shipped, user;
    if (c.before) user.Write(kFile, *c.before);
    shipped.Write(kFile, c.first);
    SeedResult one = SeedFromShipped(shipped.path(), user.path());
    EXPECT_TRUE(one.first);
    EXPECT_EQ(KindOf(one, kFile), c.firstKind);
    if (c.edit && c.edit->empty()) ASSERT_EQ(unlink((user / kFile).c_str()), 0);
    else if (c.edit) user.Write(kFile, *c.edit);
    shipped.Write(kFile, c.second);
    SeedResult two = SeedFromShipped(shipped.path(), user.path());
    EXPECT_FALSE(two.first);
    EXPECT_EQ(KindOf(two, kFile), c.secondKind);
    EXPECT_EQ(user.Read(kFile), c.expected);
    EXPECT_TRUE(one.failed.empty() && two.failed.empty());
  }
}

TEST(ShippedSeed, AddsNewlyShippedFilesKeepsProgramsRunnableAndTheUsersOwnFiles) {
  TempDir shipped, user;
  shipped.Write("search.xml", "<s/>");
  const std::string script = shipped.Write("scripts/notice.sh", "#!/bin/sh\n");
  chmod(script.c_str(), 0755);
  user.Write("norvane.ini", "[Norvane]\nPORT=1\n");
  user.Write("channels/ChannelList.xml", "<list/>");
  SeedFromShipped(shipped.path(), user.path());

  shipped.Write("xsls/New/rss.xsl", "<new/>");
  SeedResult later = SeedFromShipped(shipped.path(), user.path());
  EXPECT_EQ(later.added, std::vector<std::string>{"xsls/New/rss.xsl"});
  EXPECT_EQ(user.Read("xsls/New/rss.xsl"), "<new/>");
  EXPECT_EQ(user.Read("norvane.ini"), "[Norvane]\nPORT=1\n");
  EXPECT_EQ(user.Read("channels/ChannelList.xml"), "<list/>");
  struct stat st {};
  ASSERT_EQ(stat((user / "scripts/notice.sh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  ASSERT_EQ(stat((user / "search.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  // The list of hashes names every shipped file once.
  const std::string list = user.Read("shipped-files.txt");
  for (const char* f : {"search.xml", "scripts/notice.sh", "xsls/New/rss.xsl"})
    EXPECT_NE(list.find(std::string("  ") + f + "\n"), std::string::npos) << f;
}

TEST(ShippedSeed, FollowsNoLinkAndReadsAnyListOfHashesSafely) {
  TempDir shipped, user, outside;
  outside.Write("secret", "outside");
  ASSERT_EQ(symlink((outside / "secret").c_str(), (shipped / "linked").c_str()), 0);
  ASSERT_EQ(symlink(outside.path().c_str(), (shipped / "linkedFolder").c_str()), 0);
  shipped.Write("www/index.html", "shipped");
  // The user's own link where a shipped file goes is neither followed nor replaced.
  ASSERT_EQ(symlink((outside / "secret").c_str(), (user / "dic.csv").c_str()), 0);
  shipped.Write("dic.csv", "shipped");
  // A garbled list of hashes is read as far as it makes sense: the hash of "mine" for
  // www/index.html would let it be replaced, so only well-formed lines may count.
  user.Write("shipped-files.txt", "zz\n../../etc/passwd\nnot-a-hash-at-all  www/index.html\n\n");
  user.Write("www/index.html", "mine");

  SeedResult r = SeedFromShipped(shipped.path(), user.path());
  EXPECT_TRUE(r.failed.empty());
  EXPECT_FALSE(user.Exists("linked"));
  EXPECT_FALSE(user.Exists("linkedFolder"));
  EXPECT_EQ(outside.Read("secret"), "outside");
  EXPECT_EQ(user.Read("www/index.html"), "mine");
  EXPECT_EQ(KindOf(r, "www/index.html"), Kind::kKept);
}

TEST(ShippedSeed, AFileWhereAFolderGoesFailsOnlyWhatIsBelowIt) {
  TempDir shipped, user;
  shipped.Write("xsls/Default/rss.xsl", "<x/>");
  shipped.Write("search.xml", "<s/>");
  user.Write("xsls", "a file, not a folder");
  SeedResult r = SeedFromShipped(shipped.path(), user.path());
  ASSERT_EQ(r.failed.size(), 1u);
  EXPECT_EQ(r.failed[0].rfind("xsls/Default/rss.xsl: ", 0), 0u) << r.failed[0];
  EXPECT_EQ(user.Read("xsls"), "a file, not a folder");
  EXPECT_EQ(user.Read("search.xml"), "<s/>");

  SeedResult none = SeedFromShipped(shipped.path(), user / "missing");
  ASSERT_EQ(none.failed.size(), 1u);
}

}  // namespace
}  // namespace norvane
