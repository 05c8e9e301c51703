#pragma once
#include <string>

namespace norvane {

// What the WEB tab shows each time it is shown (texts in UTF-8).
struct WebTabView {
  std::string label11;       // Web mode state
  bool label11Red = false;   // red while in Web mode, the normal colour otherwise
  bool fieldsEnabled = false;  // edUSER and edPASS
  std::string label12;       // the explanation
  std::string label13;       // the warning shown while credentials are missing
};

// The tab for the current PORT (80 is Web mode).
WebTabView ShowWebTab();

// The credential rule, run when the tab is shown and on every change of either field
// (texts as typed, UTF-8: what a browser sends for Basic authentication). Both fields
// filled in Web mode: they become WebUserName and WebPassWord at once. Otherwise both
// stored values are cleared, so other hosts are refused with 403; outside Web mode the
// fields are disabled and grant nothing, whatever they still hold. Returns whether
// Label13 (a field is empty) is to be shown.
bool CheckCredentials(const std::string& user, const std::string& password);

}  // namespace norvane
