#include "archive/item_grams.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pattern/sjis_scan.h"
#include "pattern/text_fold.h"

namespace norvane {

namespace {

constexpr uint32_t kSingle = 0xFFFF0000u;  // codes stay below 0xFCFD: no pair starts so
constexpr size_t kPairsPerRun = 8;
constexpr size_t kWordsPerQuery = 64;

void AppendHex(std::string& out, uint32_t value, int digits) {
  static const char* hex = "0123456789abcdef";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out.push_back(hex[(value >> shift) & 15]);
}

std::string Word(uint32_t key) {
  std::string w;
  if ((key & kSingle) == kSingle) {
    w.push_back('u');
    AppendHex(w, key & 0xFFFF, 4);
  } else {
    AppendHex(w, key, 8);
  }
  return w;
}

void AddWords(std::string_view sjis, std::vector<uint32_t>& keys, std::vector<uint32_t>& codes,
              std::vector<uint32_t>& folded) {
  pattern::DecodeSjis(sjis, codes);
  folded.clear();
  const pattern::TextFold& fold = pattern::TextFold::Get();
  for (uint32_t c : codes) fold.Append(c, folded);
  for (size_t i = 0; i < folded.size(); ++i) {
    const uint32_t c = folded[i] & 0xFFFF;
    if (c > 0xFF) keys.push_back(kSingle | c);
    if (i + 1 < folded.size()) keys.push_back(c << 16 | (folded[i + 1] & 0xFFFF));
  }
}

// The words a run needs: its pairs (some of them, spread over it), or its one
// double-byte character; none when it is one single-byte character.
std::vector<uint32_t> RunKeys(const std::vector<uint32_t>& run) {
  std::vector<uint32_t> keys;
  if (run.size() == 1) {
    if ((run[0] & 0xFFFF) > 0xFF) keys.push_back(kSingle | (run[0] & 0xFFFF));
    return keys;
  }
  std::vector<uint32_t> pairs;
  for (size_t i = 0; i + 1 < run.size(); ++i) pairs.push_back((run[i] & 0xFFFF) << 16 | (run[i + 1] & 0xFFFF));
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  if (pairs.size() <= kPairsPerRun) return pairs;
  for (size_t k = 0; k < kPairsPerRun; ++k) keys.push_back(pairs[k * pairs.size() / kPairsPerRun]);
  return keys;
}

// The query of terms within what is left of the budget of words; empty: no narrowing.
std::string Query(const pattern::RequiredTerms& terms, size_t& budget) {
  using Kind = pattern::RequiredTerms::Kind;
  switch (terms.kind) {
    case Kind::Nothing:
      return {};
    case Kind::Run: {
      const std::vector<uint32_t> keys = RunKeys(terms.run);
      if (keys.empty() || keys.size() > budget) return {};
      budget -= keys.size();
      std::string q;
      for (uint32_t k : keys) q += (q.empty() ? "\"" : " AND \"") + Word(k) + "\"";
      return keys.size() == 1 ? q : "(" + q + ")";
    }
    case Kind::All: {
      // Parts left out for want of words only narrow less.
      std::string q;
      size_t n = 0;
      for (const auto& part : terms.parts) {
        std::string p = Query(part, budget);
        if (p.empty()) continue;
        q += (n++ ? " AND " : "") + p;
      }
      return n > 1 ? "(" + q + ")" : q;
    }
    case Kind::Either: {
      // One way that needs nothing, or cannot be written, makes the whole need nothing.
      const size_t before = budget;
      std::string q;
      for (const auto& part : terms.parts) {
        std::string p = Query(part, budget);
        if (p.empty()) {
          budget = before;
          return {};
        }
        q += (q.empty() ? "" : " OR ") + p;
      }
      return "(" + q + ")";
    }
  }
  return {};
}

}  // namespace

std::string ItemGrams(std::string_view titleSjis, std::string_view descriptionSjis) {
  std::vector<uint32_t> keys, codes, folded;
  keys.reserve((titleSjis.size() + descriptionSjis.size()) * 2);
  AddWords(titleSjis, keys, codes, folded);
  AddWords(descriptionSjis, keys, codes, folded);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::string words;
  words.reserve(keys.size() * 9);
  for (uint32_t k : keys) {
    if (!words.empty()) words.push_back(' ');
    words += Word(k);
  }
  return words;
}

std::string GramQuery(const pattern::RequiredTerms& terms) {
  size_t budget = kWordsPerQuery;
  return Query(terms, budget);
}

}  // namespace norvane
