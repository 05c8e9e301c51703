#include "feeds/fragment_cache.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

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

}  // namespace
}  // namespace norvane
