// The archive index as a cache: made again when it is gone, damaged or of another layout,
// kept in line with the saves it is told of and with what changed while it was not
// running, and left aside (the files read instead) when it cannot be written.
#include "archive/archive_indexer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "archive/archive_home.h"
#include "archive/archive_index.h"

namespace norvane::test {
namespace {

using namespace std::chrono_literals;

class ArchiveIndexTest : public ArchiveHome {
 protected:
  void SetUp() override {
    ArchiveHome::SetUp();
    WriteArchive(11, 8, 30);
  }
  void Start() {
    indexer_ = std::make_unique<ArchiveIndexer>(DiskPath("find-index.db"));
    indexer_->Start();
    ASSERT_TRUE(indexer_->WaitSettled(60s));
  }
  void Stop() { indexer_.reset(); }
  // Found through the index, and the index was ready.
  std::vector<std::string> Found(const std::string& phraseUtf8) {
    FindRequest r;
    r.phrase = S(phraseUtf8);
    FindResult first;
    std::vector<std::string> links = AllPages(r, indexer_.get(), lender_, &first);
    EXPECT_FALSE(first.scanned) << first.index.reason;
    return links;
  }
  int64_t IndexedItems() {
    int64_t n = -1;
    indexer_->Read([&](IndexReader& reader) { n = reader.ItemCount(); });
    return n;
  }
  std::unique_ptr<ArchiveIndexer> indexer_;
};

TEST_F(ArchiveIndexTest, AMissingIndexIsMadeFromTheFiles) {
  Start();
  EXPECT_EQ(indexer_->Status().state, IndexStatus::State::Ready);
  EXPECT_EQ(IndexedItems(), 8 * 30);
  EXPECT_EQ(Found("ニュース"), Verdict(feeds_, S("ニュース"), lender_));
  EXPECT_TRUE(home_.Exists("find-index.db"));
}

TEST_F(ArchiveIndexTest, TheIndexIsMadeAgainAfterItWasDeleted) {
  Start();
  const std::vector<std::string> before = Found("ガソリン OR Linux");
  Stop();
  RemoveIndexFiles(DiskPath("find-index.db"));
  ASSERT_FALSE(home_.Exists("find-index.db"));
  Start();
  EXPECT_EQ(Found("ガソリン OR Linux"), before);
  EXPECT_EQ(before, Verdict(feeds_, S("ガソリン OR Linux"), lender_));
}

TEST_F(ArchiveIndexTest, ADamagedIndexIsMadeAgain) {
  Start();
  Stop();
  const std::string path = home_ / "find-index.db";
  const auto size = std::filesystem::file_size(path);
  ASSERT_GT(size, 8192u);
  struct Damage {
    const char* what;
    std::streamoff at;
    std::string bytes;
  };
  const Damage damages[] = {
      {"its header", 0, std::string(100, 'x')},
      {"its pages", 4096, std::string(static_cast<size_t>(size) - 8192, '\x5a')},
      {"everything", 0, "not a database at all"},
  };
  for (const Damage& d : damages) {
    RemoveIndexFiles(path);  // a fresh, whole index to damage
    Start();
    Stop();
    {
      std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
      if (d.bytes.size() < 100) f = std::fstream(path, std::ios::out | std::ios::binary | std::ios::trunc);
      f.seekp(d.at);
      f.write(d.bytes.data(), static_cast<std::streamsize>(d.bytes.size()));
    }
    Start();
    EXPECT_EQ(indexer_->Status().state, IndexStatus::State::Ready) << d.what;
    EXPECT_EQ(IndexedItems(), 8 * 30) << d.what;
    EXPECT_EQ(Found("パソコン 記事"), Verdict(feeds_, S("パソコン 記事"), lender_)) << d.what;
    Stop();
  }
}

TEST_F(ArchiveIndexTest, AnIndexOfAnotherLayoutIsMadeAgain) {
  Start();
  Stop();
  {
    SqliteDb db(DiskPath("find-index.db"), false);
    db.Exec("DROP TABLE items; CREATE TABLE items(x); PRAGMA user_version=" + std::to_string(kIndexLayout + 1));
  }
  Start();
  EXPECT_EQ(IndexedItems(), 8 * 30);
  EXPECT_EQ(Found("天気"), Verdict(feeds_, S("天気"), lender_));
}

TEST_F(ArchiveIndexTest, SavesTheIndexIsToldOfAreTakenIn) {
  Start();
  // A log that lost its older items, one that came new, one that went.
  feeds_[0].items.resize(5);
  home_.Write(feeds_[0].file, LogXml(feeds_[0]));
  GeneratedFeed fresh = GenerateArchive(99, 1, 12)[0];
  fresh.url = "http://feeds.example/fresh";
  fresh.file = "channels/fresh.xml";
  for (auto& i : fresh.items) {
    i.link += "-fresh";
    i.date -= 50000000;  // apart from every other item's date
  }
  home_.Write(fresh.file, LogXml(fresh));
  std::filesystem::remove(home_ / feeds_[1].file);
  for (const std::string& path : {feeds_[0].file, fresh.file, feeds_[1].file}) indexer_->SourceSaved(path);
  indexer_->SourceSaved("channels/ChannelList.xml");  // no source: nothing happens
  ASSERT_TRUE(indexer_->WaitSettled(30s));
  feeds_.erase(feeds_.begin() + 1);
  feeds_.push_back(fresh);
  EXPECT_EQ(IndexedItems(), 5 + 6 * 30 + 12);
  for (const char* phrase : {"の", "ニュース 記事", "Linux"})
    EXPECT_EQ(Found(phrase), Verdict(feeds_, S(phrase), lender_)) << phrase;
}

// A group refresh holds the index: the logs its workers write are taken in after them.
TEST_F(ArchiveIndexTest, SavesWaitWhileAGroupRefreshHoldsTheIndex) {
  Start();
  indexer_->Hold(true);
  indexer_->Hold(true);  // two refreshes at once
  GeneratedFeed fresh = GenerateArchive(5, 1, 4)[0];
  fresh.file = "channels/held.xml";
  home_.Write(fresh.file, LogXml(fresh));
  indexer_->SourceSaved(fresh.file);
  EXPECT_FALSE(indexer_->WaitSettled(0ms)) << "held: the save waits";
  EXPECT_EQ(IndexedItems(), 8 * 30);
  indexer_->Hold(false);
  EXPECT_FALSE(indexer_->WaitSettled(0ms)) << "one refresh still runs";
  indexer_->Hold(false);
  ASSERT_TRUE(indexer_->WaitSettled(30s));
  EXPECT_EQ(IndexedItems(), 8 * 30 + 4);
}

// What changed while nothing was told (a run ended by kill -9 before its queue was
// done) is found by the files' stamps at the next start.
TEST_F(ArchiveIndexTest, WhatChangedWhileItWasNotRunningIsTakenInAtTheStart) {
  Start();
  Stop();
  feeds_[3].items.resize(2);
  feeds_[3].items[1].title = "ずっと後で足した題";
  home_.Write(feeds_[3].file, LogXml(feeds_[3]));
  std::filesystem::remove(home_ / feeds_[4].file);
  feeds_.erase(feeds_.begin() + 4);
  Start();
  EXPECT_EQ(IndexedItems(), 6 * 30 + 2);
  EXPECT_EQ(Found("ずっと後"), Verdict(feeds_, S("ずっと後"), lender_));
  EXPECT_EQ(Found("の"), Verdict(feeds_, S("の"), lender_));
}

TEST_F(ArchiveIndexTest, AnIndexThatCannotBeWrittenLeavesTheSearchToTheFiles) {
  mkdir((home_ / "find-index.db").c_str(), 0755);  // no file can be made there
  Start();
  const IndexStatus status = indexer_->Status();
  EXPECT_EQ(status.state, IndexStatus::State::Unavailable);
  EXPECT_FALSE(status.reason.empty());
  FindRequest r;
  r.phrase = S("ガソリン");
  FindResult first;
  EXPECT_EQ(AllPages(r, indexer_.get(), lender_, &first), Verdict(feeds_, S("ガソリン"), lender_));
  EXPECT_TRUE(first.scanned);
  EXPECT_EQ(first.index.state, IndexStatus::State::Unavailable);
}

}  // namespace
}  // namespace norvane::test
