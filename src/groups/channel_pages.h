#pragma once
#include <libxml/tree.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/params.h"
#include "core/shell.h"
#include "feeds/page_cache_share.h"
#include "feeds/rss.h"
#include "feeds/style_cache.h"
#include "groups/fetch_workers.h"

namespace norvane {

// What a group refresh shares with the rest of the program: the feed path, the data
// module's FetchIdle flag (the setter is called with GateLock held) and the shell whose
// tray shows the progress (none: no tray).
struct GroupContext {
  FeedContext feeds;
  std::function<void(bool idle)> setFetchIdle;
  Shell* tray = nullptr;
};

using ChannelDocs = std::vector<std::unique_ptr<TRXML>>;

// Walks the outlines under node: a folder (an outline with child nodes) is walked in
// turn, every other outline is a feed whose xmlUrl, completed, becomes u of params
// (removed when empty); the list, as comma text, is appended to paramTexts.
void CollectFeedParams(const xmlNode* node, ParamList& params, std::vector<std::string>& paramTexts);

// The group refresh: every feed of "opmls\<u>" through the fetch workers, with the
// request's own parameters. One channel document per feed in file order; nullopt when
// the group file cannot be read or walked. FetchIdle is false while the workers run.
// finish, when given, sees each document on its worker as soon as it is parsed.
std::optional<ChannelDocs> CreateChXML(const ParamList& params, const GroupContext& context,
                                       TRTMnage::Finish finish = {});
// Its two steps. The parameter texts of the group's feeds; nullopt when the group file
// cannot be read or walked.
std::optional<std::vector<std::string>> GroupFeedParams(const ParamList& params);
// The refresh of those feeds; prepare, when given, sets the manager up before it runs.
// nullopt when the workers could not be run.
std::optional<ChannelDocs> RefreshGroup(std::vector<std::string> paramTexts,
                                        const GroupContext& context, TRTMnage::Finish finish = {},
                                        const std::function<void(TRTMnage&)>& prepare = {});

// Renders channel documents with the style's "chs.xsl", on several workers at once.
class ChannelRenderer {
 public:
  ChannelRenderer();  // compiles the stylesheet, or keeps it to tell why each block fails
  // The channel's block; a failure becomes its text.
  std::string Render(const TRXML& doc);

 private:
  std::shared_ptr<const CompiledStyle> compiled_;
  std::mutex mutex_;  // guards style_ (one document)
  TRXML style_;
  PageCacheShare cacheShare_;  // the page's, for every block of it
};

// The frame of the group page: "ch.xsl" applied to a chbody element whose file is the
// name (inserted as it stands) and whose text is "%s"; a non-empty word (the filter
// page's keyword) goes along as its attribute w, the form token as token. Throws when
// it cannot be made.
std::string CreateChFrame(const std::string& file, const std::string& word = {});

// The frame before and after its place for the blocks (see FillFrame); nullopt when it
// has none.
struct FrameParts {
  std::string head, tail;
};
std::optional<FrameParts> SplitFrame(const std::string& frame);

// Puts text in place of the frame's "%s", replacing nothing else, so a "%" elsewhere in
// the frame is harmless. The place is the last "%s": a group name holding one shows in
// the frame's title and links before the blocks. A frame without "%s" stays as it is.
std::string FillFrame(const std::string& frame, const std::string& text);
// The same with the text in pieces, each emptied as soon as it is copied.
std::string FillFrame(const std::string& frame, std::vector<std::string>& pieces);

// The group page: every channel of the group rendered with "chs.xsl", in the frame when
// withFrame. Failures become the page's text.
std::string CreateChHtml(const ParamList& params, bool withFrame, const GroupContext& context);

}  // namespace norvane
