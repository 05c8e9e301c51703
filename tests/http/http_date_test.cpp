// HTTP dates as servers and browsers write them (Retry-After, If-Modified-Since), and the
// fetch library loaded at the first fetch.
#include "http/http_date.h"

#include <gtest/gtest.h>

#include <string>

#include "core/url_helpers.h"
#include "http/curl_library.h"

namespace norvane {
namespace {

constexpr std::time_t kNov1994 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT

TEST(HttpDate, TheThreeFormsAndWhatServersMakeOfThem) {
  const struct {
    const char* text;
    std::optional<std::time_t> when;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", kNov1994},
      {"Sunday, 06-Nov-94 08:49:37 GMT", kNov1994},
      {"Sun Nov  6 08:49:37 1994", kNov1994},
      {"06 Nov 1994 08:49:37 GMT", kNov1994},           // no weekday
      {"Mon, 06 Nov 1994 08:49:37 GMT", kNov1994},      // a wrong one
      {"sun, 06 nov 1994 08:49:37 gmt", kNov1994},      // any case
      {"Sun, 06 November 1994 08:49:37 UTC", kNov1994},
      {"Sun, 06 Nov 1994 17:49:37 +0900", kNov1994},
      {"Sat, 05 Nov 1994 23:49:37 -0900", kNov1994},
      {"Sun, 06 Nov 1994 08:49 GMT", kNov1994 - 37},
      {"Thu, 29 Feb 2024 00:00:00 GMT", 1709164800},
      {"Fri, 31 Dec 9999 23:59:59 GMT", 253402300799},
      // Not dates, or not possible ones.
      {"", std::nullopt},
      {"tomorrow", std::nullopt},
      {"120", std::nullopt},
      {"Sun, 06 Nov 1994 GMT", std::nullopt},            // no time
      {"Sun, 06 Nov 08:49:37 GMT", std::nullopt},        // no year
      {"Thu, 29 Feb 2023 00:00:00 GMT", std::nullopt},   // not a leap year
      {"Sun, 31 Apr 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 GMT GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 JST", std::nullopt},   // an unknown zone is no guess
      {"Sun, 06 Nov 1994 08:49:37 +2500", std::nullopt},
      {"Wed, 31 Dec 1969 23:59:59 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 GMT\r\nX-Evil: 1", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseHttpDate(c.text), c.when);
  }
  EXPECT_EQ(ParseHttpDate(std::string(65, ' ') + "Sun, 06 Nov 1994 08:49:37 GMT"), std::nullopt);
}

TEST(HttpDate, ReadsBackWhatTheProgramWrites) {
  for (std::time_t t : {std::time_t{0}, kNov1994, std::time_t{1764583200}, std::time_t{4102444799}})
    EXPECT_EQ(ParseHttpDate(HttpDate(t)), t) << HttpDate(t);
}

TEST(HttpDate, ATwoDigitYearIsNeverFarAhead) {
  // 94 cannot be 2094 (more than 50 years ahead of any year this program runs in).
  EXPECT_EQ(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"), kNov1994);
  std::optional<std::time_t> soon = ParseHttpDate("Thursday, 01-Jan-30 00:00:00 GMT");
  ASSERT_TRUE(soon);
  EXPECT_EQ(*soon, 1893456000);  // 2030
}

TEST(CurlLibrary, AMissingLibraryIsAClearErrorAndTheRealOneBindsEverything) {
  CurlLibrary lib;
  std::string error;
  EXPECT_FALSE(LoadCurlLibrary("libnorvane-no-such-library.so.9", lib, error));
  EXPECT_NE(error.find("cannot load the fetch library libnorvane-no-such-library.so.9"), std::string::npos)
      << error;
  EXPECT_EQ(lib.easy_init, nullptr);
  // A library without libcurl's functions: the first one missing is named.
  error.clear();
  EXPECT_FALSE(LoadCurlLibrary("libz.so.1", lib, error));
  EXPECT_NE(error.find("has no curl_global_init"), std::string::npos) << error;

  error.clear();
  ASSERT_TRUE(LoadCurlLibrary(kCurlLibraryName, lib, error)) << error;
  EXPECT_TRUE(lib.global_init && lib.version_info && lib.easy_init && lib.easy_cleanup && lib.easy_setopt &&
              lib.easy_getinfo && lib.easy_perform && lib.easy_strerror && lib.share_init &&
              lib.share_setopt && lib.share_cleanup && lib.slist_append && lib.slist_free_all);
}

}  // namespace
}  // namespace norvane
