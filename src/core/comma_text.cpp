#include "core/comma_text.h"

namespace norvane {

namespace {
bool IsSpaceLike(unsigned char c) { return c >= 1 && c <= 32; }
}  // namespace

std::vector<std::string> ParseCommaText(std::string_view text) {
  std::vector<std::string> items;
  // A zero byte ends the text, as it ends a C string.
  if (auto z = text.find('\0'); z != std::string_view::npos) text = text.substr(0, z);
  size_t i = 0;
  const size_t n = text.size();
  auto skipSpace = [&] {
    while (i < n && IsSpaceLike(static_cast<unsigned char>(text[i]))) ++i;
  };
  skipSpace();
  while (i < n) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            item.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item.push_back(text[i++]);
      }
    } else {
      while (i < n && text[i] != ',' && !IsSpaceLike(static_cast<unsigned char>(text[i])))
        item.push_back(text[i++]);
    }
    items.push_back(std::move(item));
    skipSpace();
    if (i < n && text[i] == ',') {
      ++i;
      if (i == n) {
        items.emplace_back();
        break;
      }
      skipSpace();
    }
  }
  return items;
}

std::string WriteCommaText(const std::vector<std::string>& items) {
  std::string out;
  for (size_t k = 0; k < items.size(); ++k) {
    if (k) out.push_back(',');
    const std::string& item = items[k];
    bool quote = item.empty();
    for (unsigned char c : item)
      if (c == ',' || c == '"' || IsSpaceLike(c) || c == 0) quote = true;
    if (!quote) {
      out += item;
      continue;
    }
    out.push_back('"');
    for (char c : item) {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
    out.push_back('"');
  }
  return out;
}

}  // namespace norvane
