// When a static file is answered 304: the conditions a browser (If-None-Match with
// If-Modified-Since) or the program's own fetcher (If-Modified-Since alone) sends.
#include "http/file_validators.h"

#include <gtest/gtest.h>

#include "core/url_helpers.h"

namespace norvane {
namespace {

constexpr std::time_t kModified = 1764583200;  // Mon, 01 Dec 2025 10:00:00 GMT
constexpr std::time_t kLater = kModified + 3600;

struct stat FileState(std::time_t mtime, long nsec = 0, off_t size = 100, ino_t inode = 7) {
  struct stat st {};
  st.st_dev = 1;
  st.st_ino = inode;
  st.st_size = size;
  st.st_mtim.tv_sec = mtime;
  st.st_mtim.tv_nsec = nsec;
  return st;
}

TEST(FileValidators, AFileIsDatedOnceItsLastSecondIsOver) {
  FileValidators v = ValidatorsOf(FileState(kModified), kLater);
  EXPECT_EQ(v.lastModified, "Mon, 01 Dec 2025 10:00:00 GMT");
  EXPECT_EQ(v.etag.size(), 18u);
  EXPECT_EQ(v.etag.front(), '"');
  EXPECT_EQ(v.etag.back(), '"');
  // Changed in the very second it is sent: a later change in that second would carry the
  // same date, so none is given.
  EXPECT_EQ(ValidatorsOf(FileState(kLater), kLater).lastModified, "");
  EXPECT_EQ(ValidatorsOf(FileState(kLater + 5), kLater).lastModified, "");
}

TEST(FileValidators, TheTagChangesWithEveryChangeOfTheFile) {
  const std::string tag = ValidatorsOf(FileState(kModified), kLater).etag;
  EXPECT_EQ(ValidatorsOf(FileState(kModified), kLater + 60).etag, tag) << "the same file keeps its tag";
  for (const struct stat& changed : {FileState(kModified, 1), FileState(kModified + 1),
                                     FileState(kModified, 0, 101), FileState(kModified, 0, 100, 8)})
    EXPECT_NE(ValidatorsOf(changed, kLater).etag, tag);
}

TEST(FileValidators, ConditionsThatMeanTheClientHoldsTheFile) {
  const FileValidators v = ValidatorsOf(FileState(kModified), kLater);
  const std::string tag = v.etag;
  const std::string other = "\"0123456789abcdef\"";
  struct Case {
    const char* name;
    std::string ifNoneMatch, ifModifiedSince;
    bool holds;
  };
  const Case cases[] = {
      {"its tag", tag, "", true},
      {"its tag, weak", "W/" + tag, "", true},
      {"its tag in a list", other + ", " + tag, "", true},
      {"its tag in a list without spaces", other + "," + tag, "", true},
      {"any tag", "*", "", true},
      {"another tag", other, "", false},
      {"the tag without quotes", tag.substr(1, 16), "", false},
      {"a list broken before the tag", "\"abc, " + tag, "", false},
      {"another tag decides over the right date", other, v.lastModified, false},
      {"its tag decides over a wrong date", tag, "Sun, 06 Nov 1994 08:49:37 GMT", true},
      {"its date", "", v.lastModified, true},
      {"its date in the obsolete RFC 850 form", "", "Monday, 01-Dec-25 10:00:00 GMT", true},
      {"a second later", "", "Mon, 01 Dec 2025 10:00:01 GMT", false},
      // The same address may serve an older file after the style was changed.
      {"a date after it", "", HttpDate(kLater), false},
      {"a date before it", "", "Mon, 01 Dec 2025 09:59:59 GMT", false},
      {"no date", "", "yesterday-ish", false},
      {"nothing", "", "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ClientHoldsFile(c.ifNoneMatch, c.ifModifiedSince, v), c.holds) << c.name;

  // A file dated in the present second is known by its tag only.
  const FileValidators fresh = ValidatorsOf(FileState(kLater), kLater);
  EXPECT_FALSE(ClientHoldsFile("", HttpDate(kLater), fresh));
  EXPECT_TRUE(ClientHoldsFile(fresh.etag, "", fresh));
}

}  // namespace
}  // namespace norvane
