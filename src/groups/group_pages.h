#pragma once
#include <string>

#include "core/params.h"
#include "groups/channel_pages.h"
#include "groups/group_catalogue.h"

namespace norvane {

// The group page "gp.html": the catalogue, the chosen group (u, else the last shown,
// else the first) and its whole OPML file, through "gp.xsl"; the root carries the form
// token in `token`. A u whose file does not exist is not remembered. The caller holds
// GateLock. Never throws: a failure is "RSSグループの作成に失敗" and its message, escaped.
std::string CreateGpHtml(TGP& gp, const std::string& file);

// The add page: appends u to the group file opml (the last shown with last=on) and says
// how it went; the document itself when xmlOnly ("add.xml"), else through "add.xsl".
// Without editsAllowed nothing is appended: the form comes back filled in, with result's
// confirm="on", for the user to confirm. The page's root carries the form token in
// `token`. Never throws.
std::string CreateAddHtml(TGP& gp, const ParamList& params, bool xmlOnly, bool editsAllowed = true);

// The filter page: today's items holding word, across every group in catalogue order,
// in the frame of an empty group name. Throws when the frame cannot be made.
std::string CreateFilterHtml(TGP& gp, const std::string& word, const GroupContext& context);

}  // namespace norvane
