#include "support/browser.h"

#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <sstream>

#include "support/spawn.h"
#include "support/temp_dir.h"

namespace norvane::test {

namespace {

int Run(std::vector<std::string> args, const std::string& out, const std::string& err) {
  const pid_t pid = SpawnProcess(std::move(args), {}, {out, err});
  if (pid < 0) return -1;
  int st = 0;
  waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::vector<std::string> BaseArgs(const TempDir& profile, int width, int height) {
  return {ChromiumPath(), "--headless", "--no-sandbox", "--disable-gpu",
          "--disable-background-networking", "--disable-component-update", "--no-first-run",
          "--disable-sync", "--user-data-dir=" + profile.path(),
          "--window-size=" + std::to_string(width) + "," + std::to_string(height)};
}

std::string NodePath() {
  for (const char* p : {"/usr/bin/node", "/usr/local/bin/node", "/usr/bin/nodejs"})
    if (access(p, X_OK) == 0) return p;
  return {};
}

const char* const kSupportDir = NORVANE_SUPPORT_DIR;

}  // namespace

std::string ChromiumPath() {
  for (const char* p : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
    if (access(p, X_OK) == 0) return p;
  return {};
}

BrowserRun DumpDom(const std::string& url, int width, int height) {
  TempDir profile;
  auto args = BaseArgs(profile, width, height);
  args.insert(args.end(), {"--enable-logging=stderr", "--v=0", "--dump-dom", url});
  BrowserRun r;
  r.status = Run(args, profile / "dom.html", profile / "log.txt");
  r.dom = profile.Read("dom.html");
  std::istringstream log(profile.Read("log.txt"));
  for (std::string line; std::getline(log, line);)
    if (line.find(":CONSOLE") != std::string::npos) r.console += line + "\n";
  return r;
}

std::string PageAuditMissing() {
  if (ChromiumPath().empty()) return "chromium is not installed";
  if (NodePath().empty()) return "Node.js is not installed (bash scripts/setup-deps --with-browser)";
  if (access((std::string(kSupportDir) + "/node_modules/axe-core/axe.min.js").c_str(), R_OK) != 0)
    return "axe-core is not installed in tests/support (bash scripts/setup-deps --with-browser)";
  return {};
}

PageAudit AuditPages(const std::string& baseUrl, const std::string& label,
                     const std::vector<AuditedPage>& pages, const std::string& shotsDir) {
  TempDir work;
  std::vector<std::string> args{NodePath(), std::string(kSupportDir) + "/page_audit.mjs", "--chromium", ChromiumPath(),
                                "--base", baseUrl, "--label", label, "--shots", shotsDir};
  for (const AuditedPage& p : pages)
    if (!p.upload.empty()) args.insert(args.end(), {"--upload", p.name + "=" + p.upload});
  for (const AuditedPage& p : pages) args.push_back(p.name + "=" + p.target);
  PageAudit audit;
  audit.status = Run(args, work / "report.txt", work / "errors.txt");
  audit.report = work.Read("report.txt") + work.Read("errors.txt");
  std::smatch m;
  static const std::regex kSummary(R"(: (\d+) views, )");
  if (std::regex_search(audit.report, m, kSummary)) audit.views = std::stoi(m[1]);
  return audit;
}

bool Screenshot(const std::string& url, const std::string& pngPath, int width, int height, bool dark) {
  TempDir profile;
  auto args = BaseArgs(profile, width, height);
  args.push_back("--hide-scrollbars");
  if (dark) args.push_back("--force-dark-mode");
  args.insert(args.end(), {"--screenshot=" + pngPath, url});
  return Run(args, profile / "out.txt", profile / "err.txt") == 0 && access(pngPath.c_str(), R_OK) == 0;
}

}  // namespace norvane::test
