#include "app/scrap_dialog_state.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

TEST(ScrapDialogState, AddFollowsTheFieldAndRemoveTheSelection) {
  ScrapDialogState s;
  EXPECT_FALSE(s.CanAdd());
  EXPECT_FALSE(s.CanRemove());
  EXPECT_FALSE(s.Add());  // nothing typed: nothing added
  EXPECT_FALSE(s.Remove());

  s.EditKeyword("rss");
  EXPECT_TRUE(s.CanAdd());
  ASSERT_TRUE(s.Add());
  EXPECT_EQ(s.entry(), "");
  EXPECT_FALSE(s.CanAdd());
  s.EditKeyword("rss");  // the same keyword again
  ASSERT_TRUE(s.Add());
  s.EditKeyword("ニュース");
  ASSERT_TRUE(s.Add());
  EXPECT_EQ(s.keywords(), (std::vector<std::string>{"rss", "rss", "ニュース"}));
  EXPECT_FALSE(s.CanRemove());  // adding selects nothing

  s.Select(1);
  EXPECT_TRUE(s.CanRemove());
  ASSERT_TRUE(s.Remove());
  EXPECT_EQ(s.keywords(), (std::vector<std::string>{"rss", "ニュース"}));
  EXPECT_EQ(s.selected(), -1);
  EXPECT_FALSE(s.CanRemove());
  EXPECT_FALSE(s.Remove());

  // Picks outside the list pick nothing.
  for (int index : {-1, 2, 99}) {
    s.Select(0);
    s.Select(index);
    EXPECT_EQ(s.selected(), -1) << index;
    EXPECT_FALSE(s.CanRemove()) << index;
  }
  s.EditKeyword("x");
  s.EditKeyword("");  // cleared by hand
  EXPECT_FALSE(s.CanAdd());
}

}  // namespace
}  // namespace norvane
