#include "pattern/required_terms.h"

#include <algorithm>

#include "core/sjis.h"
#include "pattern/fuzzy_table.h"
#include "pattern/regexp_lexer.h"
#include "pattern/regexp_parser.h"
#include "pattern/text_fold.h"

namespace norvane::pattern {

namespace {

using Terms = RequiredTerms;
using Kind = RequiredTerms::Kind;
using Dictionaries = std::vector<const PatternDictionary*>;

// The parts in one order, each once: a pattern's forward and backward ways (the same
// words in turn) give one set of terms.
Terms AllOf(std::vector<Terms> parts) {
  std::vector<std::pair<std::string, Terms>> kept;
  auto add = [&](Terms& t) {
    std::string d = t.Describe();
    for (const auto& k : kept)
      if (k.first == d) return;
    kept.emplace_back(std::move(d), std::move(t));
  };
  for (Terms& p : parts) {
    if (p.kind == Kind::Nothing) continue;
    if (p.kind == Kind::All) {
      for (Terms& q : p.parts) add(q);
    } else {
      add(p);
    }
  }
  if (kept.empty()) return {};
  std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (kept.size() == 1) return std::move(kept[0].second);
  Terms all{Kind::All, {}, {}};
  for (auto& k : kept) all.parts.push_back(std::move(k.second));
  return all;
}

Terms EitherOf(std::vector<Terms> parts) {
  Terms either{Kind::Either, {}, {}};
  std::vector<std::string> seen;
  auto add = [&](Terms& t) {
    std::string d = t.Describe();
    for (const std::string& s : seen)
      if (s == d) return;
    seen.push_back(std::move(d));
    either.parts.push_back(std::move(t));
  };
  for (Terms& p : parts) {
    if (p.kind == Kind::Nothing) return {};  // one way needs nothing: nothing is needed
    if (p.kind == Kind::Either) {
      for (Terms& q : p.parts) add(q);
    } else {
      add(p);
    }
  }
  if (either.parts.size() == 1) return std::move(either.parts[0]);
  return either;
}

// The first member of the dictionaries, in order, that starts at codes[at] and fits in
// the run: the expansion's own rule. Its class and length; length 0 when none.
struct Found {
  const PatternDictionary* dictionary = nullptr;
  uint32_t classIndex = 0;
  size_t length = 0;
};
Found FirstMember(const Dictionaries& dictionaries, const std::vector<uint32_t>& codes, size_t at) {
  for (const PatternDictionary* dic : dictionaries) {
    for (const auto& cand : dic->CandidatesFor(codes[at])) {
      const std::vector<uint32_t>& member = dic->MemberCodes(cand);
      if (member.size() > codes.size() - at) continue;
      size_t k = 1;
      while (k < member.size() && member[k] == codes[at + k]) ++k;
      if (k == member.size()) return {dic, cand.classIndex, member.size()};
    }
  }
  return {};
}

// At most this many ways a run may be written folded before it is cut in two.
constexpr size_t kMaxWays = 8;

// The folded runs a run of plain characters requires after the fuzzy pass. A piece of a
// class whose members fold apart may be any of its forms: the run is then one of a few
// ways (ブログ: ふろく or うろく), cut where they would grow too many. With dropLast the
// last piece (which a quantifier follows) is left out.
std::vector<Terms> FuzzyRuns(const std::vector<uint32_t>& codes, bool dropLast) {
  const TextFold& fold = TextFold::Get();
  const Dictionaries fuzzy{&FuzzyCharDic()};
  std::vector<std::vector<std::vector<uint32_t>>> pieces;  // each piece's forms
  for (size_t at = 0; at < codes.size();) {
    const Found f = FirstMember(fuzzy, codes, at);
    const size_t length = f.length ? f.length : 1;
    if (f.length && !fold.Uniform(f.classIndex)) {
      pieces.push_back(fold.Forms(f.classIndex));
    } else {
      std::vector<uint32_t> form;
      for (size_t i = at; i < at + length; ++i) fold.Append(codes[i], form);
      pieces.push_back({std::move(form)});
    }
    at += length;
  }
  if (dropLast && !pieces.empty()) pieces.pop_back();
  std::vector<Terms> parts;
  std::vector<std::vector<uint32_t>> ways{{}};
  auto flush = [&] {
    std::vector<Terms> either;
    for (auto& w : ways) either.push_back(w.empty() ? Terms{} : Terms{Kind::Run, std::move(w), {}});
    parts.push_back(EitherOf(std::move(either)));
    ways = {{}};
  };
  for (const auto& forms : pieces) {
    if (ways.size() * forms.size() > kMaxWays) flush();
    if (forms.size() > kMaxWays) {
      std::vector<Terms> either;
      for (const auto& f : forms) either.push_back(f.empty() ? Terms{} : Terms{Kind::Run, f, {}});
      parts.push_back(EitherOf(std::move(either)));
      continue;
    }
    std::vector<std::vector<uint32_t>> next;
    for (const auto& w : ways)
      for (const auto& f : forms) {
        next.push_back(w);
        next.back().insert(next.back().end(), f.begin(), f.end());
      }
    ways = std::move(next);
  }
  flush();
  return parts;
}

// A run of plain characters of the pattern: the synonym pass cuts it into dictionary
// classes and plain pieces, each of which the fuzzy pass then expands.
Terms RunTerms(const std::vector<uint32_t>& codes, bool quantified, const Dictionaries& synonyms) {
  struct Element {
    Found synonym;  // length 0: plain characters
    std::vector<uint32_t> plain;
    bool dropLast = false;
  };
  std::vector<Element> elements;
  for (size_t at = 0; at < codes.size();) {
    const Found f = synonyms.empty() ? Found{} : FirstMember(synonyms, codes, at);
    if (f.length) {
      elements.push_back({f, {}, false});
      at += f.length;
      continue;
    }
    if (elements.empty() || elements.back().synonym.length) elements.push_back({});
    elements.back().plain.push_back(codes[at++]);
  }
  if (quantified && !elements.empty()) {
    if (elements.back().synonym.length) elements.pop_back();
    else elements.back().dropLast = true;
  }
  std::vector<Terms> parts;
  for (const Element& e : elements) {
    if (!e.synonym.length) {
      for (Terms& r : FuzzyRuns(e.plain, e.dropLast)) parts.push_back(std::move(r));
      continue;
    }
    const PatternDictionary& dic = *e.synonym.dictionary;
    std::vector<Terms> ways;
    for (uint32_t m = 0; m < dic.Classes()[e.synonym.classIndex].size(); ++m)
      ways.push_back(AllOf(FuzzyRuns(dic.MemberCodes({e.synonym.classIndex, m}), false)));
    parts.push_back(EitherOf(std::move(ways)));
  }
  return AllOf(std::move(parts));
}

bool IsQuantifier(Tok k) { return k == Tok::Star || k == Tok::Plus || k == Tok::Question; }

// Walks a valid pattern as its parser does: alternatives of sequences of atoms.
class Walker {
 public:
  Walker(std::string_view pattern, const Dictionaries& synonyms) : lex_(pattern), synonyms_(synonyms) {}

