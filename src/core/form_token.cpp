#include "core/form_token.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>

namespace norvane {

namespace {

std::string MakeToken() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no random bytes for the form token");
    }
    got += static_cast<size_t>(n);
  }
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token.push_back(kHex[b >> 4]);
    token.push_back(kHex[b & 0x0F]);
  }
  return token;
}

}  // namespace

const std::string& FormToken() {
  static const std::string token = MakeToken();
  return token;
}

bool IsFormToken(std::string_view given) {
  const std::string& token = FormToken();
  if (given.size() != token.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < token.size(); ++i)
    diff = static_cast<unsigned char>(diff | (static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(token[i])));
  return diff == 0;
}

}  // namespace norvane
