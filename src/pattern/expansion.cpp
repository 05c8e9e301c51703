#include "pattern/expansion.h"

#include "pattern/regexp_lexer.h"

namespace norvane::pattern {

namespace {

struct Plain {
  uint32_t code;
  size_t begin;  // bytes as written
  size_t end;
};

// Finds the first member, over all dictionaries, that starts run[at]; writes its class.
// Returns how many characters it covered, 0 when none.
size_t ExpandAt(const std::vector<Plain>& run, size_t at,
                const std::vector<const PatternDictionary*>& dictionaries, std::string& out) {
  for (const PatternDictionary* dic : dictionaries) {
    for (const auto& cand : dic->CandidatesFor(run[at].code)) {
      const std::vector<uint32_t>& codes = dic->MemberCodes(cand);
      if (codes.size() > run.size() - at) continue;
      size_t k = 1;
      while (k < codes.size() && codes[k] == run[at + k].code) ++k;
      if (k == codes.size()) {
        out += dic->Alternation(cand.classIndex);
        return codes.size();
      }
    }
  }
  return 0;
}

void FlushRun(std::string_view pattern, std::vector<Plain>& run,
              const std::vector<const PatternDictionary*>& dictionaries, std::string& out) {
  for (size_t at = 0; at < run.size();) {
    size_t covered = ExpandAt(run, at, dictionaries, out);
    if (covered == 0) {
      out.append(pattern.substr(run[at].begin, run[at].end - run[at].begin));
      covered = 1;
    }
    at += covered;
  }
  run.clear();
}

}  // namespace

std::string ExpandPattern(std::string_view pattern,
                          const std::vector<const PatternDictionary*>& dictionaries) {
  if (dictionaries.empty()) return std::string(pattern);
  std::string out;
  out.reserve(pattern.size() * 4);
  std::vector<Plain> run;
  Lexer lex(pattern);
  for (;;) {
    Token t = lex.Next();
    if (t.kind == Tok::Char && !t.inSet) {
      run.push_back({t.code, t.begin, t.end});
      continue;
    }
    FlushRun(pattern, run, dictionaries, out);
    if (t.kind == Tok::End) break;
    out.append(lex.Written(t));
  }
  return out;
}

}  // namespace norvane::pattern
