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

}  // namespace norvane::test