  Terms Alternatives() {
    std::vector<Terms> ways{Sequence()};
    while (lex_.Peek().kind == Tok::Alt) {
      lex_.Next();
      ways.push_back(Sequence());
    }
    return EitherOf(std::move(ways));
  }

 private:
  void SkipQuantifier() {
    if (IsQuantifier(lex_.Peek().kind)) lex_.Next();
  }

  Terms Sequence() {
    std::vector<Terms> parts;
    std::vector<uint32_t> run;
    for (;;) {
      const Token t = lex_.Peek();
      if (t.kind == Tok::Char && !t.inSet) {
        run.push_back(t.code);
        lex_.Next();
        continue;
      }
      if (!run.empty()) {
        const bool quantified = IsQuantifier(t.kind);
        parts.push_back(RunTerms(run, quantified, synonyms_));
        run.clear();
        if (quantified) lex_.Next();
        continue;
      }
      switch (t.kind) {
        case Tok::End:
        case Tok::Alt:
        case Tok::RParen:
          return AllOf(std::move(parts));
        case Tok::LParen: {
          lex_.Next();
          Terms inner = Alternatives();
          if (lex_.Peek().kind == Tok::RParen) lex_.Next();
          const Tok after = lex_.Peek().kind;
          if (IsQuantifier(after)) lex_.Next();
          if (!IsQuantifier(after) || after == Tok::Plus) parts.push_back(std::move(inner));
          break;
        }
        case Tok::SetOpen:
        case Tok::SetOpenNeg:
          lex_.Next();
          while (lex_.Peek().kind != Tok::SetClose && lex_.Peek().kind != Tok::End) lex_.Next();
          if (lex_.Peek().kind == Tok::SetClose) lex_.Next();
          SkipQuantifier();
          break;
        default:  // ".", "^", "$"
          lex_.Next();
          SkipQuantifier();
          break;
      }
    }
  }

  Lexer lex_;
  const Dictionaries& synonyms_;
};

}  // namespace

std::string RequiredTerms::Describe() const {
  switch (kind) {
    case Kind::Nothing:
      return {};
    case Kind::Run: {
      std::string sjis;
      for (uint32_t c : run) {
        if (c > 0xFF) sjis.push_back(static_cast<char>(c >> 8));
        sjis.push_back(static_cast<char>(c & 0xFF));
      }
      return "\"" + SjisToUtf8(sjis) + "\"";
    }
    case Kind::All:
    case Kind::Either: {
      std::string d = kind == Kind::All ? "all(" : "either(";
      for (size_t i = 0; i < parts.size(); ++i) d += (i ? " " : "") + parts[i].Describe();
      return d + ")";
    }
  }
  return {};
}

RequiredTerms FindRequiredTerms(std::string_view pattern, const Dictionaries& synonyms) {
  ParseRegExp(pattern);  // raises for a pattern that is not valid
  return Walker(pattern, synonyms).Alternatives();
}

}  // namespace norvane::pattern
