#include "feeds/fragment_cache.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <thread>

#include "feeds/page_cache_share.h"

namespace norvane {
namespace {

TEST(FragmentCache, MakesEachResultOnceAndStaysWithinItsBound) {
  int made = 0;
  auto upper = [&made](std::string_view s) {
    ++made;
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
  };
  FragmentCache cache(40, 16);  // bytes of keys and values; one entry at most 16
  EXPECT_EQ(cache.Get("abcd", upper), "ABCD");
  EXPECT_EQ(cache.Get("abcd", upper), "ABCD");
  EXPECT_EQ(made, 1);

  EXPECT_EQ(cache.Get("too long for it", upper), "TOO LONG FOR IT");  // 30 bytes: not kept
  EXPECT_EQ(cache.Get("too long for it", upper), "TOO LONG FOR IT");
  EXPECT_EQ(made, 3);

  // Each entry is 8 bytes: five fit, a sixth pushes out the least recently used.
  for (const char* k : {"ee01", "ee02", "ee03", "ee04"}) cache.Get(k, upper);
  cache.Get("abcd", upper);  // used again: now the most recent
  cache.Get("ee05", upper);
  EXPECT_LE(cache.bytes(), 40u);
  EXPECT_EQ(cache.entries(), 5u);
  made = 0;
  cache.Get("abcd", upper);
  EXPECT_EQ(made, 0) << "kept, having been used";
  cache.Get("ee01", upper);
  EXPECT_EQ(made, 1) << "the oldest went";
}

TEST(FragmentCache, AnAgeDropsWhatWasNotUsedSinceTheOneBefore) {
  int made = 0;
  auto same = [&made](std::string_view s) {
    ++made;
    return std::string(s);
  };
  FragmentCache cache(1000, 100);
  cache.Put("kept", "K");
  cache.Put("found", "F");
  cache.Put("left", "L");
  cache.Age();  // everything was made in the generation it ends
  EXPECT_EQ(cache.entries(), 3u);
  ASSERT_TRUE(cache.Find("found"));  // found again
  cache.Put("made", "M");            // made anew
  cache.Put("kept", "other");        // a result kept already stays, and counts as not used
  cache.Age();
  EXPECT_EQ(cache.entries(), 2u);
  EXPECT_EQ(cache.bytes(), std::string("foundFmadeM").size());
  EXPECT_FALSE(cache.Find("left"));
  EXPECT_FALSE(cache.Find("kept"));
  cache.Get("made", same);
  EXPECT_EQ(made, 0);
}

TEST(FragmentCache, AReplacedValueTakesTheOldOnesPlaceAndBytes) {
  FragmentCache cache(20, 12);
  cache.Put("a", "one");
  cache.Put("b", "two");
  cache.Replace("a", "longer");  // in the place of "one", not beside it
  EXPECT_EQ(cache.Find("a"), "longer");
  EXPECT_EQ(cache.entries(), 2u);
  EXPECT_EQ(cache.bytes(), std::string("alongerbtwo").size());
  cache.Replace("c", "new");  // nothing kept before: kept now
  EXPECT_EQ(cache.Find("c"), "new");
  cache.Replace("a", "far too long!");  // over the entry bound: nothing is kept for it
  EXPECT_FALSE(cache.Find("a"));
  EXPECT_EQ(cache.bytes(), std::string("btwocnew").size());
}

TEST(FragmentCache, AVariantWrittenInPlaceCountsAsUsedAndRecent) {
  FragmentCache cache(100, 80);
  cache.Replace("a", "<li class=new>");
  cache.Put("b", "kept");
  cache.Age();
  // Within the room a replaced value is given, longer, shorter, then beyond it: each
  // time the value, the bytes and the entry's age are as for a new entry.
  for (const std::string& value : {std::string("<li class=today>"), std::string("<li>"), std::string(70, 'z')}) {
    SCOPED_TRACE(value.size());
    cache.Replace("a", value);
    EXPECT_EQ(cache.Find("a"), value);
    EXPECT_EQ(cache.bytes(), 1 + value.size() + 1 + 4);
    EXPECT_EQ(cache.entries(), 2u);
  }
  cache.Replace("a", "<li class=new>");
  cache.Age();  // "b" was not used since the last age, "a" was made again: it stays
  EXPECT_EQ(cache.Find("a"), "<li class=new>");
  EXPECT_FALSE(cache.Find("b"));
  // The replaced entry is the most recent: the bound takes the older one first.
  cache.Put("c", std::string(30, 'c'));
  cache.Replace("a", "<li class=old>");
  cache.Put("d", std::string(60, 'd'));
  EXPECT_TRUE(cache.Find("a"));
  EXPECT_FALSE(cache.Find("c"));
}

// Entries of 10 bytes: a one-letter key and nine of value.
std::string Nine(char c) { return std::string(9, c); }

TEST(FragmentCache, APageKeepsAtMostHalfOfTheBoundAndItsThreadsCountTogether) {
  FragmentCache cache(100, 50);
  {
    PageCacheShare page;
    PageCacheScope scope(&page);
    cache.Replace("a", Nine('a'));  // kept with room for a longer variant
    for (char c : std::string("bcdefg")) cache.Put(std::string(1, c), Nine(c));
    EXPECT_EQ(cache.bytes(), 50u) << "five of seven, half of the bound";
    EXPECT_TRUE(cache.Find("e"));
    EXPECT_FALSE(cache.Find("f"));
    EXPECT_EQ(cache.Get("g", [](std::string_view) { return Nine('g'); }), Nine('g')) << "made, not kept";
    EXPECT_FALSE(cache.Find("g"));
    // A variant written in place of its own takes nothing more; a new key is refused.
    cache.Replace("a", std::string(12, 'A'));
    EXPECT_EQ(cache.Find("a"), std::string(12, 'A'));
    cache.Replace("h", Nine('h'));
    EXPECT_FALSE(cache.Find("h"));
    {
      PageCacheScope none(nullptr);  // outside any page: the bound alone
      cache.Put("i", Nine('i'));
      EXPECT_TRUE(cache.Find("i"));
    }
    cache.Put("j", Nine('j'));
    EXPECT_FALSE(cache.Find("j")) << "the page's scope is back";
  }
  // The next page has a half of its own: the older entries go by the bound as before.
  PageCacheShare next;
  auto keepFromThread = [&cache, &next](std::string letters) {
    PageCacheScope scope(&next);
    for (char c : letters) cache.Put(std::string(1, c), Nine(c));
  };
  std::thread one(keepFromThread, "klmn"), two(keepFromThread, "opqr");
  one.join();
  two.join();
  size_t kept = 0;
  for (char c : std::string("klmnopqr")) kept += cache.Find(std::string(1, c)).has_value();
  EXPECT_EQ(kept, 5u) << "two threads of one page share its half";
  EXPECT_LE(cache.bytes(), 100u);
}

}  // namespace
}  // namespace norvane
