#include "pattern/pcre_source.h"

#include <cstdio>

namespace norvane::pattern {

namespace {

class Writer {
 public:
  explicit Writer(TLineSeparator separator) : separator_(separator) {}

  void Alternatives(const std::vector<Sequence>& alts, bool leading, bool trailing) {
    for (size_t i = 0; i < alts.size(); ++i) {
      if (i) out_ += '|';
      Seq(alts[i], leading, trailing);
    }
  }

  std::string Take() { return std::move(out_); }

 private:
  static bool Optional(const Node& n) {
    return n.quantifier == Quantifier::ZeroOrMore || n.quantifier == Quantifier::ZeroOrOne;
  }

  void Seq(const Sequence& seq, bool leading, bool trailing) {
    size_t begin = 0, end = seq.size();
    if (leading)
      while (begin < end && Optional(seq[begin])) ++begin;
    if (trailing)
      while (end > begin && Optional(seq[end - 1])) --end;
    for (size_t i = begin; i < end; ++i)
      Factor(seq[i], leading && i == begin, trailing && i + 1 == end);
  }

  void Factor(const Node& n, bool leading, bool trailing) {
    if (n.kind == NodeKind::Group && n.quantifier == Quantifier::One) {
      // An unquantified group passes its place at the edge on to its alternatives.
      out_ += "(?:";
      Alternatives(n.alternatives, leading, trailing);
      out_ += ')';
      return;
    }
    Atom(n);
    switch (n.quantifier) {
      case Quantifier::One: break;
      case Quantifier::ZeroOrMore: out_ += '*'; break;
      case Quantifier::OneOrMore: out_ += '+'; break;
      case Quantifier::ZeroOrOne: out_ += '?'; break;
    }
  }

  void Atom(const Node& n) {
    switch (n.kind) {
      case NodeKind::Literal: Code(n.code); break;
      case NodeKind::AnyChar:
        // Any character but NUL, LF, CR and codes no Shift_JIS text holds.
        out_ += "[^\\x{0}\\x{a}\\x{d}\\x{fcfd}-\\x{ffff}]";
        break;
      case NodeKind::LineStart: out_ += "(?:\\A|(?<=\\x{a}))"; break;
      case NodeKind::LineEnd:
        out_ += separator_ == TLineSeparator::mcls_CRLF ? "(?:\\z|(?=\\x{d}))"
                                                        : "(?:\\z|(?=\\x{a}))";
        break;
      case NodeKind::Set:
        out_ += n.negated ? "[^" : "[";
        for (const SetRange& r : n.ranges) {
          Code(r.low);
          if (r.high != r.low) {
            out_ += '-';
            Code(r.high);
          }
        }
        out_ += ']';
        break;
      case NodeKind::Group:
        out_ += "(?:";
        Alternatives(n.alternatives, false, false);
        out_ += ')';
        break;
    }
  }

  void Code(uint32_t c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      out_ += static_cast<char>(c);
      return;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\x{%x}", static_cast<unsigned>(c));
    out_ += buf;
  }

  TLineSeparator separator_;
  std::string out_;
};

}  // namespace

std::string PcreSource(const ParsedRegExp& re, TLineSeparator separator) {
  Writer w(separator);
  w.Alternatives(re.alternatives, true, true);
  return w.Take();
}

}  // namespace norvane::pattern
