// An OPML file of 10,000 feed outlines (100 folders of 100) brought in: the import alone
// (ImportOpml), and the whole upload as a user waits for it (a multipart POST to
// "import.html" of the data module, read by the engine, imported and its report page
// rendered by the shipped Default style). Each run starts from a program folder without
// those groups; the goal is well under 5 s.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/data_module.h"
#include "core/form_token.h"
#include "core/settings.h"
#include "groups/opml_import.h"
#include "support/fake_shell.h"
#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/program_home.h"

namespace norvane {
namespace {

constexpr int kFolders = 100;
constexpr int kPerFolder = 100;

std::string BigOpml() {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><opml version=\"2.0\"><head><title>Big</title></head><body>";
  for (int f = 0; f < kFolders; ++f) {
    s += "<outline text=\"Folder " + std::to_string(f) + "\" title=\"Folder " + std::to_string(f) + "\">";
    for (int i = 0; i < kPerFolder; ++i) {
      const std::string n = std::to_string(f) + "-" + std::to_string(i);
      s += "<outline text=\"Feed " + n + "\" title=\"Feed " + n + "\" type=\"rss\" xmlUrl=\"https://site" + n +
           ".example/feed.xml\" htmlUrl=\"https://site" + n + ".example/\" description=\"A feed of some length, " + n +
           "\"/>";
    }
    s += "</outline>";
  }
  return s + "</body></opml>";
}

// A program folder with the shipped styles and no groups but one.
class ImportHome {
 public:
  ImportHome() {
    for (const char* f : {"/search.xml", "/dic.csv"}) test::CopyTree(std::string(NORVANE_DATA_DIR) + f, home_.path());
    test::CopyTree(std::string(NORVANE_DATA_DIR) + "/xsls", home_ / "xsls");
    home_.Write("channels/.keep", "");
    Reset();
  }
  // Back to the one group: every run imports into the same starting point.
  void Reset() {
    std::filesystem::remove_all(home_ / "opmls");
    home_.Write("opmls/first.opml", "<opml version=\"1.0\"><head><title>First</title></head><body/></opml>");
    std::filesystem::remove(home_ / "opmls/gp.xml");
  }
  test::ProgramHome home_;
};

void BM_ImportTenThousandOutlines(benchmark::State& state) {
  ImportHome home;
  const std::string file = BigOpml();
  size_t added = 0;
  for (auto _ : state) {
    state.PauseTiming();
    home.Reset();
    TGP gp;
    state.ResumeTiming();
    added = ImportOpml(gp, file).added.size();
  }
  if (added != kFolders * kPerFolder) state.SkipWithError("not every feed was added");
  state.counters["bytes"] = static_cast<double>(file.size());
}

void BM_UploadTenThousandOutlinesWithItsReportPage(benchmark::State& state) {
  ImportHome home;
  test::HeldPort heldPort;
  const int port = heldPort.port();
  UpdateSettings([&](Settings& s) {
    s.PORT = port;
    s.LocalAddress = "";
  });
  const std::string boundary = "----bench";
  const std::string body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"token\"\r\n\r\n" +
                           FormToken() + "\r\n--" + boundary +
                           "\r\nContent-Disposition: form-data; name=\"opml\"; filename=\"big.opml\"\r\n"
                           "Content-Type: text/x-opml\r\n\r\n" + BigOpml() + "\r\n--" + boundary + "--\r\n";
  test::FakeShell shell;
  size_t pageBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    home.Reset();
    auto module = std::make_unique<TDataM>(shell);
    module->RestartServer();
    state.ResumeTiming();
    test::FetchOptions post;
    post.method = "POST";
    post.body = body;
    post.headers = {"Content-Type: multipart/form-data; boundary=" + boundary};
    post.timeoutMs = 60000;
    auto r = test::Fetch("http://127.0.0.1:" + std::to_string(port) + "/import.html", post);
    state.PauseTiming();
    if (r.status != 200 || r.body.find("10000") == std::string::npos) state.SkipWithError("the report did not come");
    pageBytes = r.body.size();
    module.reset();
    state.ResumeTiming();
  }
  state.counters["upload_bytes"] = static_cast<double>(body.size());
  state.counters["page_bytes"] = static_cast<double>(pageBytes);
}

BENCHMARK(BM_ImportTenThousandOutlines)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_UploadTenThousandOutlinesWithItsReportPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace norvane

BENCHMARK_MAIN();
