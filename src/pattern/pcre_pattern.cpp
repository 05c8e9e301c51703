#define PCRE2_CODE_UNIT_WIDTH 32
#include "pattern/pcre_pattern.h"

#include <pcre2.h>

#include <new>
#include <vector>

#include "core/texts.h"
#include "pattern/regexp_error.h"

namespace norvane::pattern {

void PcreCodeFree::operator()(pcre2_code* p) const { pcre2_code_free(p); }
void PcreMatchDataFree::operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
void PcreMatchContextFree::operator()(pcre2_match_context* p) const {
  pcre2_match_context_free(p);
}
void PcreJitStackFree::operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }

namespace {
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 1024 * 1024;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;

// The compile context is the same for every pattern; one per thread avoids sharing.
struct CompileContext {
  CompileContext() : ctx(pcre2_compile_context_create(nullptr)) {
    if (!ctx) throw std::bad_alloc();
    // Our own parser caps nesting; the emitted source adds a few levels of its own.
    pcre2_set_parens_nest_limit(ctx, 1000);
  }
  ~CompileContext() { pcre2_compile_context_free(ctx); }
  CompileContext(const CompileContext&) = delete;
  CompileContext& operator=(const CompileContext&) = delete;
  pcre2_compile_context* ctx;
};
}  // namespace

PcreScratch::PcreScratch()
    : jitStack_(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr)),
      context_(pcre2_match_context_create(nullptr)),
      data_(pcre2_match_data_create(1, nullptr)) {
  if (!context_ || !data_) throw std::bad_alloc();
  pcre2_set_match_limit(context_.get(), kMatchLimit);
  pcre2_set_heap_limit(context_.get(), kHeapLimitKiB);
  // Without a stack of its own JIT falls back to its small built-in one.
  if (jitStack_) pcre2_jit_stack_assign(context_.get(), nullptr, jitStack_.get());
}

PcrePattern::PcrePattern(const std::string& source) {
  thread_local CompileContext compile;
  std::vector<PCRE2_UCHAR> units(source.begin(), source.end());
  units.push_back(0);  // never a null pointer, even for the empty pattern
  int error = 0;
  PCRE2_SIZE offset = 0;
  const uint32_t options = PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C;
  code_.reset(pcre2_compile(units.data(), source.size(), options, &error, &offset,
                            compile.ctx));
  if (!code_) {
    if (error == PCRE2_ERROR_NOMEMORY) throw std::bad_alloc();
    throw ERegExpParser(T().regexpTooComplex, 0);
  }
  // Without JIT support the interpreter runs the same pattern.
  pcre2_jit_compile(code_.get(), PCRE2_JIT_COMPLETE);
}

bool PcrePattern::Matches(const uint32_t* subject, size_t length, PcreScratch& scratch,
                          bool* hitLimit) const {
  static const uint32_t kEmpty = 0;
  if (!subject) subject = &kEmpty;
  int rc = pcre2_match(code_.get(), subject, length, 0, 0, scratch.MatchData(),
                       scratch.Context());
  if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
    // Deep backtracking on a long text: the interpreter keeps its frames on the heap.
    rc = pcre2_match(code_.get(), subject, length, 0, PCRE2_NO_JIT, scratch.MatchData(),
                     scratch.Context());
  }
  if (hitLimit)
    *hitLimit = rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
                rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT ||
                rc == PCRE2_ERROR_NOMEMORY;
  return rc >= 0;
}

}  // namespace norvane::pattern
