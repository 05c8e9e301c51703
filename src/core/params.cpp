#include "core/params.h"

#include "core/url_helpers.h"

namespace norvane {

void AppendQueryParams(std::string_view query, ParamList& params) {
  size_t start = 0;
  while (start <= query.size()) {
    size_t amp = query.find('&', start);
    if (amp == std::string_view::npos) amp = query.size();
    std::string piece(query.substr(start, amp - start));
    if (!piece.empty()) {
      for (char& c : piece)
        if (c == '+') c = ' ';
      params.push_back(PercentDecodeKeep(piece));
    }
    start = amp + 1;
  }
}

int ParamIndex(const ParamList& params, std::string_view name) {
  for (size_t i = 0; i < params.size(); ++i) {
    const std::string& line = params[i];
    if (line.size() > name.size() && line[name.size()] == '=' &&
        std::string_view(line).substr(0, name.size()) == name)
      return static_cast<int>(i);
  }
  return -1;
}

std::string ParamValue(const ParamList& params, std::string_view name) {
  int i = ParamIndex(params, name);
  return i < 0 ? std::string() : params[static_cast<size_t>(i)].substr(name.size() + 1);
}

void SetParamValue(ParamList& params, std::string_view name, const std::string& value) {
  int i = ParamIndex(params, name);
  if (value.empty()) {
    if (i >= 0) params.erase(params.begin() + i);
    return;
  }
  std::string line = std::string(name) + "=" + value;
  if (i >= 0) params[static_cast<size_t>(i)] = std::move(line);
  else params.push_back(std::move(line));
}

}  // namespace norvane
