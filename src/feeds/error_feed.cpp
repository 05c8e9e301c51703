#include "feeds/error_feed.h"

#include "core/texts.h"
#include "core/url_helpers.h"

namespace norvane {

std::string ErrorFeed(const std::string& message) {
  // A "]]>" inside the message would end the section early and break the document.
  std::string safe = ReplaceAll(message, "]]>", "]]]]><![CDATA[>");
  return "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"
         "<rdf:RDF xmlns=\"http://purl.org/rss/1.0/\" "
         "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xml:lang=\"ja\" >"
         "<channel rdf:about=\"\"><title>" +
         T().errorFeedTitle + "</title><link></link><description><![CDATA[" + safe +
         "]]></description></channel></rdf:RDF>";
}

}  // namespace norvane
