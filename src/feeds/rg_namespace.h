#pragma once

namespace norvane {

// The program's own namespace for the rg marks of channel logs and built feeds.
inline constexpr const char* kRgNamespace = "http://norvane/rg";

}  // namespace norvane
