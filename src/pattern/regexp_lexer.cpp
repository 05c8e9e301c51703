#include "pattern/regexp_lexer.h"

#include "core/sjis.h"
#include "core/texts.h"
#include "pattern/regexp_error.h"
#include "pattern/sjis_scan.h"

namespace norvane::pattern {

namespace {
int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
bool IsOctal(unsigned char c) { return c >= '0' && c <= '7'; }
}  // namespace

const Token& Lexer::Peek() {
  if (!peeked_) peeked_ = Scan();
  return *peeked_;
}

Token Lexer::Next() {
  if (peeked_) {
    Token t = *peeked_;
    peeked_.reset();
    return t;
  }
  return Scan();
}

Token Lexer::Scan() {
  Token t;
  t.pos = pos_;
  t.begin = at_;
  t.inSet = inSet_;
  if (at_ >= text_.size()) {
    t.kind = Tok::End;
    t.end = at_;
    return t;
  }
  const auto c = static_cast<unsigned char>(text_[at_]);
  if (IsSjisLead(c)) {
    if (at_ + 1 >= text_.size()) throw ERegExpParser(T().regexpBadDoubleByte, pos_);
    t.kind = Tok::Char;
    t.code = SjisCharCode(text_, at_, 2);
    Step(2, 1);
  } else if (c == '\\') {
    ScanEscape(t);
  } else if (inSet_) {
    t.kind = c == ']' ? Tok::SetClose : c == '-' ? Tok::Hyphen : Tok::Char;
    t.code = c;
    if (c == ']') inSet_ = false;
    Step(1, 1);
  } else {
    t.code = c;
    switch (c) {
      case '|': t.kind = Tok::Alt; break;
      case '(': t.kind = Tok::LParen; break;
      case ')': t.kind = Tok::RParen; break;
      case '*': t.kind = Tok::Star; break;
      case '+': t.kind = Tok::Plus; break;
      case '?': t.kind = Tok::Question; break;
      case '.': t.kind = Tok::Dot; break;
      case '^': t.kind = Tok::Caret; break;
      case '$': t.kind = Tok::Dollar; break;
      case ']': t.kind = Tok::SetClose; break;
      case '[':
        inSet_ = true;
        if (at_ + 1 < text_.size() && text_[at_ + 1] == '^') {
          t.kind = Tok::SetOpenNeg;
          Step(2, 2);
          t.end = at_;
          return t;
        }
        t.kind = Tok::SetOpen;
        break;
      default: t.kind = Tok::Char; break;
    }
    Step(1, 1);
  }
  t.end = at_;
  return t;
}

void Lexer::ScanEscape(Token& t) {
  t.kind = Tok::Char;
  const size_t n = text_.size();
  if (at_ + 1 >= n) throw ERegExpParser(T().regexpNeedCharAfterEscape, pos_);
  const auto d = static_cast<unsigned char>(text_[at_ + 1]);
  if (IsSjisLead(d)) {
    // An escaped double-byte character is just that character.
    if (at_ + 2 >= n) throw ERegExpParser(T().regexpBadDoubleByte, pos_ + 1);
    t.code = SjisCharCode(text_, at_ + 1, 2);
    Step(3, 2);
    return;
  }
  switch (d) {
    case 'b': t.code = 8; Step(2, 2); return;
    case 'n': t.code = 10; Step(2, 2); return;
    case 'r': t.code = 13; Step(2, 2); return;
    case 't': t.code = 9; Step(2, 2); return;
    case 'x': {
      size_t i = at_ + 2;
      uint32_t value = 0;
      int digits = 0;
      while (digits < 4 && i < n && HexValue(static_cast<unsigned char>(text_[i])) >= 0) {
        value = value * 16 + HexValue(static_cast<unsigned char>(text_[i]));
        ++i;
        ++digits;
      }
      if (digits == 0) throw ERegExpParser(T().regexpBadHex, pos_);
      t.code = value;
      Step(i - at_, i - at_);
      return;
    }
    default: break;
  }
  if (IsOctal(d)) {
    size_t i = at_ + 1;
    uint32_t value = 0;
    int digits = 0;
    while (digits < 6 && i < n && IsOctal(static_cast<unsigned char>(text_[i]))) {
      value = value * 8 + (text_[i] - '0');
      ++i;
      ++digits;
    }
    if (value > 0xFFFF) throw ERegExpParser(T().regexpBadOctal, pos_);
    t.code = value;
    Step(i - at_, i - at_);
    return;
  }
  t.code = d;
  Step(2, 2);
}

}  // namespace norvane::pattern
