#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace norvane {

bool WriteFileAtomic(const std::string& path, std::string_view data) {
  // The temporary file is named apart from the target, so a name that just fits the
  // file system (a long channel log name) is still written.
  const size_t slash = path.rfind('/');
  std::string tmp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".norvane-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < data.size()) {
    ssize_t w = write(fd, data.data() + done, data.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) ok = false; else done += static_cast<size_t>(w);
  }
  if (ok && fchmod(fd, 0644) != 0) ok = false;
  if (ok && fsync(fd) != 0) ok = false;
  int saved = errno;
  if (close(fd) != 0 && ok) { ok = false; saved = errno; }
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) { ok = false; saved = errno; }
  if (!ok) {
    unlink(tmp.c_str());
    errno = saved;
  }
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string& data, size_t limit) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  data.clear();
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t r = read(fd, buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) { ok = false; break; }
    if (r == 0) break;
    if (data.size() + static_cast<size_t>(r) > limit) {
      data.clear();
      errno = EFBIG;
      ok = false;
      break;
    }
    data.append(buf, static_cast<size_t>(r));
  }
  int saved = errno;
  close(fd);
  errno = saved;
  return ok;
}

}  // namespace norvane
