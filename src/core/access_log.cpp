#include "core/access_log.h"

#include "core/gate_lock.h"
#include "core/texts.h"

namespace norvane {

AccessLog::AccessLog() { lines_.push_back(T().accessLogHeading); }

void AccessLog::AddAccess(const std::string& requestLine, const std::string& clientAddress) {
  GateGuard lock(GateLock());
  lines_.push_back(requestLine + " : " + clientAddress);
}

std::vector<std::string> AccessLog::Snapshot() const {
  GateGuard lock(GateLock());
  return lines_;
}

}  // namespace norvane
