#include "pattern/text_fold.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "core/sjis.h"
#include "pattern/fuzzy_table.h"
#include "pattern/sjis_scan.h"

namespace norvane::pattern {

namespace {

uint32_t CodeOf(const char8_t* utf8) {
  const std::vector<uint32_t> codes = DecodeSjis(Utf8ToSjis(reinterpret_cast<const char*>(utf8)));
  return codes.size() == 1 ? codes[0] : 0;
}

uint32_t Pack(const std::vector<uint32_t>& folded) {
  if (folded.empty()) return 0;
  return folded.size() == 1 ? folded[0] : (folded[0] | folded[1] << 16);
}

}  // namespace

const TextFold& TextFold::Get() {
  static const TextFold fold;
  return fold;
}

std::vector<uint32_t> TextFold::Fold(const std::vector<uint32_t>& codes) const {
  std::vector<uint32_t> out;
  out.reserve(codes.size());
  for (uint32_t c : codes) Append(c, out);
  return out;
}

TextFold::TextFold() : table_(0x10000) {
  std::iota(table_.begin(), table_.end(), 0u);
  const PatternDictionary& dic = FuzzyCharDic();
  const auto& classes = dic.Classes();
  auto members = [&](uint32_t k) {
    std::vector<std::vector<uint32_t>> out;
    for (uint32_t m = 0; m < classes[k].size(); ++m) out.push_back(dic.MemberCodes({k, m}));
    return out;
  };

  // The marks that turn a kana voiced go, so that か゛ and ｶﾞ fold as が does; so do the
  // members of a class that may be absent altogether.
  for (const char8_t* mark : {u8"゛", u8"゜", u8"ﾞ", u8"ﾟ"})
    if (uint32_t code = CodeOf(mark)) table_[code] = 0;
  for (uint32_t k = 0; k < classes.size(); ++k) {
    bool optional = false;
    for (const auto& m : members(k)) optional = optional || m.empty();
    if (!optional) continue;
    for (const auto& m : members(k))
      if (m.size() == 1 && m[0] < table_.size()) table_[m[0]] = 0;
  }

  // Classes of single characters, joined where they share a member (ー stands in two).
  std::vector<uint32_t> root(0x10000);
  std::iota(root.begin(), root.end(), 0u);
  auto find = [&](uint32_t c) {
    while (root[c] != c) c = root[c] = root[root[c]];
    return c;
  };
  std::vector<uint32_t> order;  // single members in table order, each once
  std::vector<bool> seen(0x10000, false);
  for (uint32_t k = 0; k < classes.size(); ++k) {
    const auto ms = members(k);
    bool single = true;
    for (const auto& m : ms) single = single && m.size() == 1 && m[0] < 0x10000;
    if (!single) continue;
    for (const auto& m : ms) {
      if (!seen[m[0]]) order.push_back(m[0]);
      seen[m[0]] = true;
      const uint32_t a = find(ms[0][0]), b = find(m[0]);
      if (a != b) root[b] = a;
    }
  }
  // Each group folds to its ASCII member where it has one (the smallest), else to its
  // first member in table order; a group holding a member that goes, goes whole.
  std::vector<uint32_t> target(0x10000, 0xFFFFFFFF);
  std::vector<bool> gone(0x10000, false);
  for (uint32_t c : order) {
    const uint32_t r = find(c);
    if (table_[c] == 0) gone[r] = true;
    uint32_t& t = target[r];
    if (t == 0xFFFFFFFF || (c < 0x80 && (t >= 0x80 || c < t))) t = c;
  }
  for (uint32_t c : order) {
    const uint32_t r = find(c);
    table_[c] = gone[r] ? 0 : target[r];
  }

  // Classes with longer members: when those all fold alike, the single ones take that
  // form; when not, the form of the first (the half-width one: ﾊﾞ for ば).
  auto foldOf = [&](const std::vector<uint32_t>& codes) { return Fold(codes); };
  for (uint32_t k = 0; k < classes.size(); ++k) {
    const auto ms = members(k);
    std::vector<std::vector<uint32_t>> longer;
    for (const auto& m : ms)
      if (m.size() > 1) longer.push_back(foldOf(m));
    if (longer.empty()) continue;
    if (longer[0].size() > 2) continue;
    for (const auto& m : ms)
      if (m.size() == 1 && m[0] < table_.size() && table_[m[0]] == m[0]) table_[m[0]] = Pack(longer[0]);
  }

  uniform_.resize(classes.size());
  forms_.resize(classes.size());
  for (uint32_t k = 0; k < classes.size(); ++k) {
    for (const auto& m : members(k)) {
      std::vector<uint32_t> f = foldOf(m);
      if (std::find(forms_[k].begin(), forms_[k].end(), f) == forms_[k].end()) forms_[k].push_back(std::move(f));
    }
    uniform_[k] = forms_[k].size() == 1;
  }
}

}  // namespace norvane::pattern
