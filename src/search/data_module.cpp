#include "search/data_module.h"

#include "core/headless_shell.h"
#include "gateway/page_builders.h"
#include "htr/htr_route.h"
#include "search/scrap_feeder.h"
#include "search/scrap_page.h"

namespace norvane {

namespace {
TDataM* g_module = nullptr;
}  // namespace

TDataM& DataModule() { return *g_module; }
void SetDataModule(TDataM* module) { g_module = module; }

TDataM::TDataM() {
  searchDoc_ = std::make_unique<SearchCatalogue>();
  searchDoc_->LoadFromFile("search.xml");
  dicSerch_ = std::make_unique<TRSerch>();
  dicSerch_->LoadSynonymDic("dic.csv");
  chList_ = std::make_unique<TChList>();
  scrapSerch_ = std::make_unique<TScrapSerch>();
  server_ = std::make_unique<TServer>();
  InstallRoutes();
}

TDataM::~TDataM() {
  // No request may use a member while it is freed.
  StopServer();
  try {
    chList_->Save();
  } catch (const std::exception& e) {
    ConsoleLine(std::string("norvane: ") + e.what());
  }
  chList_.reset();
  searchDoc_.reset();
  scrapSerch_.reset();  // saves every book
  dicSerch_.reset();
  server_.reset();
}

void TDataM::RestartServer() { server_->Restart(); }

void TDataM::StopServer() {
  if (server_) server_->Stop();
}

bool TDataM::IsIdle() const { return fetchIdle_; }

FeedContext TDataM::Feeds() {
  FeedContext context{*chList_, {}, nullptr};
  context.dictionaryLender = dicSerch_.get();
  context.makeScrapper = [this] { return MakeBookScrapper(*scrapSerch_, *dicSerch_); };
  return context;
}

void TDataM::SaveChangedBooks() { scrapSerch_->SaveChanged(); }

void TDataM::InstallRoutes() {
  server_->SetRoute("htr.xml", HtrRoute);
  server_->SetRoute("rss.html", [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(res, CreateRSSxml(ctx.params, false, Feeds()), "text/html");
  });
  server_->SetRoute("scrap.xml", [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(res, CreateScrapXml(*scrapSerch_, ctx.params), "text/XML");
  });
  server_->SetRoute("search", [this](RouteContext& ctx, HttpResponse& res) {
    TServer::Respond(res, CreateSearchHtml(ctx.params, *searchDoc_), "text/html");
  });
}

}  // namespace norvane
