#pragma once
// A program folder with a channel list and a local feed server: the home of the tests
// that run one feed request through TRSS.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "support/feed_server.h"
#include "support/program_home.h"

namespace norvane::test {

class ChannelHome : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.Write("channels/.keep", "");
    list_ = std::make_unique<TChList>("channels/ChannelList.xml");
  }
  // The request for the feed at path, without scrapbooks.
  RPARAMS Params(const std::string& path, bool reload) const {
    RPARAMS p;
    p.URL = server_.Url(path);
    p.Reload = reload;
    p.Scrap = false;
    return p;
  }
  FeedContext Context() { return FeedContext{*list_, {}, nullptr}; }

  ProgramHome home_;
  FeedServer server_;
  std::unique_ptr<TChList> list_;
};

}  // namespace norvane::test
