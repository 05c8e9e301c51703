#include "feeds/feed_date.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

TEST(FeedDate, IsoAndRfc822DatesBecomeIsoAndAnythingElseNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"2025-04-01", "2025-04-01"},
      {"2025-04-01T09:30:00+09:00", "2025-04-01T09:30:00+09:00"},
      {"  2025-04-01T09:30Z ", "2025-04-01T09:30Z"},
      {"2025-04-01 09:30", ""},
      {"Tue, 01 Apr 2025 09:00:00 GMT", "2025-04-01T09:00:00Z"},
      {"Tue,  1 Apr 25 09:00 +0900", "2025-04-01T09:00:00+09:00"},
      {"1 Dec 2025 23:59:59 JST", "2025-12-01T23:59:59+09:00"},
      {"Wed, 03 Dec 2025 10:00:00 PDT", "2025-12-03T10:00:00-07:00"},
      {"Wed, 03 Dec 2025 10:00:00 -0500", "2025-12-03T10:00:00-05:00"},
      {"Wed, 03 Dec 2025 10:00:00 CET", ""},
      {"Wed, 32 Dec 2025 10:00:00 GMT", ""},
      {"Wed, 03 Dez 2025 10:00:00 GMT", ""},
      {"Wed, 03 ecF 2025 10:00:00 GMT", ""},
      {"Wed, 03 Dec 2025 10:0:00 GMT", ""},
      {"2025年4月1日", ""},
      {"", ""},
  };
  for (const auto& [text, iso] : cases) EXPECT_EQ(IsoDate(text), iso) << text;
}

}  // namespace
}  // namespace norvane
