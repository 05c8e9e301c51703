#include "feeds/icon_bytes.h"

namespace norvane {

namespace {

bool StartsWith(std::string_view bytes, std::string_view magic) { return bytes.substr(0, magic.size()) == magic; }

}  // namespace

IconFormat SniffIcon(std::string_view bytes) {
  if (bytes.size() > kMaxIconBytes) return IconFormat::None;
  using namespace std::string_view_literals;
  if (StartsWith(bytes, "\x89PNG\r\n\x1a\n"sv) && bytes.size() > 8) return IconFormat::Png;
  if (StartsWith(bytes, "GIF87a"sv) || StartsWith(bytes, "GIF89a"sv)) return bytes.size() > 6 ? IconFormat::Gif : IconFormat::None;
  if (StartsWith(bytes, "\xff\xd8\xff"sv) && bytes.size() > 3) return IconFormat::Jpeg;
  if (bytes.size() > 12 && StartsWith(bytes, "RIFF"sv) && bytes.substr(8, 4) == "WEBP"sv) return IconFormat::WebP;
  // ICONDIR: reserved 0, type 1 (an icon, not a cursor), at least one image, and room
  // for the first 16-byte directory entry.
  if (bytes.size() >= 22 && StartsWith(bytes, "\0\0\1\0"sv) && (bytes[4] != 0 || bytes[5] != 0))
    return IconFormat::Ico;
  return IconFormat::None;
}

std::string_view IconContentType(IconFormat format) {
  switch (format) {
    case IconFormat::Png: return "image/png";
    case IconFormat::Ico: return "image/x-icon";
    case IconFormat::Gif: return "image/gif";
    case IconFormat::Jpeg: return "image/jpeg";
    case IconFormat::WebP: return "image/webp";
    case IconFormat::None: break;
  }
  return {};
}

}  // namespace norvane
