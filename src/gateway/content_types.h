#pragma once
#include <string>
#include <string_view>

namespace norvane {

// The content type for a file name by its extension (letter case ignored); unknown
// extensions get "application/octet-stream".
std::string ContentTypeFor(std::string_view fileName);

}  // namespace norvane
