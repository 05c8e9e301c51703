#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace norvane::pattern {

enum class Tok {
  Char,        // a literal or escaped character; code holds the character meant
  Alt,         // |
  LParen,      // (
  RParen,      // )
  Star,        // *
  Plus,        // +
  Question,    // ?
  Dot,         // .
  Caret,       // ^
  Dollar,      // $
  SetOpen,     // [
  SetOpenNeg,  // [^
  SetClose,    // ]  (inside a set it closes it; outside it is out of place)
  Hyphen,      // -  inside a set only
  End,
};

struct Token {
  Tok kind = Tok::End;
  uint32_t code = 0;
  bool inSet = false;    // read inside a bracket expression
  size_t pos = 0;        // index of its first character, in characters
  size_t begin = 0;      // its bytes as written: [begin, end)
  size_t end = 0;
};

// Cuts a pattern of the dialect into tokens, left to right, keeping track of whether
// it stands inside a bracket expression. Faults of the characters themselves (a lead
// byte or a backslash at the very end, bad hexadecimal or octal codes) are raised as
// ERegExpParser when the token holding them is read.
class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  const Token& Peek();
  Token Next();
  std::string_view Written(const Token& t) const {
    return text_.substr(t.begin, t.end - t.begin);
  }

 private:
  Token Scan();
  void ScanEscape(Token& t);
  void Step(size_t bytes, size_t chars) {
    at_ += bytes;
    pos_ += chars;
  }

  std::string_view text_;
  size_t at_ = 0;   // byte offset of the next unread character
  size_t pos_ = 0;  // its character index
  bool inSet_ = false;
  std::optional<Token> peeked_;
};

}  // namespace norvane::pattern
