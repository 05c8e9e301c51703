#include "app/main_form_host.h"

#include "core/browser.h"
#include "app/data_module.h"
#include "app/start.h"

namespace norvane {

DataModuleHost::DataModuleHost(TDataM& module, std::function<void()> quit,
                               std::function<bool()> ending)
    : module_(module), quit_(std::move(quit)), ending_(std::move(ending)) {}

bool DataModuleHost::IsIdle() const { return module_.IsIdle(); }
void DataModuleHost::RestartServer() { module_.RestartServer(); }
std::vector<std::string> DataModuleHost::AccessLogLines() const {
  return module_.accessLog().Snapshot();
}
void DataModuleHost::OpenUrl(const std::string& url) { OpenInBrowser(url); }
void DataModuleHost::EndProgram() { quit_(); }
bool DataModuleHost::Ending() const { return ending_ && ending_(); }

void DataModuleHost::SetOrganizer(TForm5& popup, OrganizerWindow window) {
  popup_ = &popup;
  organizer_ = std::move(window);
}

void DataModuleHost::OpenOrganizer() {
  if (!organizer_ || organizerOpen_ || !IsIdle()) return;
  organizerOpen_ = true;
  module_.StopPatrol();
  // The patrol follows the groups as the organizer left them, whatever became of it.
  auto again = [this] {
    organizerOpen_ = false;
    module_.StartPatrol(*popup_, PatrolTick());
  };
  try {
    organizer_(module_);
  } catch (...) {
    again();
    throw;
  }
  again();
}

}  // namespace norvane
