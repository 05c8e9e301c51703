#pragma once
#include <memory>

#include "gateway/server.h"

namespace norvane {

// The data module: the one owner of the objects every request shares. Created once at
// start after the settings, destroyed at the end before GateLock.
class TDataM {
 public:
  TDataM();
  ~TDataM();
  TDataM(const TDataM&) = delete;
  TDataM& operator=(const TDataM&) = delete;

  // Makes the server listen on the current PORT; throws when it cannot.
  void RestartServer();
  // Stops the server: no request runs after this returns.
  void StopServer();

  AccessLog& accessLog() { return server_->accessLog(); }
  TServer& server() { return *server_; }

 private:
  std::unique_ptr<TServer> server_;  // created last
};

// The process's data module; valid between its creation and destruction in main.
TDataM& DataModule();
void SetDataModule(TDataM* module);

}  // namespace norvane
