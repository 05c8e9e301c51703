// The code detector and the conversion to Shift_JIS: any bytes, a known code, and line
// breaks that are all CR LF unless the text was passed through untouched.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text_code.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const int code = norvane::DetectTextCode(text);
  if (code < norvane::kCodeAscii || code > norvane::kCodeUtf8) std::abort();
  const std::string sjis = norvane::ConvertToSJIS(text);
  if (code == norvane::kCodeBinary || code == norvane::kCodeUtf16LE ||
      code == norvane::kCodeUtf16BE) {
    if (sjis != text) std::abort();
    return 0;
  }
  for (size_t i = 0; i < sjis.size(); ++i) {
    if (sjis[i] == '\r' && (i + 1 == sjis.size() || sjis[i + 1] != '\n')) std::abort();
    if (sjis[i] == '\n' && (i == 0 || sjis[i - 1] != '\r')) std::abort();
  }
  return 0;
}
