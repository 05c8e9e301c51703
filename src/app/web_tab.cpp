#include "app/web_tab.h"

#include "app/desktop_texts.h"
#include "core/settings.h"

namespace norvane {

namespace {
constexpr int kWebModePort = 80;
}  // namespace

WebTabView ShowWebTab() {
  const bool web = GetSettings().PORT == kWebModePort;
  WebTabView v;
  v.label11 = web ? DT().webModeOn : DT().webModeOff;
  v.label11Red = web;
  v.fieldsEnabled = web;
  v.label12 = DT().webNotes;
  v.label13 = DT().credentialsMissing;
  return v;
}

bool CheckCredentials(const std::string& user, const std::string& password) {
  const bool filled = !user.empty() && !password.empty();
  UpdateSettings([&](Settings& s) {
    const bool grant = filled && s.PORT == kWebModePort;
    s.WebUserName = grant ? user : std::string();
    s.WebPassWord = grant ? password : std::string();
  });
  return !filled;
}

}  // namespace norvane
