#include "core/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace norvane {

InstanceLock::InstanceLock(const std::string& diskPath) {
  fd_ = UniqueFd(open(diskPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!fd_.Valid()) {
    error_ = diskPath + ": " + std::strerror(errno);
    return;
  }
  int r;
  do r = flock(fd_.Get(), LOCK_EX | LOCK_NB); while (r != 0 && errno == EINTR);
  held_ = r == 0;
  if (!held_ && errno != EWOULDBLOCK) error_ = diskPath + ": " + std::strerror(errno);
}

}  // namespace norvane
