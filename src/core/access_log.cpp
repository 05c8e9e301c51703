#include "core/access_log.h"

#include "core/gate_lock.h"
#include "core/texts.h"

namespace norvane {

namespace {
constexpr const char* kSeparator = " : ";
constexpr const char* kCutMark = "...";
}  // namespace

AccessLog::AccessLog() : heading_(T().accessLogHeading) {}

void AccessLog::AddAccess(const std::string& requestLine, const std::string& clientAddress) {
  std::string tail = kSeparator + clientAddress.substr(0, 64);
  std::string line;
  if (requestLine.size() + tail.size() <= kMaxLineBytes) {
    line = requestLine + tail;
  } else {
    const size_t keep = kMaxLineBytes - tail.size() - std::char_traits<char>::length(kCutMark);
    line = requestLine.substr(0, keep) + kCutMark + tail;
  }
  GateGuard lock(GateLock());
  if (lines_.size() == kMaxLines) lines_.pop_front();
  lines_.push_back(std::move(line));
}

std::vector<std::string> AccessLog::Snapshot() const {
  GateGuard lock(GateLock());
  std::vector<std::string> copy;
  copy.reserve(lines_.size() + 1);
  copy.push_back(heading_);
  copy.insert(copy.end(), lines_.begin(), lines_.end());
  return copy;
}

}  // namespace norvane
