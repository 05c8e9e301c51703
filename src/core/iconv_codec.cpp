#include "core/iconv_codec.h"

#include <cerrno>

namespace norvane {

IconvCodec::IconvCodec(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

IconvCodec::~IconvCodec() {
  if (ok()) iconv_close(cd_);
}

size_t IconvCodec::Step(const char* in, size_t len, std::string& out, bool& stopped) {
  if (!ok()) {
    stopped = true;
    return 0;
  }
  char* inp = const_cast<char*>(in);
  size_t inLeft = len;
  for (;;) {
    char buf[4096];
    char* outp = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd_, in ? &inp : nullptr, in ? &inLeft : nullptr, &outp, &outLeft);
    out.append(buf, static_cast<size_t>(outp - buf));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    stopped = true;  // EILSEQ or EINVAL
    break;
  }
  return len - inLeft;
}

}  // namespace norvane
