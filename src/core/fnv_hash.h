#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace norvane {

// FNV-1a, 64 bits, over the bytes as they are: the same value on every platform and in
// every run, for names that must be derived again and again.
uint64_t Fnv1a64(std::string_view bytes);
// The same as 16 lowercase hexadecimal digits.
std::string Fnv1a64Hex(std::string_view bytes);

}  // namespace norvane
