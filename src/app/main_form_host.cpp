#include "app/main_form_host.h"

#include "core/browser.h"
#include "app/data_module.h"

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

}  // namespace norvane
