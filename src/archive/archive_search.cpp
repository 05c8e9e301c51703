#include "archive/archive_search.h"

#include <algorithm>
#include <set>

#include "archive/item_grams.h"
#include "core/gate_lock.h"
#include "core/sjis.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "pattern/regexp_error.h"
#include "pattern/required_terms.h"
#include "pattern/rserch.h"
#include "pattern/sjis_scan.h"

namespace norvane {

namespace {

// One match: where it sorts, and where to find it again.
struct Hit {
  int64_t date, source, pos, id;
  int mark;
};

bool Newer(const Hit& a, const Hit& b) {
  if (a.date != b.date) return a.date > b.date;
  if (a.source != b.source) return a.source < b.source;
  return a.pos < b.pos;
}

// Spaces, full-width spaces and line breaks only (or nothing).
bool Blank(std::string_view sjis) {
  for (size_t i = 0; i < sjis.size();) {
    const size_t n = pattern::SjisCharLength(sjis, i);
    const bool space = n == 1 ? (sjis[i] == ' ' || sjis[i] == '\t' || sjis[i] == '\r' || sjis[i] == '\n')
                              : (sjis[i] == '\x81' && sjis[i + 1] == '\x40');
    if (!space) return false;
    i += n;
  }
  return true;
}

size_t Characters(std::string_view sjis) {
  size_t count = 0;
  for (size_t i = 0; i < sjis.size(); ++count) i += pattern::SjisCharLength(sjis, i);
  return count;
}

void SetPage(FindResult& r, std::vector<Hit>& hits, const FindRequest& request) {
  std::sort(hits.begin(), hits.end(), Newer);
  r.total = hits.size();
  r.pages = (r.total + kFindPageSize - 1) / kFindPageSize;
  r.page = std::max<size_t>(1, request.page);
}

void FromIndex(FindResult& r, IndexReader& reader, TRSerch& matcher, const std::string& query,
               const FindRequest& request) {
  const std::map<int64_t, IndexedSource> sources = reader.Sources();
  std::set<int64_t> allowed;
  if (request.narrowed) {
    const std::set<std::string> urls(request.feedUrls.begin(), request.feedUrls.end());
    for (const auto& [id, source] : sources)
      if (urls.count(source.url)) allowed.insert(id);
  }
  std::vector<Hit> hits;
  reader.ForEachItem(query, [&](const IndexedItem& it) {
    if (request.narrowed && !allowed.count(it.source)) return;
    const PackedTexts texts = PackedTextsOf(it.blob);
    if (TextsMatch(matcher, texts.hasTitle, texts.title, texts.hasDescription, texts.description))
      hits.push_back({it.date, it.source, it.pos, it.id, it.mark});
  });
  SetPage(r, hits, request);
  const size_t first = (r.page - 1) * kFindPageSize;
  for (size_t i = first; i < hits.size() && i < first + kFindPageSize; ++i) {
    FoundItem f;
    f.item = UnpackItem(reader.Blob(hits[i].id));
    f.item.date = hits[i].date;
    f.item.mark = hits[i].mark;
    f.item.digest = ItemDigest(f.item.link, f.item.title, f.item.description);
    auto source = sources.find(hits[i].source);
    if (source != sources.end()) {
      f.book = source->second.book;
      f.feedUrl = f.book ? CompleteLocalURL(source->second.url) : source->second.url;
      f.feedTitle = source->second.title;
      f.feedLink = source->second.link;
    }
    r.items.push_back(std::move(f));
  }
}

void FromFiles(FindResult& r, TRSerch& matcher, const FindRequest& request) {
  const std::set<std::string> urls(request.feedUrls.begin(), request.feedUrls.end());
  std::vector<Hit> hits;
  std::vector<FoundItem> found;
  const std::vector<SourceFile> files = ListSourceFiles();
  for (size_t s = 0; s < files.size(); ++s) {
    ArchiveSource source;
    try {
      source = ReadSource(files[s]);
    } catch (const std::exception& e) {
      WriteErrorLog(TraceArea::Find, "exception", files[s].path + ": " + e.what());
      continue;
    }
    if (request.narrowed && !urls.count(source.url)) continue;
    for (size_t pos = 0; pos < source.items.size(); ++pos) {
      ArchiveItem& item = source.items[pos];
      if (!ItemMatches(matcher, item)) continue;
      hits.push_back({item.date, static_cast<int64_t>(s), static_cast<int64_t>(pos),
                      static_cast<int64_t>(found.size()), item.mark});
      FoundItem f;
      f.item = std::move(item);
      f.book = source.file.book;
      f.feedUrl = f.book ? CompleteLocalURL(source.url) : source.url;
      f.feedTitle = source.title;
      f.feedLink = source.link;
      found.push_back(std::move(f));
    }
  }
  SetPage(r, hits, request);
  const size_t first = (r.page - 1) * kFindPageSize;
  for (size_t i = first; i < hits.size() && i < first + kFindPageSize; ++i)
    r.items.push_back(std::move(found[static_cast<size_t>(hits[i].id)]));
}

}  // namespace

bool TextsMatch(TRSerch& matcher, bool hasTitle, std::string_view title, bool hasDescription,
                std::string_view description) {
  if (hasTitle && matcher.IsMatch(Utf8ToSjis(title))) return true;
  return hasDescription && matcher.IsMatch(Utf8ToSjis(description));
}

bool ItemMatches(TRSerch& matcher, const ArchiveItem& item) {
  return TextsMatch(matcher, item.hasTitle, item.title, item.hasDescription, item.description);
}

FindResult FindItems(const FindRequest& request, ArchiveIndexer* indexer, const TRSerch& lender) {
  FindResult r;
  r.index = indexer ? indexer->Status() : IndexStatus{IndexStatus::State::Unavailable, 0, 0, {}};
  if (Blank(request.phrase)) return r;
  if (Characters(request.phrase) > kMaxFindCharacters) {
    r.outcome = FindResult::Outcome::TooLong;
    return r;
  }
  TRSerch matcher;
  {
    GateGuard lock(GateLock());
    matcher.AssignSynonymDic(lender);
  }
  pattern::RequiredTerms terms;
  try {
    matcher.SetKeyword(request.phrase);
    std::vector<const pattern::PatternDictionary*> synonyms;
    for (const auto& d : matcher.SynonymDics()) synonyms.push_back(d.get());
    terms = pattern::FindRequiredTerms(matcher.RegExp(), synonyms);
  } catch (const ERegExpParser& e) {
    r.outcome = FindResult::Outcome::Refused;
    r.error = e.what();
    return r;
  }
  r.outcome = FindResult::Outcome::Found;
  const std::string query = GramQuery(terms);
  const auto state = r.index.state;
  bool done = false;
  if (indexer && (state == IndexStatus::State::Ready || state == IndexStatus::State::Building)) {
    try {
      done = indexer->Read([&](IndexReader& reader) { FromIndex(r, reader, matcher, query, request); });
    } catch (const std::exception& e) {
      WriteErrorLog(TraceArea::Find, "exception", e.what());
      done = false;
    }
  }
  if (!done) {
    r.items.clear();
    r.scanned = true;
    FromFiles(r, matcher, request);
  }
  return r;
}

}  // namespace norvane
