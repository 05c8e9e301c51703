#include "pattern/rserch.h"

#include <memory>
#include <vector>

#include "core/atomic_file.h"
#include "core/comma_text.h"
#include "core/disk_path.h"
#include "core/sjis.h"
#include "core/texts.h"
#include "pattern/sjis_scan.h"

namespace norvane {

namespace {

// Lines end with CR LF, CR or LF; a break at the very end opens no further line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

TRSerch::TRSerch() = default;

void TRSerch::LoadSynonymDic(const std::string& path) {
  ownsSynonymDic_ = false;
  const std::string disk = DiskPath(path);
  if (!FileExists(disk)) return;
  std::string data;
  if (!ReadWholeFile(disk, data)) return;
  std::vector<Dictionary::Class> classes;
  for (std::string_view line : SplitLines(data)) classes.push_back(ParseCommaText(line));
  AddSynonymDic(std::make_shared<const Dictionary>(std::move(classes)));
  ownsSynonymDic_ = true;
  SetUseSynonymDic(true);
}

void TRSerch::AssignSynonymDic(const TRSerch& source) {
  if (&source == this) return;
  SetSynonymDics(source.SynonymDics());
  ownsSynonymDic_ = false;
}

std::string TRSerch::MakePattern(std::string_view phrase) {
  // Steps 1 and 2 character by character, so a trail byte is never taken for a space.
  std::string text;
  text.reserve(phrase.size());
  for (size_t i = 0; i < phrase.size();) {
    const size_t n = pattern::SjisCharLength(phrase, i);
    if (n == 2 && phrase[i] == '\x81' && phrase[i + 1] == '\x40')
      text += ' ';
    else
      text.append(phrase.substr(i, n));
    i += n;
  }
  std::string joined;
  joined.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 4, " OR ") == 0) {
      joined += '|';
      i += 4;
      continue;
    }
    const size_t n = pattern::SjisCharLength(text, i);
    joined.append(text, i, n);
    i += n;
  }

  std::vector<std::string> words;
  if (!joined.empty()) {
    size_t start = 0;
    for (size_t i = 0; i < joined.size();) {
      const size_t n = pattern::SjisCharLength(joined, i);
      if (n == 1 && joined[i] == ' ') {
        words.push_back(joined.substr(start, i - start));
        start = i + 1;
      }
      i += n;
    }
    words.push_back(joined.substr(start));
  }

  std::string forward = ".*", backward = ".*";
  for (const std::string& w : words) {
    forward += "(" + w + ").*";
    backward = ".*(" + w + ")" + backward;
  }
  return "(" + forward + ")|(" + backward + ")";
}

void TRSerch::SetKeyword(std::string_view phrase) {
  size_t chars = 0;
  for (size_t i = 0; i < phrase.size(); ++chars) {
    const size_t n = pattern::SjisCharLength(phrase, i);
    if (n == 1 && IsSjisLead(static_cast<unsigned char>(phrase[i]))) {
      DropPattern();
      throw ERegExpParser(T().regexpBadDoubleByte, chars);
    }
    i += n;
  }
  SetRegExp(MakePattern(phrase));
}

}  // namespace norvane
