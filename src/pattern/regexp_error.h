#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>

namespace norvane {

// A pattern that the matcher cannot take. what() is the Shift_JIS message shown to the
// user; Position() is the 0-based index, counted in Shift_JIS characters, at which the
// fault was found (the pattern's length when the fault is its premature end).
class ERegExpParser : public std::runtime_error {
 public:
  ERegExpParser(const std::string& message, size_t position)
      : std::runtime_error(message), position_(position) {}
  size_t Position() const { return position_; }

 private:
  size_t position_;
};

}  // namespace norvane
