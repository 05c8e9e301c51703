#pragma once
#include <string>
#include <vector>

#include "core/params.h"
#include "feeds/chlist.h"
#include "feeds/rss.h"
#include "groups/group_catalogue.h"

namespace norvane {

// A feed of the groups and the groups that hold it (file names, with their titles).
struct GroupedFeed {
  std::string url;    // as the channel list keys it (CompleteLocalURL)
  std::string title;  // the outline's text or title
  std::vector<std::pair<std::string, std::string>> groups;  // file, title
};

// Every feed of every group of the catalogue, each once, in catalogue order.
std::vector<GroupedFeed> FeedsOfGroups(const TGP& gp);

// The document health.xsl is given: a health root (token, message) holding one feed
// element per grouped feed with a problem, worst first, each with its record as
// attributes, its notice and its groups. Shift_JIS.
std::string CreateHealthXml(const TGP& gp, TChList& channels, const std::string& message);

// The health page. do=move (the feed u takes the address it moved to in every group
// file, and its channel entry and log go with it), do=remove (u leaves every group; its
// log stays), do=retry (u is fetched now, as its reader would). Without editsAllowed
// nothing is done: the page asks to confirm. Never throws.
std::string CreateHealthHtml(TGP& gp, TChList& channels, const ParamList& params, bool editsAllowed,
                             FeedContext feeds);

// Rewrites every outline of the group files whose feed is from: to to, or (to empty)
// removes it. Under GroupFileLock, each file written atomically. The number of outlines
// changed; throws when a file that holds from cannot be written.
int RewriteFeedInGroups(const TGP& gp, const std::string& from, const std::string& to);

}  // namespace norvane
