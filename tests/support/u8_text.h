#pragma once
#include <string>

#include "core/sjis.h"

namespace norvane {

// u8"" literals (char8_t arrays since C++20) as UTF-8 bytes, and as the program's
// Shift_JIS texts.
inline std::string U8(const char8_t* utf8) { return reinterpret_cast<const char*>(utf8); }
inline std::string S(const char8_t* utf8) { return Utf8ToSjis(U8(utf8)); }

}  // namespace norvane
