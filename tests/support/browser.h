#pragma once
#include <string>
#include <vector>

namespace norvane::test {

// Headless Chromium, as a user's browser: a fresh profile each run, no background
// traffic. Empty path when the browser is not installed.
std::string ChromiumPath();

struct BrowserRun {
  int status = -1;
  std::string dom;      // the page's DOM after load (with --dump-dom)
  std::string console;  // the console lines the page produced
};

// Loads url and returns its DOM and console lines.
BrowserRun DumpDom(const std::string& url, int width = 1280, int height = 900);
// Saves a screenshot of url as a PNG file.
bool Screenshot(const std::string& url, const std::string& pngPath, int width, int height,
                bool dark = false);

// The page audit (page_audit.mjs beside this file): every page at a desktop and a phone
// width, light and dark, through axe-core's WCAG 2.1 A and AA rules inside the page, a
// check that no page is wider than its window, and keyboard checks (focus never under the
// sticky bar, focus rings of 3:1, j/k from what is on screen). Needs Node.js and the
// axe-core package that scripts/setup-deps installs.
struct PageAudit {
  int status = -1;     // 0 no faults, 1 faults found, 2 the audit could not run
  std::string report;  // a line per view, then the faults, then a summary
  int views = 0;       // views checked, as the summary counts them
};
struct AuditedPage {
  std::string name;    // for the report and the screenshots' names
  std::string target;  // path and query
  // A file to send with the page's upload form: the page audited is the one it leads to.
  std::string upload = {};
};
// Empty when the audit can run; otherwise what is missing.
std::string PageAuditMissing();
// Audits the pages of the gateway at baseUrl ("http://127.0.0.1:PORT"); each view leaves
// "<label>-<page>-<desktop|phone>-<light|dark>.png" in shotsDir.
PageAudit AuditPages(const std::string& baseUrl, const std::string& label,
                     const std::vector<AuditedPage>& pages, const std::string& shotsDir);

}  // namespace norvane::test
