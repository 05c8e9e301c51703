#include "app/data_module.h"

#include <algorithm>
#include <set>

#include "app/find_pages.h"
#include "core/cancellation.h"
#include "core/disk_path.h"
#include "core/program_files.h"
#include "core/route_names.h"
#include "core/settings.h"
#include "core/gate_lock.h"
#include "core/headless_shell.h"
#include "feeds/style_functions.h"
#include "gateway/icon_route.h"
#include "gateway/page_builders.h"
#include "groups/channel_page_stream.h"
#include "groups/channel_pages.h"
#include "groups/group_file_name.h"
#include "groups/group_pages.h"
#include "groups/health_page.h"
#include "groups/import_page.h"
#include "groups/opml_export.h"
#include "htr/htr_route.h"
#include "search/scrap_feeder.h"
#include "search/scrap_page.h"

namespace norvane {

TDataM::TDataM(Shell& shell) : shell_(shell) {
  ResetCancellation();  // a new module works normally, whatever an earlier one ended
  searchDoc_ = std::make_unique<SearchCatalogue>();
  searchDoc_->LoadFromFile(std::string(files::kSearch));
  dicSerch_ = std::make_unique<TRSerch>();
  dicSerch_->LoadSynonymDic(std::string(files::kDictionary));
  chList_ = std::make_unique<TChList>();
  scrapSerch_ = std::make_unique<TScrapSerch>();
  indexer_ = std::make_unique<ArchiveIndexer>(DiskPath(std::string(files::kFindIndex)));
  scrapSerch_->SetSavedHook([this](const std::string& path) { indexer_->SourceSaved(path); });
  keeper_ = std::make_unique<Keeper>(*scrapSerch_, *chList_);
  icons_ = std::make_unique<IconStore>();
  gp_ = std::make_unique<TGP>();
  try {
    // The group list for the pages (the filter page reads every group), also while no
    // patrol exists.
    gp_->LoadGpXml([](const std::string&, const std::string&, int) {});
  } catch (const std::exception& e) {
    ConsoleLine(std::string("norvane: ") + e.what());
  }
  server_ = std::make_unique<TServer>();
  // The caches make pages shown again fast; no one reading for ten minutes, their memory
  // goes back to the system and the next pages are made afresh.
  server_->SetIdleTask([] { ClearStyleCaches(); }, std::chrono::minutes(10));
  InstallRoutes();
  indexer_->Start();
}

TDataM::~TDataM() {
  // No request may use a member while it is freed.
  StopServer();
  StopPatrol();
  try {
    chList_->Save();
  } catch (const std::exception& e) {
    ConsoleLine(std::string("norvane: ") + e.what());
  }
  chList_.reset();
  searchDoc_.reset();
  keeper_.reset();
  icons_.reset();  // its search in progress gives up, its worker is joined
  scrapSerch_.reset();  // saves every book, and tells the index
  indexer_.reset();     // what it did not take in yet, the next start does
  dicSerch_.reset();
  server_.reset();
  gp_.reset();
}

void TDataM::RestartServer() { server_->Restart(); }

void TDataM::StopServer() {
  if (server_) server_->Stop();
}

bool TDataM::IsIdle() const { return patrol_ && patrol_->Active() && fetchIdle_; }

void TDataM::EndInOrder() {
  CancelOutstandingWork();
  SaveLastGroup();
  SaveChannelListIfChanged();
  SaveChangedBooks();
  // Requests end first (a patrol's nested requests to this server then fail at once),
  // then a patrol still running is waited for.
  StopServer();
  StopPatrol();
}

void TDataM::StartPatrol(TForm5& popup, std::chrono::milliseconds tick, TReroad::Refresh refresh) {
  if (!refresh) refresh = [this](const std::string& file) { return PatrolRefresh(file); };
  patrol_ = std::make_unique<TReroad>(shell_, popup, std::move(refresh), tick);
  try {
    long shortest = 0;
    gp_->LoadGpXml([this, &shortest](const std::string& file, const std::string&, int goround) {
      patrol_->AddGroup(file, goround);
      if (goround > 0 && (shortest == 0 || goround < shortest)) shortest = goround;
    });
    // A group is refreshed every goround + 1 ticks.
    const long tickSeconds = std::max<long>(1, static_cast<long>(tick.count() / 1000));
    if (shortest > 0) backoffSeconds_ = tickSeconds * (shortest + 1);
  } catch (const std::exception& e) {
    ConsoleLine(std::string("norvane: ") + e.what());
  }
  patrol_->Start();
}

void TDataM::JoinPatrol(std::vector<std::string> files) {
  // The patrol's timers belong to the main thread.
  shell_.Post([alive = std::weak_ptr<const int>(alive_), this, files = std::move(files)] {
    if (alive.expired() || !patrol_) return;
    for (const std::string& file : files) patrol_->AddGroup(file, TGP::kNewGroupInterval);
  });
}

void TDataM::StopPatrol() {
  if (!patrol_) return;
  patrol_->ClearGroups();
  patrol_->WaitForPatrol();
  patrol_.reset();
}

std::optional<std::vector<ChannelCount>> TDataM::PatrolRefresh(const std::string& file) {
  ParamList params{"u=" + file, "r=on", "sel=new"};
  GroupContext groups = Groups(FetchAsker::Patrol);
  groups.feeds.markAnswer = nullptr;  // counted, never shown
  std::optional<ChannelDocs> docs = CreateChXML(params, groups);
  SaveChangedBooks();
  if (!docs) return std::nullopt;
  std::vector<ChannelCount> counts;
  for (const auto& doc : *docs) {
    TRSS2 feed;
    feed.Assign(*doc);
    ChannelCount c;
    try {
      feed.ReadVersion();
      c.title = feed.GetTitle();
      if (auto items = feed.GetItems()) c.newItems = static_cast<int>(items->Length());
    } catch (const std::exception&) {
      // Not a feed: no line for it.
    }
    counts.push_back(std::move(c));
  }
  return counts;
}

FeedContext TDataM::Feeds() {
  FeedContext context{*chList_, {}, nullptr};
  context.dictionaryLender = dicSerch_.get();
  context.backoffBase = std::chrono::seconds(backoffSeconds_.load());
  context.makeScrapper = [this] { return MakeBookScrapper(*scrapSerch_, *dicSerch_); };
  context.logSaved = [this](const std::string& path) { indexer_->SourceSaved(path); };
  context.markAnswer = [this](TRXML& answer, const std::string& version, const std::string& url) {
    keeper_->MarkItems(answer, PathsForVersion(version).items, url);
    MarkChannelIcon(answer, version, *icons_);
  };
  return context;
}

void TDataM::SaveChangedBooks() { scrapSerch_->SaveChanged(); }

void TDataM::SaveChannelListIfChanged() {
  try {
    chList_->SaveIfChanged();
  } catch (const std::exception& e) {
    ConsoleLine(std::string("norvane: ") + e.what());
  }
}
GroupContext TDataM::Groups(FetchAsker asker) {
  GroupContext context{Feeds(),
                       [this](bool idle) {
                         SetFetchIdle(idle);
                         indexer_->Hold(!idle);  // its logs are taken in once the workers are done
                       },
                       &shell_};
  context.feeds.asker = asker;
  return context;
}

void TDataM::InstallRoutes() {
  // Their order, write checks and content types are the route table's.
  server_->SetRoute(routes::kHtrXml, HtrRoute);
  server_->SetRoute(routes::kRssHtml, [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(ctx, res, CreateRSSxml(ctx.params, false, Feeds()));
  });
  server_->SetRoute(routes::kScrapXml, [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(ctx, res, CreateScrapXml(*scrapSerch_, ctx.params));
  });
  server_->SetRoute(routes::kSearch, [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(ctx, res, CreateSearchHtml(ctx.params, *searchDoc_));
  });
  server_->SetRoute(routes::kGpHtml, [this](RouteContext& ctx, HttpResponse& res) {
    if (!ResolveGroupFile(ParamValue(ctx.params, "u"))) {  // the name leaves the group folder
      res.status = 404;
      return;
    }
    std::string page;
    {
      GateGuard lock(GateLock());
      page = CreateGpHtml(*gp_, ParamValue(ctx.params, "u"));
    }
    TServer::Respond(ctx, res, std::move(page));
  });
  server_->SetRoute(routes::kChHtml, [this](RouteContext& ctx, HttpResponse& res) {
    std::optional<std::string> file = ResolveGroupFile(ParamValue(ctx.params, "u"));
    if (!file || file->empty() || !FileExists(DiskPath(GroupFilePath(*file)))) {
      res.status = 404;
      return;
    }
    SetParamValue(ctx.params, "u", *file);
    // What no page asked for since the refresh before (items that left their feeds, pages
    // no longer shown) goes now, instead of waiting for the caches' bound.
    if (ParamValue(ctx.params, "r") == "on") AgeStyleCaches();
    // Sent as it is made; a page that fails before its first block is made whole, and
    // says why.
    if (auto stream =
            ChannelPageStream::Start(ctx.params, Groups(), [this] { SaveChangedBooks(); })) {
      TServer::Respond(ctx, res, std::move(stream));
      return;
    }
    std::string page = CreateChHtml(ctx.params, true, Groups());
    SaveChangedBooks();
    TServer::Respond(ctx, res, std::move(page));
  });
  server_->SetRoute(routes::kAddHtml, [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(ctx, res, CreateAddHtml(*gp_, ctx.params, false, ctx.editsAllowed));
  });
  server_->SetRoute(routes::kAddXml, [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(ctx, res, CreateAddHtml(*gp_, ctx.params, true, ctx.editsAllowed));
  });
  server_->SetRoute(routes::kHealthHtml, [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(ctx, res, CreateHealthHtml(*gp_, *chList_, ctx.params, ctx.editsAllowed, Feeds()));
  });
  server_->SetRoute(routes::kExportOpml, [this](RouteContext& ctx, HttpResponse& res) {
    std::vector<std::string> books;
    {
      GateGuard lock(GateLock());
      for (int i = 0; i < scrapSerch_->Count(); ++i) books.push_back(scrapSerch_->Items(i).Name);
    }
    TServer::Respond(ctx, res, CreateExportOpml(*gp_, books, GetSettings().PORT));
    res.headers.emplace_back("Content-Disposition", "attachment; filename=\"norvane.opml\"");
  });
  server_->SetRoute(routes::kImportHtml, [this](RouteContext& ctx, HttpResponse& res) {
    ImportUpload upload;
    upload.posted = ctx.request.method == "POST";
    upload.editsAllowed = ctx.editsAllowed;
    upload.incomplete = ctx.request.bodyIncomplete;
    for (const FormPart& part : ctx.request.formParts)
      if (part.isFile && part.name == "opml") {
        upload.hasFile = true;
        upload.fileName = part.fileName;
        upload.bytes = part.value;
        break;
      }
    std::set<std::string> before;
    for (const TGP::Item& item : gp_->Items()) before.insert(item.file);
    TServer::Respond(ctx, res, CreateImportHtml(*gp_, upload));
    std::vector<std::string> made;
    for (const TGP::Item& item : gp_->Items())
      if (!before.count(item.file)) made.push_back(item.file);
    if (!made.empty()) JoinPatrol(std::move(made));
  });
  server_->SetRoute(routes::kFilter, [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(ctx, res, CreateFilterHtml(*gp_, ParamValue(ctx.params, "w"), Groups()));
  });
  server_->SetRoute(routes::kFindHtml, [this](RouteContext& ctx, HttpResponse& res) {
    FindServices services{*indexer_, *keeper_, *dicSerch_, *gp_};
    AnswerFind(ctx, res, true, services);
  });
  server_->SetRoute(routes::kFindXml, [this](RouteContext& ctx, HttpResponse& res) {
    FindServices services{*indexer_, *keeper_, *dicSerch_, *gp_};
    AnswerFind(ctx, res, false, services);
  });
  server_->SetRoute(routes::kIcon, [this](RouteContext& ctx, HttpResponse& res) { AnswerIcon(ctx, res, *icons_); });
  server_->SetRoute(routes::kKeep, [this](RouteContext& ctx, HttpResponse& res) { AnswerKeep(ctx, res, *keeper_); });
}

}  // namespace norvane
