// The program's memory under the loads a user gives it: the real binary of this build,
// run headless on a fresh program folder, its feeds served by a local server on
// 127.0.0.1. Each load runs in a process of its own, whose peak resident size (VmHWM)
// is read before it is stopped. When newsboat is installed, it reloads the same feeds
// beside it (nine threads), for comparison; it is never installed by this program.
//
//   memory_bench [--big] [--rounds N] [--only LOAD] [--wrap "CMD ARGS"]
//
// --only runs one load (idle, views, group, steady, big); --big adds the group of 1,000
// feeds with 150 items each (slow: about a minute); --rounds sets the rounds of the
// steady-state load (10); --wrap runs norvane under a profiler (heaptrack -o FILE,
// valgrind --tool=massif ...): the sizes shown are then the wrapper's, only its files
// count.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/feed_server.h"
#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/spawn.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxConnection = 8;  // nine fetches at once, as newsboat's nine threads

std::string Feed(int n, int items) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Feed " +
                  std::to_string(n) + "</title><link>http://127.0.0.1/" + std::to_string(n) +
                  "/</link><description>A feed of the memory benchmark</description>";
  for (int i = 0; i < items; ++i) {
    const std::string link = "http://127.0.0.1/" + std::to_string(n) + "/" + std::to_string(i);
    s += "<item><title>Item " + std::to_string(i) + " of feed " + std::to_string(n) + "</title><link>" + link +
         "</link><guid>" + link + "</guid><pubDate>Tue, 01 Apr 2025 10:" + std::to_string(10 + i % 50) +
         ":00 GMT</pubDate><description>&lt;p&gt;An item of some length, as feeds have, with a "
         "&lt;a href=\"" + link + "/more\"&gt;link&lt;/a&gt; and &lt;em&gt;some&lt;/em&gt; markup "
         "around its words, number " + std::to_string(i) + ".&lt;/p&gt;</description></item>";
  }
  return s + "</channel></rss>";
}

// Sizes of a process in KiB, from /proc/<pid>/status.
struct Sizes {
  long rss = 0, peak = 0;
};
Sizes ReadSizes(pid_t pid) {
  Sizes s;
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) s.rss = std::atol(line.c_str() + 6);
    if (line.rfind("VmHWM:", 0) == 0) s.peak = std::atol(line.c_str() + 6);
  }
  return s;
}

std::string Mb(long kib) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f MB", static_cast<double>(kib) / 1024.0);
  return b;
}

pid_t Spawn(std::vector<std::string> argv, const std::string& out, const std::vector<std::string>& extraEnv = {}) {
  std::vector<std::string> env = test::OwnEnvironment();
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  return test::SpawnProcess(std::move(argv), std::move(env), {out, out, true});
}

