#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace norvane {

// Requests that reached the server from other machines, in arrival order, after the
// fixed heading line. Kept in memory only. Every outside request is listed, but the log
// is bounded: it keeps the newest kMaxLines request lines, each cut to kMaxLineBytes,
// so refused requests with huge targets cannot use up the memory. Appends and copies
// take GateLock, so a copy is always a whole snapshot.
class AccessLog {
 public:
  static constexpr size_t kMaxLines = 1000;
  static constexpr size_t kMaxLineBytes = 2048;

  AccessLog();
  // One line: the request line as the client sent it, " : ", the client's address. A
  // request line too long for the line is cut and marked with "..."; the address stays.
  void AddAccess(const std::string& requestLine, const std::string& clientAddress);
  // The heading, then the kept lines, oldest first.
  std::vector<std::string> Snapshot() const;

 private:
  std::string heading_;
  std::deque<std::string> lines_;
};

}  // namespace norvane
