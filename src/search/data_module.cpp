#include "search/data_module.h"

namespace norvane {

namespace {
TDataM* g_module = nullptr;
}  // namespace

TDataM& DataModule() { return *g_module; }
void SetDataModule(TDataM* module) { g_module = module; }

TDataM::TDataM() { server_ = std::make_unique<TServer>(); }

TDataM::~TDataM() {
  // The server stops first, so no request uses a member after it is freed.
  StopServer();
  server_.reset();
}

void TDataM::RestartServer() { server_->Restart(); }

void TDataM::StopServer() {
  if (server_) server_->Stop();
}

}  // namespace norvane
