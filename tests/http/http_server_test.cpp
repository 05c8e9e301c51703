// The engine's bounds for outside clients: connections per address, room kept for local
// clients, and a deadline for a request's header. Every client is on 127.0.0.0/8;
// 127.0.0.1 plays the local client, 127.0.0.2 and 127.0.0.3 play other machines. And a
// body sent while it is made.
#include "http/http_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "support/bounded_wait.h"
#include "support/http_fetch.h"
#include "support/raw_socket.h"

namespace norvane {
namespace {

using namespace std::chrono_literals;
using test::RawConnection;

constexpr const char* kHalfHeader = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";

class EngineLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    limits_.total = 24;
    limits_.localReserve = 8;
    limits_.perOutsideAddress = 6;
    limits_.headerTimeout = 2000ms;
    server_ = std::make_unique<HttpServer>(
        [](const HttpRequest& req, HttpResponse& res) {
          res.contentType = "text/plain";
          res.body = "hello " + req.clientAddress;
        },
        "Probe", [](const std::string& a) { return a == "127.0.0.1"; }, limits_);
    server_->Listen(0);
  }
  void TearDown() override { server_->Stop(); }

  // Opens n half-open requests from an address; returns those the server kept open.
  std::vector<RawConnection> Slowloris(const std::string& from, int n) {
    std::vector<RawConnection> open;
    for (int i = 0; i < n; ++i) {
      RawConnection c(server_->port(), from);
      if (!c.valid() || !c.Send(kHalfHeader)) continue;
      open.push_back(std::move(c));
    }
    // A refused connection is closed at once; give the server a moment for all of them.
    std::this_thread::sleep_for(200ms);
    std::vector<RawConnection> kept;
    for (auto& c : open)
      if (!c.ClosedByServer(0)) kept.push_back(std::move(c));
    return kept;
  }
  test::FetchResult LocalGet() {
    return test::Fetch("http://127.0.0.1:" + std::to_string(server_->port()) + "/",
                       {.timeoutMs = 3000});
  }

  ConnectionLimits limits_;
  std::unique_ptr<HttpServer> server_;
};

TEST_F(EngineLimits, OneOutsideAddressHoldsOnlyItsShareAndLocalClientsAreServed) {
  std::vector<RawConnection> kept = Slowloris("127.0.0.2", 15);
  EXPECT_EQ(kept.size(), limits_.perOutsideAddress);
  EXPECT_EQ(server_->OutsideConnections(), static_cast<int>(limits_.perOutsideAddress));
  auto local = LocalGet();
  EXPECT_EQ(local.status, 200) << local.error;
  EXPECT_EQ(local.body, "hello 127.0.0.1");
  // Another outside address still gets its own share.
  auto other = test::Fetch("http://127.0.0.1:" + std::to_string(server_->port()) + "/",
                           {.fromAddress = "127.0.0.3", .timeoutMs = 3000});
  EXPECT_EQ(other.status, 200);
}

