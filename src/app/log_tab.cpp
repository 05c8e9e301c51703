#include "app/log_tab.h"

#include "core/sjis.h"

namespace norvane {

std::string AccessLogText(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += '\n';
    std::string line = SjisToUtf8(lines[i]);
    for (char& c : line) {
      unsigned char b = static_cast<unsigned char>(c);
      if (b < 0x20 || b == 0x7F) c = '?';
    }
    text += line;
  }
  return text;
}

}  // namespace norvane
