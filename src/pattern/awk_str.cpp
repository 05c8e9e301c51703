#include "pattern/awk_str.h"

#include "pattern/expansion.h"
#include "pattern/fuzzy_table.h"
#include "pattern/pcre_source.h"
#include "pattern/regexp_parser.h"
#include "pattern/sjis_scan.h"

namespace norvane {

TAWKStr::TAWKStr() { SetRegExp(""); }

TAWKStr::~TAWKStr() = default;

std::string TAWKStr::ExpandedPattern(std::string_view re) const {
  std::string text(re);
  if (useSynonym_ && !synonyms_.empty()) {
    std::vector<const Dictionary*> pass;
    for (const auto& d : synonyms_) pass.push_back(d.get());
    text = pattern::ExpandPattern(text, pass);
  }
  if (useFuzzy_) text = pattern::ExpandPattern(text, {&pattern::FuzzyCharDic()});
  return text;
}

void TAWKStr::DropPattern() {
  regExp_.clear();
  current_.reset();
  hasPattern_ = false;
}

void TAWKStr::SetRegExp(std::string_view re) {
  std::string text(re);  // re may be a view of regExp_ itself
  DropPattern();

  // Faults are reported against the text as the user gave it; expansion turns a
  // valid pattern into a valid one and an invalid one into an invalid one.
  pattern::ParseRegExp(text);
  const std::string expanded = ExpandedPattern(text);
  auto compiled = cache_.Find(expanded, lineSeparator_);
  if (!compiled && expanded.empty()) {
    // Every matcher starts with the empty pattern; one compilation serves them all.
    static const auto kEmpty = std::make_shared<const pattern::PcrePattern>("");
    compiled = kEmpty;
    cache_.Insert(expanded, lineSeparator_, compiled);
  } else if (!compiled) {
    const std::string source =
        pattern::PcreSource(pattern::ParseRegExp(expanded), lineSeparator_);
    compiled = std::make_shared<const pattern::PcrePattern>(source);
    ++compileCount_;
    cache_.Insert(expanded, lineSeparator_, compiled);
  }
  current_ = std::move(compiled);
  regExp_ = std::move(text);
  hasPattern_ = true;
}

void TAWKStr::Reapply() {
  if (!hasPattern_) return;
  try {
    SetRegExp(regExp_);
  } catch (const ERegExpParser&) {
    // Left without a pattern, which matches nothing.
  }
}

void TAWKStr::SetLineSeparator(TLineSeparator separator) {
  lineSeparator_ = separator;
  Reapply();
}

void TAWKStr::SetUseFuzzyCharDic(bool use) {
  useFuzzy_ = use;
  Reapply();
}

void TAWKStr::SetUseSynonymDic(bool use) {
  useSynonym_ = use;
  Reapply();
}

void TAWKStr::SetSynonymDics(DictionaryList list) {
  synonyms_ = std::move(list);
  Reapply();
}

void TAWKStr::AddSynonymDic(std::shared_ptr<const Dictionary> dictionary) {
  synonyms_.push_back(std::move(dictionary));
}

bool TAWKStr::IsMatch(std::string_view text) {
  lastHitLimit_ = false;
  if (!current_) return false;
  pattern::DecodeSjis(text, subject_);
  return current_->Matches(subject_.data(), subject_.size(), scratch_, &lastHitLimit_);
}

}  // namespace norvane
