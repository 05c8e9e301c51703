// A feed's health: what a fetch leaves in its record, when the next one may go out, and
// how servers that rate-limit, move or go away are treated over refreshes and restarts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/disk_path.h"
#include "core/sjis.h"
#include "feeds/channel_home.h"
#include "feeds/chlist.h"
#include "feeds/feed_health.h"
#include "feeds/rss.h"
#include "core/url_helpers.h"
#include "http/http_client.h"
#include "support/feed_server.h"

namespace norvane {
namespace {

constexpr std::time_t kNow = 1'800'000'000;
constexpr std::chrono::seconds kBase{600};

FetchOutcome Outcome(FetchOutcomeKind kind, long status = 0, std::string retryAfter = {}, long maxAge = -1) {
  FetchOutcome o;
  o.kind = kind;
  o.status = status;
  o.detail = kind == FetchOutcomeKind::Ok ? "" : "why";
  o.retryAfter = std::move(retryAfter);
  o.maxAgeSeconds = maxAge;
  return o;
}

TEST(FeedHealth, EachOutcomeLeavesTheWaitItCallsFor) {
  const struct {
    const char* what;
    int failuresBefore;
    FetchOutcome outcome;
    std::time_t wait;  // notBefore - now; 0: none
    bool everyone;
    FetchWait forPatrol, forGroup, forPerson;
  } cases[] = {
      {"ok", 0, Outcome(FetchOutcomeKind::Ok), 0, false, FetchWait::None, FetchWait::None, FetchWait::None},
      {"ok with max-age", 0, Outcome(FetchOutcomeKind::Ok, 200, "", 300), 300, false, FetchWait::Fresh,
       FetchWait::None, FetchWait::None},
      {"max-age over a day", 0, Outcome(FetchOutcomeKind::Unchanged, 304, "", 999999), 86400, false,
       FetchWait::Fresh, FetchWait::None, FetchWait::None},
      {"429 in seconds", 0, Outcome(FetchOutcomeKind::HttpStatus, 429, "120"), 120, true,
       FetchWait::ServerAsked, FetchWait::ServerAsked, FetchWait::ServerAsked},
      {"429 without Retry-After", 0, Outcome(FetchOutcomeKind::HttpStatus, 429), 3600, true,
       FetchWait::ServerAsked, FetchWait::ServerAsked, FetchWait::ServerAsked},
      {"429 again, doubled", 1, Outcome(FetchOutcomeKind::HttpStatus, 429), 7200, true,
       FetchWait::ServerAsked, FetchWait::ServerAsked, FetchWait::ServerAsked},
      {"429 a tenth time, a day", 9, Outcome(FetchOutcomeKind::HttpStatus, 429), 86400, true,
       FetchWait::ServerAsked, FetchWait::ServerAsked, FetchWait::ServerAsked},
      {"503 with a garbage Retry-After backs off", 0, Outcome(FetchOutcomeKind::HttpStatus, 503, "soon"), 600,
       false, FetchWait::BackingOff, FetchWait::None, FetchWait::None},
      {"403 a third time", 2, Outcome(FetchOutcomeKind::HttpStatus, 403), 2400, false, FetchWait::BackingOff,
       FetchWait::None, FetchWait::None},
      {"time-out", 0, Outcome(FetchOutcomeKind::Timeout), 600, false, FetchWait::BackingOff, FetchWait::None,
       FetchWait::None},
      {"410", 0, Outcome(FetchOutcomeKind::HttpStatus, 410), 0, false, FetchWait::Gone, FetchWait::Gone,
       FetchWait::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FeedHealth before;
    before.failures = c.failuresBefore;
    before.failingSince = c.failuresBefore ? kNow - 50 : 0;
    const FeedHealth h = NextHealth(before, c.outcome, kNow, kBase);
    EXPECT_EQ(h.lastFetch, kNow);
    EXPECT_EQ(h.notBefore ? h.notBefore - kNow : 0, c.wait);
    EXPECT_EQ(h.bindsEveryone, c.everyone);
    EXPECT_EQ(WaitBeforeFetch(h, FetchAsker::Patrol, kNow), c.forPatrol);
    EXPECT_EQ(WaitBeforeFetch(h, FetchAsker::Group, kNow), c.forGroup);
    EXPECT_EQ(WaitBeforeFetch(h, FetchAsker::Person, kNow), c.forPerson);
    // Every wait is over once its time has come.
    if (!h.gone()) {
      EXPECT_EQ(WaitBeforeFetch(h, FetchAsker::Patrol, kNow + 86400), FetchWait::None);
    }
    if (h.failing()) {
      EXPECT_EQ(h.failures, c.failuresBefore + 1);
      EXPECT_EQ(h.failingSince, c.failuresBefore ? kNow - 50 : kNow) << "a run of failures keeps its start";
      EXPECT_TRUE(HasProblem(h));
      EXPECT_FALSE(HealthNotice(h, kNow).empty());
    } else {
      EXPECT_EQ(h.lastSuccess, kNow);
      EXPECT_TRUE(HealthNotice(h, kNow).empty());
    }
  }
}

TEST(FeedHealth, ASuccessEndsTheRunAndACancelledFetchChangesNothing) {
  FeedHealth h = NextHealth({}, Outcome(FetchOutcomeKind::HttpStatus, 404), kNow, kBase);
  h = NextHealth(h, Outcome(FetchOutcomeKind::Timeout), kNow + 10, kBase);
  EXPECT_EQ(NextHealth(h, Outcome(FetchOutcomeKind::Cancelled), kNow + 20, kBase), h);
  h = NextHealth(h, Outcome(FetchOutcomeKind::Unchanged, 304), kNow + 30, kBase);
  EXPECT_EQ(h.failures, 0);
  EXPECT_EQ(h.failingSince, 0);
  EXPECT_EQ(h.notBefore, 0);
  EXPECT_TRUE(h.detail.empty());
  EXPECT_FALSE(HasProblem(h));
}

TEST(FeedHealth, RetryAfterIsSecondsOrADateBoundedByAWeek) {
  const std::string inAnHour = HttpDate(kNow + 3600);
  const struct {
    std::string value;
    std::optional<std::time_t> after;  // until - now
  } cases[] = {
      {"120", 120},        {" 5 ", 5},           {"0", std::nullopt},       {"99999999999999999999", 604800},
      {inAnHour, 3600},    {HttpDate(kNow - 60), std::nullopt},             {HttpDate(kNow + 30 * 86400), 604800},
      {"", std::nullopt},  {"-5", std::nullopt}, {"1.5", std::nullopt},     {"tomorrow, maybe", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    std::optional<std::time_t> until = RetryAfterUntil(c.value, kNow);
    ASSERT_EQ(until.has_value(), c.after.has_value());
    if (until) {
      EXPECT_EQ(*until - kNow, *c.after);
    }
  }
}

std::string HealthFeed(const std::string& title) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>C</title>"
         "<link>http://example.com/</link><description>d</description><item><title>" +
         title + "</title><link>http://example.com/" + title + "</link></item></channel></rss>";
}

class ServerManners : public test::ChannelHome {
 protected:
  // One request for the feed at path, as asker; the answer's text (UTF-8).
  std::string Ask(const std::string& path, FetchAsker asker, bool reload = true) {
    FeedContext context = Context();
    context.asker = asker;
    context.backoffBase = kBase;
    TRSS rss(Params(path, reload), context);
    return SjisToUtf8(rss.Excute());
  }
  FeedHealth Health(const std::string& path) { return TChItem(*list_, server_.Url(path)).GetHealth(); }
  // The program's end and a new start: the list as saved is all that is known.
  void Restart() {
    list_->Save();
    list_ = std::make_unique<TChList>("channels/ChannelList.xml");
  }
};

TEST_F(ServerManners, ARateLimitingServerIsNotAskedBeforeItsTimeByAnyoneEvenAfterARestart) {
  test::FeedRoute feed;
  feed.body = HealthFeed("A");
  server_.Route("/feed", feed);
  Ask("/feed", FetchAsker::Person);
  for (const char* retryAfter : {"3600", "date"}) {
    SCOPED_TRACE(retryAfter);
    test::FeedRoute limited;
    limited.status = std::string(retryAfter) == "date" ? 503 : 429;
    limited.headers = {{"Retry-After", std::string(retryAfter) == "date" ? HttpDate(std::time(nullptr) + 7200)
                                                                        : std::string(retryAfter)}};
    server_.Route("/feed", limited);
    const std::string failed = Ask("/feed", FetchAsker::Person);
    EXPECT_NE(failed.find("<title>A</title>"), std::string::npos) << "the stored items are shown";
    EXPECT_NE(failed.find("waitUntil="), std::string::npos) << failed;
    const size_t asked = server_.RequestCount("/feed");
    Ask("/feed", FetchAsker::Person);
    Ask("/feed", FetchAsker::Group);
    Ask("/feed", FetchAsker::Patrol);
    Restart();
    const std::string after = Ask("/feed", FetchAsker::Person);
    EXPECT_EQ(server_.RequestCount("/feed"), asked) << "no request before the time the server named";
    EXPECT_NE(after.find("rg:health"), std::string::npos) << after;
    // The wait over (as if its time had come), a person's refresh asks again.
    FeedHealth h = Health("/feed");
    h.notBefore = std::time(nullptr) - 1;
    TChItem(*list_, server_.Url("/feed")).SetHealth(h);
  }
  server_.Route("/feed", feed);
  const std::string well = Ask("/feed", FetchAsker::Person);
  EXPECT_EQ(well.find("rg:health"), std::string::npos) << "a success ends the notice";
  EXPECT_EQ(Health("/feed").failures, 0);
}

TEST_F(ServerManners, ThePatrolBacksOffAndLeavesAGoneFeedWhileItsReaderStillAsks) {
  test::FeedRoute feed;
  feed.body = HealthFeed("A");
  server_.Route("/feed", feed);
  Ask("/feed", FetchAsker::Person);
  for (int status : {500, 410}) {
    SCOPED_TRACE(status);
    test::FeedRoute failing;
    failing.status = status;
    server_.Route("/feed", failing);
    Ask("/feed", FetchAsker::Person);
    const size_t asked = server_.RequestCount("/feed");
    Ask("/feed", FetchAsker::Patrol);
    EXPECT_EQ(server_.RequestCount("/feed"), asked) << "the patrol waits";
    Ask("/feed", FetchAsker::Group);
    EXPECT_EQ(server_.RequestCount("/feed"), status == 410 ? asked : asked + 1);
    const std::string page = Ask("/feed", FetchAsker::Person);
    EXPECT_EQ(server_.RequestCount("/feed"), status == 410 ? asked + 1 : asked + 2) << "its reader asks";
    EXPECT_NE(page.find("status=\"" + std::to_string(status) + "\""), std::string::npos) << page;
    EXPECT_EQ(page.find("gone=\"yes\"") != std::string::npos, status == 410);
  }
}

TEST_F(ServerManners, TheSameBytesAgainAreUnchangedAndTheLogIsNotWritten) {
  test::FeedRoute feed;  // no Last-Modified, no ETag
  feed.body = HealthFeed("A");
  server_.Route("/feed", feed);
  Ask("/feed", FetchAsker::Person);
  const std::string log = "channels/" + ChannelFileName(server_.Url("/feed")) + ".xml";
  Ask("/feed", FetchAsker::Person);  // new becomes today: written once more
  const std::string before = home_.Read(DiskPath(log));
  home_.Write(log, before + "<!-- untouched -->");
  Ask("/feed", FetchAsker::Person);
  EXPECT_EQ(home_.Read(DiskPath(log)), before + "<!-- untouched -->") << "neither parsed nor written";
  EXPECT_EQ(Health("/feed").outcome, FetchOutcomeKind::Unchanged);
  feed.body = HealthFeed("B");
  server_.Route("/feed", feed);
  EXPECT_NE(Ask("/feed", FetchAsker::Person).find("<title>B</title>"), std::string::npos);
}

TEST_F(ServerManners, APermanentChainIsRememberedAndATemporaryOneIsNot) {
  test::FeedRoute feed;
  feed.body = HealthFeed("A");
  server_.Route("/new", feed);
  server_.Redirect("/mid", 308, server_.Url("/new"));
  server_.Redirect("/old", 301, server_.Url("/mid"));
  server_.Redirect("/temp", 302, server_.Url("/new"));
  Ask("/old", FetchAsker::Person);
  Ask("/temp", FetchAsker::Person);
  EXPECT_EQ(Health("/old").movedTo, server_.Url("/new"));
  EXPECT_EQ(Health("/temp").movedTo, "");
  EXPECT_NE(Ask("/old", FetchAsker::Person, false).find("movedTo=\"" + server_.Url("/new")), std::string::npos);
}

TEST_F(ServerManners, ADamagedHealthRecordIsDroppedAndTheRestOfTheListLoads) {
  home_.Write("channels/ChannelList.xml",
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><channels>"
              "<channel><xmlUrl>http://a/</xmlUrl><file>a</file><httpLastModified/>"
              "<health><failures>many</failures></health></channel>"
              "<channel><xmlUrl>http://b/</xmlUrl><file>b</file><httpLastModified/>"
              "<health><lastFetch>2026-12-01T10:00:00Z</lastFetch><outcome status=\"404\">http-status</outcome>"
              "<failures>2</failures><detail>" + std::string(kMaxHealthDetail + 1, 'x') + "</detail></health></channel>"
              "<channel><xmlUrl>http://c/</xmlUrl><file>c</file><httpLastModified/>"
              "<health><lastFetch>2026-12-01T10:00:00Z</lastFetch><outcome status=\"404\">http-status</outcome>"
              "<failures>2</failures><later>kept aside</later></health></channel></channels>");
  testing::internal::CaptureStderr();
  TChList list("channels/ChannelList.xml");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("http://a/"), std::string::npos) << said;
  EXPECT_NE(said.find("http://b/"), std::string::npos) << "an over-long text is damage";
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_FALSE(TChItem(list, "http://a/").GetHealth().known());
  EXPECT_EQ(TChItem(list, "http://c/").GetHealth().failures, 2) << "an unknown element is passed over";
  EXPECT_EQ(TChItem(list, "http://b/").GetFileName(), "b");
}

}  // namespace
}  // namespace norvane
