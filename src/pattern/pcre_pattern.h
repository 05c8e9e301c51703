#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct pcre2_real_code_32;
struct pcre2_real_match_data_32;
struct pcre2_real_match_context_32;
struct pcre2_real_jit_stack_32;

namespace norvane::pattern {

struct PcreCodeFree { void operator()(pcre2_real_code_32* p) const; };
struct PcreMatchDataFree { void operator()(pcre2_real_match_data_32* p) const; };
struct PcreMatchContextFree { void operator()(pcre2_real_match_context_32* p) const; };
struct PcreJitStackFree { void operator()(pcre2_real_jit_stack_32* p) const; };

// Steps one search may take before it gives up and answers "no match": a pattern
// that backtracks without end must not hold its thread.
inline constexpr uint32_t kMatchLimit = 2'000'000;

// What one matcher needs to run searches: match data, the limits, a JIT stack.
// Used by one thread at a time.
class PcreScratch {
 public:
  PcreScratch();
  pcre2_real_match_data_32* MatchData() const { return data_.get(); }
  pcre2_real_match_context_32* Context() const { return context_.get(); }

 private:
  std::unique_ptr<pcre2_real_jit_stack_32, PcreJitStackFree> jitStack_;
  std::unique_ptr<pcre2_real_match_context_32, PcreMatchContextFree> context_;
  std::unique_ptr<pcre2_real_match_data_32, PcreMatchDataFree> data_;
};

// One compiled pattern (JIT-compiled where the platform allows). Immutable once made,
// so several matchers of one thread may hold it.
class PcrePattern {
 public:
  // Compiles PCRE2 source made by PcreSource; raises ERegExpParser when the engine
  // refuses it (only a pattern beyond its size or nesting limits can be refused).
  explicit PcrePattern(const std::string& source);

  // True when the pattern matches somewhere in the code units. A search that runs
  // into its limits answers false and sets *hitLimit when given.
  bool Matches(const uint32_t* subject, size_t length, PcreScratch& scratch,
               bool* hitLimit = nullptr) const;

 private:
  std::unique_ptr<pcre2_real_code_32, PcreCodeFree> code_;
};

}  // namespace norvane::pattern
