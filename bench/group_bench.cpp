// A group of 100 feeds refreshed through "ch.html" with r=on, each feed answered after a
// fixed delay by a local server: the wall time against the floor the batch rule sets
// (batches x delay), once with full answers merged into the logs and once answered 304.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/data_module.h"
#include "core/settings.h"
#include "support/fake_shell.h"
#include "support/feed_server.h"
#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/program_home.h"

namespace norvane {
namespace {

constexpr int kFeeds = 100;
constexpr int kMaxConnection = 8;
// NORVANE_BENCH_DELAY_MS changes the delay (0 shows the program's own share).
const std::chrono::milliseconds kDelay(std::getenv("NORVANE_BENCH_DELAY_MS")
                                           ? std::atoi(std::getenv("NORVANE_BENCH_DELAY_MS"))
                                           : 50);

std::string Feed(int n) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Feed " +
                  std::to_string(n) + "</title><link>http://127.0.0.1/</link><description>d</description>";
  for (int i = 0; i < 20; ++i)
    s += "<item><title>Item " + std::to_string(i) + "</title><link>http://127.0.0.1/" + std::to_string(n) + "/" +
         std::to_string(i) + "</link><description>An item of some length, as feeds have.</description></item>";
  return s + "</channel></rss>";
}

// A program folder with the shipped style, a group of kFeeds feeds and the data module
// listening; the logs already exist, so each run is a reload.
class GroupSetup {
 public:
  explicit GroupSetup(bool unchanged) {
    for (const char* f : {"/search.xml", "/dic.csv"}) test::CopyTree(std::string(NORVANE_DATA_DIR) + f, home_.path());
    test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls", home_ / "xsls");
    home_.Write("channels/.keep", "");
    std::string body;
    for (int i = 0; i < kFeeds; ++i) {
      test::FeedRoute r;
      r.body = Feed(i);
      r.delay = kDelay;
      if (unchanged) r.lastModified = "Tue, 01 Apr 2025 10:00:00 GMT";
      feeds_.Route("/f" + std::to_string(i), r);
      body += "<outline text=\"f\" type=\"rss\" xmlUrl=\"" + feeds_.Url("/f" + std::to_string(i)) + "\"/>";
    }
    home_.Write("opmls/bench.opml", "<opml version=\"1.0\"><head><title>Bench</title></head><body>" + body +
                                        "</body></opml>");
    port_ = heldPort_.port();
    UpdateSettings([&](Settings& s) {
      s.PORT = port_;
      s.MAXCONNECTION = kMaxConnection;
      s.LocalAddress = "";
    });
    module_ = std::make_unique<TDataM>(shell_);
    module_->RestartServer();
    Refresh();  // the first fetch makes the logs
  }
  ~GroupSetup() { module_.reset(); }
  bool Refresh() {
    test::FetchOptions options;
    options.timeoutMs = 120000;
    auto r = test::Fetch("http://127.0.0.1:" + std::to_string(port_) + "/ch.html?u=bench.opml/&r=on", options);
    return r.status == 200 && r.body.find("Feed 99") != std::string::npos;
  }

 private:
  test::ProgramHome home_;
  test::FeedServer feeds_;
  test::HeldPort heldPort_;
  int port_ = 0;
  test::FakeShell shell_;  // before the module, which uses it to its end
  std::unique_ptr<TDataM> module_;
};

void Run(benchmark::State& state, bool unchanged) {
  GroupSetup setup(unchanged);
  for (auto _ : state)
    if (!setup.Refresh()) state.SkipWithError("the group page did not come back whole");
  const int batch = kMaxConnection + 1;
  const int batches = (kFeeds + batch - 1) / batch;
  state.counters["batches"] = batches;
  state.counters["floor_ms"] = static_cast<double>(batches * kDelay.count());
}

void BM_GroupRefreshFullAnswers(benchmark::State& state) { Run(state, false); }
void BM_GroupRefreshNotModified(benchmark::State& state) { Run(state, true); }

BENCHMARK(BM_GroupRefreshFullAnswers)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_GroupRefreshNotModified)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
