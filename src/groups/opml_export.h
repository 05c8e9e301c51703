#pragma once
#include <string>
#include <vector>

#include "groups/group_catalogue.h"

namespace norvane {

// Every subscription as one OPML 2.0 file in UTF-8, for other readers ("export.opml"):
// one folder outline per catalogue group in catalogue order, titled as the catalogue
// titles it (text and title), holding the group's feeds, its nested folders flattened,
// each as <outline text title type="rss" xmlUrl htmlUrl description>; then a folder of
// the scrapbooks (Shift_JIS names), each a feed of the gateway's scrap.xml. Addresses
// of the gateway itself (htr.xml, scrap.xml) become absolute on http://localhost:port,
// bytes outside ASCII percent-encoded. A group file that cannot be read gives an empty
// folder. Texts are copied DOM to DOM: nothing is lost to Shift_JIS. Never throws for a
// group; throws XmlError when the catalogue has no root.
std::string CreateExportOpml(const TGP& gp, const std::vector<std::string>& scrapbooks, int port);

}  // namespace norvane
