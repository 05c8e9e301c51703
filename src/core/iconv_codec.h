#pragma once
#include <iconv.h>

#include <string>
#include <string_view>

namespace norvane {

// Owns one iconv_t. Not shareable between threads: iconv keeps shift state.
class IconvCodec {
 public:
  IconvCodec(const char* to, const char* from);
  ~IconvCodec();
  IconvCodec(const IconvCodec&) = delete;
  IconvCodec& operator=(const IconvCodec&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts the whole input. At an input sequence that cannot be converted,
  // onInvalid decides: it is given the remaining input and appends what it wants to
  // the output, returning how many input bytes it consumed (at least 1).
  template <typename OnInvalid>
  std::string Convert(std::string_view in, OnInvalid onInvalid);

 private:
  // One iconv call over [in, in+len); returns bytes consumed and whether it stopped on
  // an invalid or incomplete sequence.
  size_t Step(const char* in, size_t len, std::string& out, bool& stopped);
  iconv_t cd_;
};

template <typename OnInvalid>
std::string IconvCodec::Convert(std::string_view in, OnInvalid onInvalid) {
  std::string out;
  out.reserve(in.size() + in.size() / 2 + 8);
  size_t pos = 0;
  while (pos < in.size()) {
    bool stopped = false;
    pos += Step(in.data() + pos, in.size() - pos, out, stopped);
    if (stopped && pos < in.size()) {
      size_t used = onInvalid(in.substr(pos), out);
      pos += used ? used : 1;
    }
  }
  bool unused = false;
  Step(nullptr, 0, out, unused);  // flush shift state
  return out;
}

}  // namespace norvane