TEST_F(EngineLimits, OutsideClientsTogetherLeaveTheReserveToLocalClients) {
  // Three outside addresses could hold 18 connections, but only 16 of the 24 are theirs.
  std::vector<RawConnection> all;
  for (const char* from : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
    for (auto& c : Slowloris(from, 8)) all.push_back(std::move(c));
  EXPECT_EQ(all.size(), limits_.total - limits_.localReserve);
  // The local client can open every reserved connection at once.
  std::vector<std::thread> locals;
  std::vector<long> statuses(limits_.localReserve);
  for (unsigned i = 0; i < limits_.localReserve; ++i)
    locals.emplace_back([&, i] { statuses[i] = LocalGet().status; });
  for (auto& t : locals) t.join();
  for (long s : statuses) EXPECT_EQ(s, 200);
}

TEST_F(EngineLimits, HeadersThatDoNotArriveInTimeCloseTheConnection) {
  auto start = std::chrono::steady_clock::now();
  std::vector<RawConnection> kept = Slowloris("127.0.0.2", 3);
  ASSERT_EQ(kept.size(), 3u);
  // Dripping bytes keeps the connection busy but does not move the deadline.
  bool closed = false;
  while (!closed && std::chrono::steady_clock::now() - start < 5s) {
    kept[0].Send("x");
    closed = kept[0].ClosedByServer(300);
  }
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(closed);
  EXPECT_GE(took, limits_.headerTimeout - 100ms);
  EXPECT_LT(took, limits_.headerTimeout + 2s);
  EXPECT_TRUE(kept[1].ClosedByServer(2000));
  EXPECT_TRUE(kept[2].ClosedByServer(2000));
  for (int i = 0; i < 50 && server_->OutsideConnections() > 0; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(server_->OutsideConnections(), 0);

  // A whole header in time is answered, and a kept-alive connection then has the same
  // time for its next request.
  RawConnection ok(server_->port(), "127.0.0.2");
  ASSERT_TRUE(ok.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
  std::string answer = ok.Receive(500);
  EXPECT_NE(answer.find("hello 127.0.0.2"), std::string::npos) << answer;
  EXPECT_TRUE(ok.ClosedByServer(static_cast<int>(limits_.headerTimeout.count()) + 2000));

  // Local clients have no such deadline.
  RawConnection local(server_->port());
  ASSERT_TRUE(local.Send(kHalfHeader));
  EXPECT_FALSE(local.ClosedByServer(static_cast<int>(limits_.headerTimeout.count()) + 500));
}

TEST_F(EngineLimits, ConcurrencyConnectionsOpenAndCloseWhileTheWatchRuns) {
  // Many short outside requests from several threads, next to half-open ones that the
  // watch closes: the counts end at zero and every complete request was answered.
  std::vector<RawConnection> slow = Slowloris("127.0.0.3", 4);
  std::vector<std::thread> clients;
  std::vector<int> answered(4, 0);
  for (int t = 0; t < 4; ++t)
    clients.emplace_back([&, t] {
      const std::string from = "127.0.0." + std::to_string(4 + t);
      for (int i = 0; i < 10; ++i) {
        auto r = test::Fetch("http://127.0.0.1:" + std::to_string(server_->port()) + "/",
                             {.fromAddress = from, .timeoutMs = 3000});
        if (r.status == 200) ++answered[t];
      }
    });
  for (auto& c : clients) c.join();
  for (int a : answered) EXPECT_EQ(a, 10);
  for (auto& c : slow) EXPECT_TRUE(c.ClosedByServer(3000));
  for (int i = 0; i < 50 && server_->OutsideConnections() > 0; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(server_->OutsideConnections(), 0);
}

// PieceSource given in turn, then (without an end) the same piece for ever; counts its calls
// and the sources alive.
class PieceSource : public BodySource {
 public:
  PieceSource(std::vector<std::string> pieces, bool endless, std::atomic<int>& alive,
         std::atomic<int>& calls)
      : pieces_(std::move(pieces)), endless_(endless), alive_(alive), calls_(calls) {
    ++alive_;
  }
  ~PieceSource() override { --alive_; }
  bool Next(std::string& piece) override {
    ++calls_;
    if (next_ == pieces_.size() && !endless_) return false;
    piece = pieces_[std::min(next_++, pieces_.size() - 1)];
    return true;
  }

 private:
  const std::vector<std::string> pieces_;
  const bool endless_;
  size_t next_ = 0;
  std::atomic<int>& alive_;
  std::atomic<int>& calls_;
};

TEST(EngineStream, ConcurrencyPiecesGoOutInOrderAsOneChunkedAnswerAndALeavingClientEndsTheSource) {
  std::atomic<int> alive = 0, calls = 0;
  const std::vector<std::string> pieces = {"head ", "", std::string(300000, 'b'), " tail"};
  HttpServer server(
      [&](const HttpRequest& req, HttpResponse& res) {
        res.contentType = "text/plain";
        res.stream = std::make_unique<PieceSource>(pieces, req.path == "/endless", alive, calls);
      },
      "Probe");
  server.Listen(0);
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
  auto whole = test::Fetch(base + "/");
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, "head " + pieces[2] + " tail");
  EXPECT_EQ(whole.Header("Transfer-Encoding"), "chunked");
  EXPECT_EQ(whole.Header("Content-Type"), "text/plain");
  EXPECT_EQ(whole.Header("X-Content-Type-Options"), "nosniff");
  // The answer counts as in progress until its source is gone.
  EXPECT_TRUE(test::Within(10s, [&] { return server.InFlight() == 0; }));
  EXPECT_EQ(alive, 0);

  // A body without an end, whose client leaves once it began.
  calls = 0;
  {
    RawConnection client(server.port());
    ASSERT_TRUE(client.Send("GET /endless HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(test::Within(10s, [&] { return calls > 10; }));
  }
  EXPECT_TRUE(test::Within(10s, [&] { return server.InFlight() == 0 && alive == 0; }));
  server.Stop();
  EXPECT_EQ(alive, 0);
}

// The idle task runs once the server was idle its time, never while a request is in
// progress, and again only after another request.
TEST(EngineIdle, ConcurrencyTheIdleTaskWaitsForQuietAndRunsOncePerQuiet) {
  std::atomic<int> runs = 0, inFlightAtRun = -1;
  std::atomic<bool> hold = false;
  HttpServer* self = nullptr;
  HttpServer server(
      [&](const HttpRequest&, HttpResponse& res) {
        while (hold) std::this_thread::sleep_for(10ms);
        res.contentType = "text/plain";
        res.body = "ok";
      },
      "Probe");
  self = &server;
  server.SetIdleTask([&] { ++runs; inFlightAtRun = self->InFlight(); }, 800ms);
  server.Listen(0);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
  std::this_thread::sleep_for(1000ms);
  EXPECT_EQ(runs, 0) << "no request yet: nothing to be idle after";

  ASSERT_EQ(test::Fetch(url).status, 200);
  EXPECT_TRUE(test::Within(5s, [&] { return runs == 1; }));
  EXPECT_EQ(inFlightAtRun, 0);
  std::this_thread::sleep_for(1200ms);
  EXPECT_EQ(runs, 1) << "once per quiet";

  // Requests closer together than the idle time keep it from running.
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(test::Fetch(url).status, 200);
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(test::Within(5s, [&] { return runs == 2; }));

  // A request in progress when the time comes: the task waits for its end.
  ASSERT_EQ(test::Fetch(url).status, 200);
  hold = true;
  std::thread slow([&] { test::Fetch(url); });
  ASSERT_TRUE(test::Within(5s, [&] { return server.InFlight() == 1; }));
  std::this_thread::sleep_for(1200ms);
  EXPECT_EQ(runs, 2) << "a request was in progress";
  hold = false;
  slow.join();
  EXPECT_TRUE(test::Within(5s, [&] { return runs == 3; }));
  EXPECT_EQ(inFlightAtRun, 0);
  server.Stop();
}

}  // namespace
}  // namespace norvane
