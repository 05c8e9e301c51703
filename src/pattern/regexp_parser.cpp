#include "pattern/regexp_parser.h"

#include "core/texts.h"
#include "pattern/regexp_error.h"
#include "pattern/regexp_lexer.h"

namespace norvane::pattern {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : lex_(text) {}

  ParsedRegExp Whole() {
    ParsedRegExp result{Alternatives(0)};
    const Token& rest = lex_.Peek();
    if (rest.kind != Tok::End) throw ERegExpParser(T().regexpExtraChars, rest.pos);
    return result;
  }

 private:
  std::vector<Sequence> Alternatives(int depth) {
    std::vector<Sequence> alts;
    alts.push_back(Seq(depth));
    while (lex_.Peek().kind == Tok::Alt) {
      lex_.Next();
      alts.push_back(Seq(depth));
    }
    return alts;
  }

  Sequence Seq(int depth) {
    Sequence seq;
    for (;;) {
      Tok k = lex_.Peek().kind;
      if (k == Tok::Alt || k == Tok::RParen || k == Tok::End) return seq;
      seq.push_back(Factor(depth));
    }
  }

  Node Factor(int depth) {
    Node node = Atom(depth);
    switch (lex_.Peek().kind) {
      case Tok::Star: node.quantifier = Quantifier::ZeroOrMore; break;
      case Tok::Plus: node.quantifier = Quantifier::OneOrMore; break;
      case Tok::Question: node.quantifier = Quantifier::ZeroOrOne; break;
      default: return node;
    }
    lex_.Next();
    return node;
  }

  Node Atom(int depth) {
    Token t = lex_.Next();
    Node node;
    switch (t.kind) {
      case Tok::Char:
        node.kind = NodeKind::Literal;
        node.code = t.code;
        return node;
      case Tok::Dot: node.kind = NodeKind::AnyChar; return node;
      case Tok::Caret: node.kind = NodeKind::LineStart; return node;
      case Tok::Dollar: node.kind = NodeKind::LineEnd; return node;
      case Tok::LParen: {
        if (depth + 1 > kMaxGroupNesting) throw ERegExpParser(T().regexpTooComplex, t.pos);
        node.kind = NodeKind::Group;
        node.alternatives = Alternatives(depth + 1);
        Token close = lex_.Next();
        if (close.kind != Tok::RParen)
          throw ERegExpParser(T().regexpNeedRightParen, close.pos);
        return node;
      }
      case Tok::SetOpen:
      case Tok::SetOpenNeg:
        return Set(t.kind == Tok::SetOpenNeg);
      default:
        // A quantifier or a closing bracket with no atom before it.
        throw ERegExpParser(T().regexpNeedAtom, t.pos);
    }
  }

  Node Set(bool negated) {
    Node node;
    node.kind = NodeKind::Set;
    node.negated = negated;
    for (;;) {
      Token first = lex_.Next();
      if (first.kind == Tok::End) throw ERegExpParser(T().regexpNeedRightBracket, first.pos);
      if (first.kind == Tok::SetClose) {
        if (node.ranges.empty()) throw ERegExpParser(T().regexpBadCharClass, first.pos);
        return node;
      }
      // A hyphen that cannot join a range is the character itself.
      const uint32_t low = first.code;
      if (lex_.Peek().kind != Tok::Hyphen) {
        node.ranges.push_back({low, low});
        continue;
      }
      Token hyphen = lex_.Next();
      const Token& after = lex_.Peek();
      if (after.kind == Tok::SetClose) {
        node.ranges.push_back({low, low});
        node.ranges.push_back({hyphen.code, hyphen.code});
        continue;
      }
      if (after.kind == Tok::End) throw ERegExpParser(T().regexpNeedRightBracket, after.pos);
      Token last = lex_.Next();
      if (last.code < low) throw ERegExpParser(T().regexpBadRange, first.pos);
      node.ranges.push_back({low, last.code});
    }
  }

  Lexer lex_;
};

}  // namespace

ParsedRegExp ParseRegExp(std::string_view pattern) { return Parser(pattern).Whole(); }

}  // namespace norvane::pattern
