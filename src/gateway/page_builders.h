#pragma once
#include <string>

#include "core/params.h"
#include "feeds/rss.h"

namespace norvane {

class SearchCatalogue;

// The stylesheet file of the current style: "xsls/<XSL_STYLE>/<file>". A stylesheet of a
// page added later (not one of files::kFirstStyleFiles) that the style lacks is Default's.
std::string StylePath(const std::string& file);

// Transforms the document with the style's stylesheet file; the output as Shift_JIS.
// Throws XmlError when the stylesheet does not load or the transformation fails.
std::string TransformWithStyle(const TRXML& doc, const std::string& styleFile);

// The feed request record from a parameter list: r only "on" reloads; d and scrap are
// off only when exactly "off".
RPARAMS MakeRParams(const ParamList& params);

// One feed: its channel document (xmlOnly), or its page through "rss.xsl".
std::string CreateRSSxml(const ParamList& params, bool xmlOnly, const FeedContext& context);
// One feed's channel document, as CreateRSSxml(params, true, context) gives it as text,
// loaded into `into`. A stored log read as it stands is handed over as parsed: writing it
// out and parsing it again (a group page's every feed when nothing is fetched) cost a
// second parse, the whole text and its buffers on every worker at once. Throws when
// nothing can be loaded.
void LoadChannelDocument(const ParamList& params, const FeedContext& context, TRXML& into);

// A search through the catalogue's engine u for the phrase w, shown as a feed page.
std::string CreateSearchHtml(const ParamList& params, const SearchCatalogue& catalogue);

}  // namespace norvane
