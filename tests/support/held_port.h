#pragma once

#include "core/unique_fd.h"

namespace norvane::test {

// A TCP port that no other test on this machine is given while the object lives, so a
// server started later can take it even under ctest -j. Ports come from below the
// kernel's ephemeral range (which bind to port 0 and outgoing connections draw from), and
// each is claimed by a lock file shared by every test process and checked free before it
// is handed out.
class HeldPort {
 public:
  HeldPort();  // throws when no port can be claimed
  HeldPort(const HeldPort&) = delete;
  HeldPort& operator=(const HeldPort&) = delete;

  int port() const { return port_; }

 private:
  UniqueFd claim_;
  int port_ = 0;
};

}  // namespace norvane::test
