// Which bytes are kept as a site's icon: the formats by their first bytes, whatever the
// server called them.
#include "feeds/icon_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace norvane {
namespace {

using namespace std::string_literals;

TEST(IconBytes, FormatsAreToldByTheirFirstBytes) {
  struct Case {
    const char* name;
    std::string bytes;
    IconFormat format;
  } cases[] = {
      {"png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, IconFormat::Png},
      {"ico", "\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x68\4\0\0\x16\0\0\0"s, IconFormat::Ico},
      {"gif87", "GIF87a\1\0\1\0"s, IconFormat::Gif},
      {"gif89", "GIF89a\1\0\1\0"s, IconFormat::Gif},
      {"jpeg", "\xff\xd8\xff\xe0\0\x10JFIF"s, IconFormat::Jpeg},
      {"webp", "RIFF\x24\0\0\0WEBPVP8 "s, IconFormat::WebP},
      {"empty", "", IconFormat::None},
      {"png signature alone", "\x89PNG\r\n\x1a\n"s, IconFormat::None},
      {"png signature cut", "\x89PNG\r\n"s, IconFormat::None},
      {"cursor, not icon", "\0\0\2\0\1\0\x10\x10\0\0\1\0\x20\0\x68\4\0\0\x16\0\0\0"s, IconFormat::None},
      {"ico without images", "\0\0\1\0\0\0\x10\x10\0\0\1\0\x20\0\x68\4\0\0\x16\0\0\0"s, IconFormat::None},
      {"ico header cut", "\0\0\1\0\1\0"s, IconFormat::None},
      {"riff but wave", "RIFF\x24\0\0\0WAVEfmt "s, IconFormat::None},
      {"svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><script>alert(1)</script></svg>", IconFormat::None},
      {"svg with declaration", "<?xml version=\"1.0\"?><svg/>", IconFormat::None},
      {"html", "<!DOCTYPE html><html><head><title>404</title></head></html>", IconFormat::None},
      {"html after spaces", "  \n<html>\x89PNG", IconFormat::None},
      {"png after a byte order mark", "\xef\xbb\xbf\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, IconFormat::None},
      {"gzip", "\x1f\x8b\x08\0\0\0\0\0"s, IconFormat::None},
      {"bmp", "BM\x36\0\0\0\0\0\0\0"s, IconFormat::None},
  };
  for (const Case& c : cases) EXPECT_EQ(SniffIcon(c.bytes), c.format) << c.name;
}

TEST(IconBytes, MoreThanTheBoundIsRefusedWhateverItHolds) {
  std::string png = "\x89PNG\r\n\x1a\n"s;
  png.resize(kMaxIconBytes, 'x');
  EXPECT_EQ(SniffIcon(png), IconFormat::Png);
  png.push_back('x');
  EXPECT_EQ(SniffIcon(png), IconFormat::None);
}

TEST(IconBytes, EachFormatHasItsImageTypeAndNoneHasNone) {
  struct Case {
    IconFormat format;
    const char* type;
  } cases[] = {{IconFormat::Png, "image/png"},   {IconFormat::Ico, "image/x-icon"}, {IconFormat::Gif, "image/gif"},
               {IconFormat::Jpeg, "image/jpeg"}, {IconFormat::WebP, "image/webp"},  {IconFormat::None, ""}};
  for (const Case& c : cases) EXPECT_EQ(IconContentType(c.format), c.type);
}

}  // namespace
}  // namespace norvane
