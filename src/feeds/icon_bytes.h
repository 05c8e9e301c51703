#pragma once
#include <cstddef>
#include <string_view>

namespace norvane {

// The image formats a site's icon is kept in, told by the bytes alone: whatever the
// server calls them, SVG (which can hold scripts) and HTML are never among them.
enum class IconFormat { None, Png, Ico, Gif, Jpeg, WebP };

// The largest icon kept; a larger answer is refused while it is read.
inline constexpr size_t kMaxIconBytes = 100 * 1024;

// The format of bytes, by their first bytes; None for anything else, for an empty or a
// truncated header, and for more than kMaxIconBytes.
IconFormat SniffIcon(std::string_view bytes);

// The media type an icon of format is served as; empty for None.
std::string_view IconContentType(IconFormat format);

}  // namespace norvane
