#pragma once

namespace norvane {

// Sent with every outgoing request and recognised by the router on incoming ones.
inline constexpr const char* kUserAgent = "Norvane/0.9 (http://norvane/)";

}  // namespace norvane
