#pragma once
// A disk that takes small files only, for as long as the object lives: RLIMIT_FSIZE set
// low, with SIGXFSZ ignored so a write past it fails (EFBIG) instead of ending the tests.
#include <sys/resource.h>

#include <csignal>
#include <stdexcept>

namespace norvane::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &old_) != 0) throw std::runtime_error("getrlimit");
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_;
    small.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
      std::signal(SIGXFSZ, previous_);
      throw std::runtime_error("setrlimit");
    }
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*previous_)(int) = SIG_DFL;
};

}  // namespace norvane::test