// Asks every descendant of pid to end, the deepest first.
void TerminateChildren(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
  for (long child; in >> child;) {
    TerminateChildren(static_cast<pid_t>(child));
    kill(static_cast<pid_t>(child), SIGTERM);
  }
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

// The feeds of every load, served for the whole run.
class Feeds {
 public:
  Feeds() {
    for (int i = 0; i < 1000; ++i) {
      test::FeedRoute r;
      r.body = Feed(i, 20);
      server_.Route("/f" + std::to_string(i), r);
      r.body = Feed(i, 150);
      server_.Route("/big" + std::to_string(i), r);
    }
  }
  std::string Url(const std::string& path) const { return server_.Url(path); }

 private:
  test::FeedServer server_;
};

// One norvane process on a program folder of its own.
class Norvane {
 public:
  Norvane(const Feeds& feeds, const std::vector<std::string>& wrap) : feeds_(feeds) {
    test::CopyTree(NORVANE_DATA_DIR, home_.path());
    home_.Write("norvane.ini", "[Norvane]\r\nPORT=" + std::to_string(port_.port()) +
                                   "\r\nMAXCONNECTION=" + std::to_string(kMaxConnection) + "\r\n");
    WriteGroup("g100.opml", "/f", 100);
    WriteGroup("g1000.opml", "/f", 1000);
    WriteGroup("big.opml", "/big", 1000);
    std::vector<std::string> argv = wrap;
    for (std::string a : {std::string(NORVANE_BINARY), std::string("--headless"), std::string("--home"), home_.path()})
      argv.push_back(a);
    pid_ = Spawn(argv, home_ / "output.log", {"NORVANE_BROWSER=true"});
    if (pid_ <= 0 || !test::WaitForPort(port_.port(), 60000)) {
      std::fprintf(stderr, "memory_bench: norvane did not start (%s)\n", home_.Read("output.log").c_str());
      std::exit(1);
    }
  }
  ~Norvane() {
    // A profiler that wraps the program does not pass the signal on: its children first.
    TerminateChildren(pid_);
    kill(pid_, SIGTERM);
    int st = 0;
    waitpid(pid_, &st, 0);
  }

  Sizes sizes() const { return ReadSizes(pid_); }

  // The resident size once it has stopped moving: two readings half a second apart
  // within 64 KiB of each other, or the last one after ten seconds.
  long SettledRss() const {
    long before = sizes().rss;
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const long now = sizes().rss;
      if (std::labs(now - before) < 64) return now;
      before = now;
    }
    return before;
  }

  // A page; the run ends when it does not come back.
  void Get(const std::string& target, const std::string& mustHold) {
    test::FetchOptions o;
    o.timeoutMs = 600000;
    test::FetchResult r = test::Fetch("http://127.0.0.1:" + std::to_string(port_.port()) + target, o);
    if (r.status != 200 || r.body.find(mustHold) == std::string::npos) {
      std::fprintf(stderr, "memory_bench: %s answered %ld (%s)\n", target.c_str(), r.status, r.error.c_str());
      std::exit(1);
    }
  }
  void Refresh(const std::string& group, const std::string& lastTitle) {
    Get("/ch.html?u=" + group + "/&r=on", lastTitle);
  }
  // feedViews feed pages of the 100-feed group (round robin) and groupViews group pages.
  void Views(int feedViews, int groupViews) {
    for (int i = 0; i < feedViews; ++i) Get("/rss.html?u=" + feeds_.Url("/f" + std::to_string(i % 100)) + "/", "Item 19");
    for (int i = 0; i < groupViews; ++i) Get("/ch.html?u=g100.opml/", "Feed 99");
  }

 private:
  void WriteGroup(const std::string& name, const std::string& prefix, int n) {
    std::string body;
    for (int i = 0; i < n; ++i)
      body += "<outline text=\"f\" type=\"rss\" xmlUrl=\"" + feeds_.Url(prefix + std::to_string(i)) + "\"/>\n";
    home_.Write("opmls/" + name,
                "<opml version=\"1.0\"><head><title>" + name + "</title></head><body>" + body + "</body></opml>");
  }

  const Feeds& feeds_;
  test::TempDir home_;
  test::HeldPort port_;
  pid_t pid_ = -1;
};

// newsboat's peak on the same feeds (-x reload, nine threads), when it is on PATH.
std::optional<long> NewsboatPeak(const Feeds& feeds, const std::string& prefix, int n) {
  static const bool present = std::system("command -v newsboat >/dev/null 2>&1") == 0;
  if (!present) return std::nullopt;
  test::TempDir dir;
  std::string urls;
  for (int i = 0; i < n; ++i) urls += feeds.Url(prefix + std::to_string(i)) + "\n";
  dir.Write("urls", urls);
  dir.Write("config", "reload-threads 9\n");
  std::vector<std::string> argv = {"newsboat", "-u", dir / "urls", "-c", dir / "cache.db", "-C", dir / "config",
                                   "-x", "reload"};
  // The peak wait4 reports for a child holds the resident size of the process it was
  // forked from as well (the kernel keeps the larger over an exec): 81 MB for the 100
  // feeds, forked from this benchmark. GNU time, small itself, reports its child's own.
  // Without it the peak is read while newsboat runs, every 2 ms, and may miss its last
  // moments (about 1 MB less than GNU time's for the 100 feeds).
  const bool timed = access("/usr/bin/time", X_OK) == 0;
  if (timed) argv.insert(argv.begin(), {"/usr/bin/time", "-f", "%M", "-o", dir / "peak"});
  pid_t pid = Spawn(argv, dir / "output.log", {"HOME=" + dir.path()});
  if (pid <= 0) return std::nullopt;
  long peak = 0;
  int st = 0;
  for (;;) {
    if (!timed) peak = std::max(peak, ReadSizes(pid).peak);
    const pid_t done = waitpid(pid, &st, timed ? 0 : WNOHANG);
    if (done == pid) break;
    if (done < 0) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) return std::nullopt;
  if (timed) peak = std::atol(dir.Read("peak").c_str());
  return peak > 0 ? std::optional<long>(peak) : std::nullopt;
}

