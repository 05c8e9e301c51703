#pragma once
#include <string>

namespace norvane {

// Asks the desktop to open url in the user's browser: `xdg-open URL`, or the command
// named by the environment variable NORVANE_BROWSER, started without a shell. The result
// is not checked. Requests are handed to the commands one after another, in call order,
// so the home page and the add page arrive in the order they were asked for.
void OpenInBrowser(const std::string& url);

// Waits (a bounded time) until every requested command has been started and has ended.
// Called before the process ends, so a forwarded URL is not lost with it.
void FlushBrowserRequests();

}  // namespace norvane
