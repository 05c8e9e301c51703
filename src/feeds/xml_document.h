#pragma once
#include <libxml/tree.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace norvane {

// A failed document operation; the message is Shift_JIS.
class XmlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Prepares libxml2 and libxslt once per process: parser globals, "Shift_JIS" read as
// CP932, stylesheets barred from writing files and from the network. Every entry point
// of the feed documents calls it; it is cheap after the first time.
void XmlInit();

// Messages libxslt gave on this thread (stylesheet compile errors); callers clear it.
std::string& XsltMessages();

// Options of every parse: no network, no DTD loading, no entity substitution (the
// library's amplification limits stay on), no validation, white-space-only text dropped,
// names owned by their nodes so nodes can move between documents, no console noise.
inline constexpr int kXmlParseOptions = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NODICT |
                                        XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// The options for these bytes: documents past the library's 10 MB text limit are read
// too (a feed may be fetched up to the fetch cap, and its log must read back), but only
// when they declare no entities, since the large-document mode also lifts the limits on
// entity expansion.
int ParseOptionsFor(std::string_view bytes);

// The largest document file the program writes, and so reads: a channel log holds a
// feed of up to the 32 MiB fetch cap plus the items it keeps from the past.
inline constexpr size_t kMaxDocumentFileBytes = 128u * 1024 * 1024;

// One libxml2 document together with the nodes that were detached from it (removed,
// cloned, or created and not yet placed). Detached nodes stay alive until the document
// goes, so a node list that still names a removed node never dangles.
class XmlDocument : public std::enable_shared_from_this<XmlDocument> {
 public:
  // Takes ownership of doc; nullptr makes a new empty document.
  explicit XmlDocument(xmlDocPtr doc = nullptr);
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  xmlDocPtr doc() const { return doc_; }
  xmlNodePtr node() const { return reinterpret_cast<xmlNodePtr>(doc_); }

  // Whether serialisation starts with the XML declaration.
  bool declaration = false;

  void KeepDetached(xmlNodePtr n) { detached_.insert(n); }
  void Reattached(xmlNodePtr n) { detached_.erase(n); }

  // The holder of the document a node belongs to. Only for nodes of documents made here
  // (never a transformation result).
  static XmlDocument* Of(const xmlNode* n);

 private:
  xmlDocPtr doc_;
  std::unordered_set<xmlNodePtr> detached_;
};

using XmlDocumentRef = std::shared_ptr<XmlDocument>;

// A fixed list of elements: later removals, moves or additions change neither its
// length nor its entries. It keeps the document of its nodes alive.
class NodeList {
 public:
  NodeList() = default;
  NodeList(std::shared_ptr<const XmlDocument> keep, std::vector<xmlNodePtr> nodes)
      : keep_(std::move(keep)), nodes_(std::move(nodes)) {}

  size_t Length() const { return nodes_.size(); }
  bool empty() const { return nodes_.empty(); }
  // nullptr past the end.
  xmlNodePtr Item(size_t i) const { return i < nodes_.size() ? nodes_[i] : nullptr; }
  xmlNodePtr operator[](size_t i) const { return nodes_[i]; }
  auto begin() const { return nodes_.begin(); }
  auto end() const { return nodes_.end(); }

 private:
  std::shared_ptr<const XmlDocument> keep_;
  std::vector<xmlNodePtr> nodes_;
};

}  // namespace norvane
