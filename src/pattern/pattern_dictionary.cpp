#include "pattern/pattern_dictionary.h"

#include <cstdio>
#include <cstring>

#include "core/sjis.h"
#include "pattern/sjis_scan.h"

namespace norvane::pattern {

std::string EscapeMember(std::string_view member) {
  std::string out;
  out.reserve(member.size() + 4);
  for (size_t i = 0; i < member.size();) {
    const size_t n = SjisCharLength(member, i);
    const auto c = static_cast<unsigned char>(member[i]);
    if (n == 1 && IsSjisLead(c)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      if (n == 1 && c != 0 && std::strchr("^(|)+*?.[]$\\", c)) out += '\\';
      out.append(member.substr(i, n));
    }
    i += n;
  }
  return out;
}

PatternDictionary::PatternDictionary(std::vector<Class> classes)
    : classes_(std::move(classes)) {
  codes_.resize(classes_.size());
  alternations_.resize(classes_.size());
  for (uint32_t k = 0; k < classes_.size(); ++k) {
    const Class& members = classes_[k];
    std::string& alt = alternations_[k];
    alt.push_back('(');
    for (uint32_t m = 0; m < members.size(); ++m) {
      if (m) alt += '|';
      alt += EscapeMember(members[m]);
      codes_[k].push_back(DecodeSjis(members[m]));
      if (!members[m].empty())
        byFirstCode_[codes_[k].back().front()].push_back({k, m});
    }
    alt += ')';
  }
}

const std::vector<PatternDictionary::Candidate>& PatternDictionary::CandidatesFor(
    uint32_t code) const {
  static const std::vector<Candidate> kNone;
  auto it = byFirstCode_.find(code);
  return it == byFirstCode_.end() ? kNone : it->second;
}

}  // namespace norvane::pattern
