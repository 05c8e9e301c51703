#include "core/url_helpers.h"

#include <gtest/gtest.h>

#include <regex>

#include "core/disk_path.h"
#include "core/settings.h"

namespace norvane {
namespace {

TEST(EncodeURLParam, KeepsOnlyLettersAndDigits) {
  EXPECT_EQ(EncodeURLParam("a Z-9._~"), "a%20Z%2D9%2E%5F%7E");
  EXPECT_EQ(EncodeURLParam("\x8C\x9F\x8D\xF5"), "%8C%9F%8D%F5");  // Shift_JIS bytes
  EXPECT_EQ(EncodeURLParam(""), "");
}

TEST(CompleteLocalURL, GatewayAddressesGetThisProgramsHostAndPort) {
  UpdateSettings([](Settings& s) {
    s.PORT = 4600;
    s.LocalAddress = "192.0.2.7";
  });
  EXPECT_EQ(CompleteLocalURL("htr.xml?u=a.txt"), "http://localhost:4600/htr.xml?u=a.txt");
  EXPECT_EQ(CompleteLocalURL("scrap.xml?u=news"), "http://192.0.2.7:4600/scrap.xml?u=news");
  EXPECT_EQ(CompleteLocalURL("http://x/htr.xml"), "http://x/htr.xml");
  EXPECT_EQ(CompleteLocalURL("group.opml"), "group.opml");
  ResetSettings();
}

TEST(HttpDateNow, IsAnRfc1123Date) {
  std::regex form(R"((Sun|Mon|Tue|Wed|Thu|Fri|Sat), \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d\d:\d\d:\d\d GMT)");
  EXPECT_TRUE(std::regex_match(HttpDateNow(), form)) << HttpDateNow();
}

TEST(PercentDecode, DropsBadAndZeroEscapesAndKeepsPlus) {
  EXPECT_EQ(PercentDecode("a%20b+c"), "a b+c");
  EXPECT_EQ(PercentDecode("%zzx"), "x");      // not two hex digits: three characters go
  EXPECT_EQ(PercentDecode("a%00b"), "ab");    // byte zero is dropped
  EXPECT_EQ(PercentDecode("%8C%9f"), "\x8C\x9F");
  EXPECT_EQ(PercentDecode("end%4"), "end");   // a cut escape at the end
  EXPECT_EQ(ReplaceAll("a//b//", "//", "/"), "a/b/");
}

TEST(DiskPath, KeepsShiftJisTrailBytesAndStopsEscapes) {
  // "ソ" is 83 5C in Shift_JIS: the 5C is no separator.
  EXPECT_EQ(DiskPath("opmls\\\x83\x5C.opml"), "opmls/\xE3\x82\xBD.opml");
  EXPECT_TRUE(StaysInside("a/b\\c.xml"));
  EXPECT_TRUE(StaysInside("\x83\x5C..x"));
  EXPECT_FALSE(StaysInside("../x"));
  EXPECT_FALSE(StaysInside("a\\..\\x"));
  EXPECT_FALSE(StaysInside("/etc/passwd"));
  EXPECT_FALSE(StaysInside(std::string("a\0b", 3)));
  EXPECT_FALSE(StaysInside(".."));
}

}  // namespace
}  // namespace norvane
