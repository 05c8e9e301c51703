#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace norvane::pattern {

// A dictionary of the expansion: an ordered list of classes, each an ordered list of
// member strings (Shift_JIS, the empty one included). Immutable once built, so any
// number of threads may read it.
class PatternDictionary {
 public:
  using Class = std::vector<std::string>;

  explicit PatternDictionary(std::vector<Class> classes);

  const std::vector<Class>& Classes() const { return classes_; }

  // A member that can start at a character, as a class and member index.
  struct Candidate {
    uint32_t classIndex;
    uint32_t memberIndex;
  };
  // The members whose first character is code, in class order, then member order:
  // the order in which they are tried. Empty members are never candidates.
  const std::vector<Candidate>& CandidatesFor(uint32_t code) const;

  const std::vector<uint32_t>& MemberCodes(const Candidate& c) const {
    return codes_[c.classIndex][c.memberIndex];
  }
  // "(" m1 "|" m2 ... ")" with the operators of the dialect escaped in every member.
  const std::string& Alternation(uint32_t classIndex) const {
    return alternations_[classIndex];
  }

 private:
  std::vector<Class> classes_;
  std::vector<std::vector<std::vector<uint32_t>>> codes_;
  std::vector<std::string> alternations_;
  std::unordered_map<uint32_t, std::vector<Candidate>> byFirstCode_;
};

// A member as pattern text that matches exactly that text: a backslash goes before
// each of the twelve operator characters of the dialect, ^ ( | ) + * ? . [ ] $ and the
// backslash itself. A lead byte left without its trail at the end becomes a \x code,
// so it cannot pair up with what follows it in the pattern.
std::string EscapeMember(std::string_view member);

}  // namespace norvane::pattern
