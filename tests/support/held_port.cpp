#include "support/held_port.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string>

namespace norvane::test {

namespace {

constexpr int kFirst = 20000;
constexpr int kCount = 10000;
const char* const kClaims = "/tmp/norvane-test-ports";

// The lowest ephemeral port; ports from it on may be any socket's.
int EphemeralStart() {
  std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
  int low = 32768;
  range >> low;
  return low;
}

// Free on every interface, as the program's server binds.
bool Bindable(int port) {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return false;
  int yes = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return bind(fd.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

}  // namespace

HeldPort::HeldPort() {
  mkdir(kClaims, 0777);
  const int end = std::min(kFirst + kCount, EphemeralStart());
  const int span = end - kFirst;
  if (span <= 0) throw std::runtime_error("no test ports below the ephemeral range");
  const int start = static_cast<int>(getpid()) % span;  // parallel tests begin apart
  for (int k = 0; k < span; ++k) {
    const int port = kFirst + (start + k) % span;
    std::string file = std::string(kClaims) + "/" + std::to_string(port);
    UniqueFd claim(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!claim.Valid() || flock(claim.Get(), LOCK_EX | LOCK_NB) != 0) continue;
    if (!Bindable(port)) continue;
    claim_ = std::move(claim);
    port_ = port;
    return;
  }
  throw std::runtime_error("no free test port");
}

}  // namespace norvane::test
