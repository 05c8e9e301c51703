#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace norvane::pattern {

enum class NodeKind { Literal, AnyChar, LineStart, LineEnd, Set, Group };
enum class Quantifier { One, ZeroOrMore, OneOrMore, ZeroOrOne };

struct SetRange {
  uint32_t low;
  uint32_t high;
};

struct Node;
using Sequence = std::vector<Node>;

// One atom of the dialect with its quantifier.
struct Node {
  NodeKind kind = NodeKind::Literal;
  Quantifier quantifier = Quantifier::One;
  uint32_t code = 0;                  // Literal
  bool negated = false;               // Set
  std::vector<SetRange> ranges;       // Set
  std::vector<Sequence> alternatives; // Group
};

struct ParsedRegExp {
  std::vector<Sequence> alternatives;
};

// Deeper nesting of groups than this is refused rather than risking the stack.
inline constexpr int kMaxGroupNesting = 200;

// Parses a whole pattern of the dialect; raises ERegExpParser with the message and
// position of the first fault met, reading left to right.
ParsedRegExp ParseRegExp(std::string_view pattern);

}  // namespace norvane::pattern
