#include "app/find_pages.h"

#include <optional>

#include "archive/archive_search.h"
#include "archive/find_document.h"
#include "archive/keeper.h"
#include "core/disk_path.h"
#include "core/form_token.h"
#include "core/html_text.h"
#include "core/route_names.h"
#include "core/settings.h"
#include "core/texts.h"
#include "core/url_helpers.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"
#include "gateway/page_builders.h"
#include "groups/group_catalogue.h"
#include "groups/group_file_name.h"

namespace norvane {

namespace {

void CollectUrls(const xmlNode* node, std::vector<std::string>& urls) {
  for (xmlNodePtr child = FirstChildElement(node); child; child = NextSiblingElement(child)) {
    if (!HasQualifiedName(child, "outline")) continue;
    if (FirstChildElement(child)) {
      CollectUrls(child, urls);  // a folder; nesting is bounded by the parser's depth limit
      continue;
    }
    const std::string url = CompleteLocalURL(GetAttribute(child, "xmlUrl"));
    if (!url.empty()) urls.push_back(url);
  }
}

size_t PageNumber(const std::string& p) {
  size_t n = 0;
  for (char c : p) {
    if (c < '0' || c > '9' || n > 100000) return 1;
    n = n * 10 + static_cast<size_t>(c - '0');
  }
  return n ? n : 1;
}

std::optional<uint64_t> ParseDigest(std::string_view hex) {
  if (hex.size() != 16) return std::nullopt;
  uint64_t v = 0;
  for (char c : hex) {
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return std::nullopt;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  return v;
}

// Where a form without script may be sent back to: a page of the gateway that shows items.
bool IsReturnPage(const std::string& back) {
  for (unsigned char c : back)
    if (c < 0x20 || c == 0x7F || c == '\\') return false;
  for (std::string_view page : {routes::kRssHtml, routes::kChHtml, routes::kFindHtml, routes::kFilter})
    if (back.rfind(std::string(page) + "?", 0) == 0 || back == page) return true;
  return false;
}

const char* StateName(Keeper::Outcome::Kind kind) {
  using Kind = Keeper::Outcome::Kind;
  switch (kind) {
    case Kind::Kept: return "kept";
    case Kind::AlreadyKept: return "already";
    case Kind::Dropped: return "dropped";
    case Kind::NotKept: return "not-kept";
    case Kind::NoItem: return "no-item";
    case Kind::NoBook: return "no-book";
    case Kind::Failed: return "failed";
  }
  return "";
}

std::string Message(const Keeper::Outcome& out) {
  using Kind = Keeper::Outcome::Kind;
  switch (out.kind) {
    case Kind::Kept: return T().keepDone;
    case Kind::AlreadyKept: return T().keepAlready;
    case Kind::Dropped: return T().keepDropped;
    case Kind::NotKept: return T().keepNotKept;
    case Kind::NoItem: return T().keepNoItem;
    case Kind::NoBook: return T().keepNoBook + out.book;
    case Kind::Failed: return T().keepFailed + out.message;
  }
  return {};
}

// A short page of the keep route: a message, the form again when confirm, a way back.
std::string KeepPage(const std::string& message, const ParamList& params, bool confirm, const std::string& back) {
  std::string page =
      "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"Shift_JIS\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<meta name=\"color-scheme\" content=\"light dark\"><meta name=\"referrer\" content=\"no-referrer\">"
      "<title>" + EscapeHtml(T().keepHeading) + " - Norvane</title><link rel=\"stylesheet\" href=\"/norvane.css\">"
      "</head><body class=\"page page-keep\"><main id=\"main\" class=\"wrap\"><section class=\"keep-answer\">"
      "<h1>" + EscapeHtml(T().keepHeading) + "</h1><p>" + EscapeHtml(message) + "</p>";
  if (confirm) {
    const bool drop = ParamValue(params, "keep").empty();
    page += "<form method=\"post\" action=\"keep\"><input type=\"hidden\" name=\"_charset_\">"
            "<input type=\"hidden\" name=\"token\" value=\"" +
            EscapeHtml(FormToken()) + "\">";
    for (const char* name : {"keep", "drop", "b", "back"}) {
      const std::string value = ParamValue(params, name);
      if (!value.empty())
        page += "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + EscapeHtml(value) + "\">";
    }
    page += "<button class=\"btn btn-primary\" type=\"submit\">" +
            EscapeHtml(drop ? T().dropButton : T().keepButton) + "</button></form>";
  }
  if (IsReturnPage(back)) page += "<p><a href=\"" + EscapeHtml(back) + "\">" + EscapeHtml(T().keepBack) + "</a></p>";
  page += "<p><a href=\"/\">Norvane</a></p></section></main></body></html>";
  return page;
}

}  // namespace

std::vector<std::string> GroupFeedUrls(const std::string& file) {
  std::vector<std::string> urls;
  try {
    TRXML opml;
    opml.LoadFromFile(GroupFilePath(file));
    if (xmlNodePtr body = opml.SelectSingleNode("opml/body")) CollectUrls(body, urls);
  } catch (const std::exception&) {
    // No group to read: nothing is in it.
  }
  return urls;
}

void AnswerFind(RouteContext& ctx, HttpResponse& res, bool html, FindServices& services) {
  FindRequest request;
  request.phrase = ParamValue(ctx.params, "w");
  request.page = PageNumber(ParamValue(ctx.params, "p"));
  std::string group = ParamValue(ctx.params, "u");
  if (!group.empty()) {
    request.narrowed = true;
    std::optional<std::string> file = ResolveGroupFile(group);
    if (file && !file->empty()) {
      group = *file;
      request.feedUrls = GroupFeedUrls(group);
    }
  }
  const FindResult result = FindItems(request, &services.indexer, services.lender);
  if (result.outcome == FindResult::Outcome::TooLong) res.status = 400;
  TRXML doc;
  const std::string local = "http://localhost:" + std::to_string(GetSettings().PORT) + "/";
  xmlNodePtr find = BuildFindDocument(doc, request, result, group, local);
  if (!html) {
    TServer::Respond(ctx, res, doc.XMLWithEncoding());
    return;
  }
  try {
    services.groups.CopyItemsTo(find);  // the groups a search may be narrowed to
    services.keeper.MarkItems(doc, "rss/channel/item", "");
    TServer::Respond(ctx, res, TransformWithStyle(doc, "rss.xsl"));
  } catch (const std::exception& e) {
    TServer::Respond(ctx, res, T().xsltFailed + EscapeHtml(e.what()));
  }
}

void AnswerKeep(RouteContext& ctx, HttpResponse& res, Keeper& keeper) {
  const ParamList& params = ctx.params;
  const std::string keep = ParamValue(params, "keep");
  const std::string drop = ParamValue(params, "drop");
  const std::string back = ParamValue(params, "back");
  const bool script = ParamValue(params, "js") == "on";
  auto answer = [&](const std::string& state, const std::string& message, bool confirm) {
    if (script) {
      TServer::Respond(res, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<keep state=\"" + state + "\">" +
                                EscapeHtml(message) + "</keep>", "text/XML");
    } else {
      TServer::Respond(res, KeepPage(message, params, confirm, back), "text/html");
    }
  };
  // The digest first, then the feed's URL (keep); the digest alone (drop).
  const std::string& what = keep.empty() ? drop : keep;
  const size_t space = what.find(' ');
  const std::optional<uint64_t> digest = ParseDigest(what.substr(0, space));
  const std::string url = space == std::string::npos ? std::string() : what.substr(space + 1);
  if (!digest || (!keep.empty() && url.empty())) {
    res.status = 400;
    answer("bad", T().keepNoItem, false);
    return;
  }
  if (!ctx.editsAllowed || ctx.request.method != "POST") {
    answer("confirm", keep.empty() ? T().dropConfirm : T().keepConfirm, true);
    return;
  }
  const std::string book = ParamValue(params, "b");
  const Keeper::Outcome out = keep.empty() ? keeper.Drop(*digest, book) : keeper.Keep(url, *digest, book);
  using Kind = Keeper::Outcome::Kind;
  const bool done = out.kind == Kind::Kept || out.kind == Kind::AlreadyKept || out.kind == Kind::Dropped ||
                    out.kind == Kind::NotKept;
  if (!done) res.status = out.kind == Kind::Failed ? 500 : 404;
  if (done && !script && IsReturnPage(back)) {
    // Bytes past ASCII (a group name in Shift_JIS) go escaped: a header holds ASCII.
    std::string location = "/";
    for (unsigned char c : back) {
      static const char* hex = "0123456789ABCDEF";
      if (c < 0x80 && c != ' ') {
        location.push_back(static_cast<char>(c));
      } else {
        location += '%';
        location += hex[c >> 4];
        location += hex[c & 15];
      }
    }
    res.status = 303;
    res.headers.emplace_back("Location", location);
    res.contentType = "text/html";
    res.body = KeepPage(Message(out), params, false, back);
    return;
  }
  answer(StateName(out.kind), Message(out), false);
}

}  // namespace norvane
