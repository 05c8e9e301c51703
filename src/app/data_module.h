#pragma once
#include <atomic>
#include <memory>

#include "archive/archive_indexer.h"
#include "archive/keeper.h"
#include "feeds/chlist.h"
#include "feeds/icon_store.h"
#include "feeds/rss.h"
#include "gateway/server.h"
#include "groups/channel_pages.h"
#include "groups/group_catalogue.h"
#include "groups/patrol.h"
#include "pattern/rserch.h"
#include "search/scrap_collection.h"
#include "search/search_catalogue.h"

namespace norvane {

// The data module: the one owner of the objects every request shares. Created once at
// start after the settings, destroyed at the end, after the server has stopped and
// before GateLock goes.
class TDataM {
 public:
  // Loads "search.xml" (its absence is an error that ends the start), "dic.csv", the
  // channel list, then creates the server, which does not listen yet. shell is the
  // desktop (tray, timers, popup) for the module's whole life.
  explicit TDataM(Shell& shell);
  ~TDataM();
  TDataM(const TDataM&) = delete;
  TDataM& operator=(const TDataM&) = delete;

  // Makes the server listen on the current PORT; throws when it cannot.
  void RestartServer();
  // Stops the server: no request runs after this returns.
  void StopServer();
  // The orderly end, whatever asked for it: outstanding fetches, scripts and programs
  // are cancelled, LASTOPML, the channel list and the changed scrapbooks are saved, the
  // server finishes or drops its requests, a running patrol is waited for. The
  // destructor then saves everything once more.
  void EndInOrder();

  // True when no group refresh runs and the patrol exists and is not running.
  bool IsIdle() const;

  // Creates the patrol with every group of the catalogue and starts its timer (on the
  // main thread). tick is the patrol period (ten minutes).
  // refresh replaces the group refresh of each patrol step (tests); none: PatrolRefresh.
  void StartPatrol(TForm5& popup, std::chrono::milliseconds tick, TReroad::Refresh refresh = {});
  // Stops the patrol's timer and waits for a patrol still running; then frees it.
  void StopPatrol();
  // Groups made while the program runs (an OPML import) join the patrol at once.
  void JoinPatrol(std::vector<std::string> files);
  // The patrol, if started (read on the main thread).
  const TReroad* Patrol() const { return patrol_.get(); }
  // One group refreshed the patrol's way (r=on, sel=new): new items per channel.
  std::optional<std::vector<ChannelCount>> PatrolRefresh(const std::string& file);
  // Callers hold GateLock.
  void SetFetchIdle(bool idle) { fetchIdle_ = idle; }
  bool FetchIdle() const { return fetchIdle_; }

  // What a feed request of this process shares.
  FeedContext Feeds();
  // What a group refresh shares: the feeds and FetchIdle. A patrol asks as the patrol
  // (keeping every wait of feed_health.h), a page as a person refreshing a group.
  GroupContext Groups(FetchAsker asker = FetchAsker::Group);

  AccessLog& accessLog() { return server_->accessLog(); }
  TServer& server() { return *server_; }
  SearchCatalogue& SearchDoc() { return *searchDoc_; }
  TRSerch& DicSerch() { return *dicSerch_; }
  TChList& ChList() { return *chList_; }
  // Only under GateLock.
  TScrapSerch& ScrapSerch() { return *scrapSerch_; }

  // Saves the scrapbooks that changed since their last save (after a group refresh,
  // and on a timer), so an unclean end loses at most a minute of them.
  void SaveChangedBooks();
  // Writes the channel list when it changed; a failure is one line on standard error.
  void SaveChannelListIfChanged();
  TGP& GroupCatalogue() { return *gp_; }
  // The archive index, kept in line with the logs and books in the background.
  ArchiveIndexer& Indexer() { return *indexer_; }
  Keeper& Keeping() { return *keeper_; }
  IconStore& Icons() { return *icons_; }

 private:
  void InstallRoutes();

  Shell& shell_;
  std::atomic<bool> fetchIdle_{true};
  // The shortest patrol interval of any group, in seconds: the first back-off of a failing feed.
  std::atomic<long> backoffSeconds_{600};
  std::unique_ptr<SearchCatalogue> searchDoc_;
  std::unique_ptr<TRSerch> dicSerch_;
  std::unique_ptr<TChList> chList_;
  std::unique_ptr<TScrapSerch> scrapSerch_;
  std::unique_ptr<ArchiveIndexer> indexer_;  // told of every log and book written
  std::unique_ptr<Keeper> keeper_;
  std::unique_ptr<IconStore> icons_;  // the sites' icons and their background search
  std::unique_ptr<TGP> gp_;          // the one group catalogue, used by the server's pages
  std::unique_ptr<TServer> server_;  // created last
  std::unique_ptr<TReroad> patrol_;  // none until StartPatrol
  // Held as long as the module lives: a task it posted to the main thread looks at it first.
  std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

}  // namespace norvane