struct Row {
  std::string load, norvane, goal, newsboat, seconds;
};

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string Seconds(double s) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f", s);
  return b;
}

std::string Other(const std::optional<long>& kib) { return kib ? Mb(*kib) : "not installed"; }

}  // namespace
}  // namespace norvane

int main(int argc, char** argv) {
  using namespace norvane;
  bool big = false;
  int rounds = 10;
  std::vector<std::string> wrap;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--big") big = true;
    else if (a == "--rounds" && i + 1 < argc) rounds = std::max(2, std::atoi(argv[++i]));
    else if (a == "--wrap" && i + 1 < argc) wrap = Words(argv[++i]);
    else if (a == "--only" && i + 1 < argc) only = argv[++i];
    else {
      std::fprintf(stderr, "usage: memory_bench [--big] [--rounds N] [--only idle|views|group|steady|big] "
                           "[--wrap \"CMD ARGS\"]\n");
      return 2;
    }
  }
  signal(SIGPIPE, SIG_IGN);
  Feeds feeds;
  std::vector<Row> rows;
  const auto wanted = [&only](const char* name) { return only.empty() || only == name; };

  if (wanted("idle")) {
    auto t = Clock::now();
    Norvane n(feeds, wrap);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // settled
    rows.push_back({"idle after start (RSS)", Mb(n.sizes().rss), "<= 15 MB", "-", Seconds(Since(t))});
  }
  if (wanted("views")) {
    auto t = Clock::now();
    Norvane n(feeds, wrap);
    n.Refresh("g100.opml", "Feed 99");
    n.Views(1000, 100);
    rows.push_back({"100 feeds refreshed, then 1,000 feed and 100 group views", Mb(n.sizes().peak),
                    "<= newsboat (23 MB)", Other(NewsboatPeak(feeds, "/f", 100)), Seconds(Since(t))});
  }
  if (wanted("group")) {
    auto t = Clock::now();
    Norvane n(feeds, wrap);
    n.Refresh("g1000.opml", "Feed 999");
    rows.push_back({"1,000 feeds refreshed", Mb(n.sizes().peak), "<= newsboat (50 MB)",
                    Other(NewsboatPeak(feeds, "/f", 1000)), Seconds(Since(t))});
  }
  if (wanted("steady")) {
    // A round: the 100-feed group refreshed, 100 feed pages and 10 group pages shown.
    auto t = Clock::now();
    Norvane n(feeds, wrap);
    long first = 0, last = 0;
    for (int r = 1; r <= rounds; ++r) {
      n.Refresh("g100.opml", "Feed 99");
      n.Views(100, 10);
      // What a round leaves behind is read once the program is quiet: the search index
      // saves the refreshed items after the pages have gone out, and gives its memory
      // back when its queue is done. Both readings are printed.
      const long atOnce = n.sizes().rss;
      const long settled = n.SettledRss();
      if (r == 1) first = settled;
      last = settled;
      std::fprintf(stderr, "steady round %d: %s when quiet (%s at once)\n", r, Mb(settled).c_str(),
                   Mb(atOnce).c_str());
    }
    rows.push_back({"steady: RSS growth when quiet, round 1 to " + std::to_string(rounds) + " (" + Mb(first) +
                        " to " + Mb(last) + ")",
                    Mb(last - first), "< 1 MB", "-", Seconds(Since(t))});
  }
  if (big && wanted("big")) {
    auto t = Clock::now();
    Norvane n(feeds, wrap);
    n.Refresh("big.opml", "Feed 999");
    rows.push_back({"1,000 feeds of 150 items refreshed", Mb(n.sizes().peak), "<= 100 MB",
                    Other(NewsboatPeak(feeds, "/big", 1000)), Seconds(Since(t))});
  }

  std::printf("norvane: %s (headless)\n\n", NORVANE_BINARY);
  std::printf("| load | norvane peak RSS (or as named) | goal | newsboat peak RSS | seconds |\n|---|---|---|---|---|\n");
  for (const Row& r : rows)
    std::printf("| %s | %s | %s | %s | %s |\n", r.load.c_str(), r.norvane.c_str(), r.goal.c_str(),
                r.newsboat.c_str(), r.seconds.c_str());
  return 0;
}
