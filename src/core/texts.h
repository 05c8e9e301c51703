#pragma once
#include <string>

namespace norvane {

// Every Japanese text the program itself says, in Shift_JIS, converted once from the
// UTF-8 literals of texts.cpp. Add new texts there, nowhere else.
struct Texts {
  std::string accessLogHeading;  // first line of the access log
  std::string loadError;         // style box when no style exists
};

const Texts& T();

}  // namespace norvane
