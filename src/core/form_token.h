#pragma once
#include <string>
#include <string_view>

namespace norvane {

// The token the gateway's own pages put into every form that edits files. Random, made
// once per run (the server asks for it when it is created); no other site can know it.
// Throws when the system gives no random bytes.
const std::string& FormToken();

// True when given is the token; the comparison takes the same time wherever they differ.
bool IsFormToken(std::string_view given);

}  // namespace norvane
