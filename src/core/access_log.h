#pragma once
#include <mutex>
#include <string>
#include <vector>

namespace norvane {

// Requests that reached the server from other machines, in arrival order, after the
// fixed heading line. Kept in memory only; never trimmed. Appends and copies take
// GateLock, so a copy is always a whole snapshot.
class AccessLog {
 public:
  AccessLog();
  // One line: the request line as the client sent it, " : ", the client's address.
  void AddAccess(const std::string& requestLine, const std::string& clientAddress);
  std::vector<std::string> Snapshot() const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace norvane
