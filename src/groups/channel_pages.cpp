#include "groups/channel_pages.h"

#include <map>
#include <mutex>
#include <stdexcept>

#include "core/comma_text.h"
#include "core/disk_path.h"
#include "core/form_token.h"
#include "core/gate_lock.h"
#include "core/html_text.h"
#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/style_cache.h"
#include "feeds/xml_node.h"
#include "feeds/xml_path.h"
#include "gateway/page_builders.h"
#include "groups/fetch_workers.h"
#include "groups/group_file_name.h"

namespace norvane {

namespace {

// FetchIdle is false for exactly as long as the workers run, whatever ends the run.
class FetchBusy {
 public:
  explicit FetchBusy(const std::function<void(bool)>& set) : set_(set) { Set(false); }
  ~FetchBusy() { Set(true); }
  FetchBusy(const FetchBusy&) = delete;
  FetchBusy& operator=(const FetchBusy&) = delete;

 private:
  void Set(bool idle) {
    if (!set_) return;
    GateGuard lock(GateLock());
    set_(idle);
  }
  const std::function<void(bool)>& set_;
};

}  // namespace

void CollectFeedParams(const xmlNode* node, ParamList& params,
                       std::vector<std::string>& paramTexts) {
  // Nesting is bounded by the parser's depth limit.
  for (xmlNodePtr child = FirstChildElement(node); child; child = NextSiblingElement(child)) {
    if (!HasQualifiedName(child, "outline")) continue;
    // A folder holds outlines; an exported feed outline may hold white space only.
    if (FirstChildElement(child)) {
      CollectFeedParams(child, params, paramTexts);
      continue;
    }
    SetParamValue(params, "u", CompleteLocalURL(GetAttribute(child, "xmlUrl")));
    paramTexts.push_back(WriteCommaText(params));
  }
}

std::optional<std::vector<std::string>> GroupFeedParams(const ParamList& params) {
  try {
    const std::string file = ParamValue(params, "u");
    if (file.empty() || !StaysInside(file)) return std::nullopt;
    TRXML opml;
    opml.LoadFromFile(GroupFilePath(file));
    xmlNodePtr body = opml.SelectSingleNode("opml/body");
    if (!body) return std::nullopt;
    std::vector<std::string> paramTexts;
    ParamList list = params;
    CollectFeedParams(body, list, paramTexts);
    return paramTexts;
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
    return std::nullopt;
  }
}

std::optional<ChannelDocs> RefreshGroup(std::vector<std::string> paramTexts,
                                        const GroupContext& context, TRTMnage::Finish finish,
                                        const std::function<void(TRTMnage&)>& prepare) {
  try {
    const FeedContext& feeds = context.feeds;
    TRTMnage manager(
        std::move(paramTexts),
        [&feeds](const ParamList& p, TRXML& into) { LoadChannelDocument(p, feeds, into); }, context.tray,
        std::move(finish));
    if (prepare) prepare(manager);
    {
      FetchBusy busy(context.setFetchIdle);
      manager.Run();
    }
    return std::move(manager.Results());
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
    return std::nullopt;
  }
}

std::optional<ChannelDocs> CreateChXML(const ParamList& params, const GroupContext& context,
                                       TRTMnage::Finish finish) {
  std::optional<std::vector<std::string>> paramTexts = GroupFeedParams(params);
  if (!paramTexts) return std::nullopt;
  return RefreshGroup(std::move(*paramTexts), context, std::move(finish));
}

ChannelRenderer::ChannelRenderer() : compiled_(CachedStyle(StylePath("chs.xsl"))) {
  if (!compiled_) style_.Load(StylePath("chs.xsl"));  // each block then tells why it failed
}

std::string ChannelRenderer::Render(const TRXML& doc) {
  std::string block;
  PageCacheScope pageCaches(&cacheShare_);
  try {
    if (compiled_) {
      block = doc.Transform(*compiled_);
    } else {
      std::lock_guard<std::mutex> lock(mutex_);
      block = doc.Transform(style_);
    }
  } catch (const std::exception& e) {
    block = T().xsltFailed + EscapeHtml(e.what());
  }
  block.shrink_to_fit();  // kept until the page takes it
  return block;
}

std::string CreateChFrame(const std::string& file, const std::string& word) {
  // The name is escaped: any name a group file may have gives a well-formed frame.
  std::string text = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<chbody file=\"" +
                     EscapeHtml(file) + "\"";
  if (!word.empty()) {
    // Control characters have no place in XML; the keyword is only shown.
    std::string shown = word;
    for (char& c : shown)
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    text += " w=\"" + EscapeHtml(shown) + "\"";
  }
  // The token of the page's keep form (the keep buttons of its items).
  text += " token=\"" + EscapeHtml(FormToken()) + "\">%s</chbody>";
  TRXML doc;
  doc.LoadFromXML(text);
  return TransformWithStyle(doc, "ch.xsl");
}

std::optional<FrameParts> SplitFrame(const std::string& frame) {
  size_t at = frame.rfind("%s");
  if (at == std::string::npos) return std::nullopt;
  return FrameParts{frame.substr(0, at), frame.substr(at + 2)};
}

std::string FillFrame(const std::string& frame, const std::string& text) {
  size_t at = frame.rfind("%s");
  if (at == std::string::npos) return frame;
  std::string page = frame;
  page.replace(at, 2, text);
  return page;
}

std::string FillFrame(const std::string& frame, std::vector<std::string>& pieces) {
  size_t at = frame.rfind("%s");
  if (at == std::string::npos) return frame;
  size_t size = frame.size() - 2;
  for (const std::string& p : pieces) size += p.size();
  std::string page;
  page.reserve(size);
  page.append(frame, 0, at);
  for (std::string& p : pieces) {
    page += p;
    std::string().swap(p);
  }
  page.append(frame, at + 2);
  return page;
}

std::string CreateChHtml(const ParamList& params, bool withFrame, const GroupContext& context) {
  std::string result;
  try {
    std::string frame;
    if (withFrame) frame = CreateChFrame(ParamValue(params, "u"));
    ChannelRenderer renderer;
    // Each channel is rendered on its worker as soon as it is read, and its document
    // dropped: the page never holds more than its blocks.
    std::mutex mutex;  // guards blocks
    std::map<size_t, std::string> blocks;
    auto render = [&](size_t index, std::unique_ptr<TRXML>& doc) {
      std::string block = renderer.Render(*doc);
      doc.reset();
      std::lock_guard<std::mutex> lock(mutex);
      blocks[index] = std::move(block);
    };
    std::optional<ChannelDocs> docs = CreateChXML(params, context, render);
    if (!docs) throw std::runtime_error(T().feedListFailed);
    docs.reset();
    std::vector<std::string> pieces;
    pieces.reserve(blocks.size());
    for (auto& [index, block] : blocks) pieces.push_back(std::move(block));
    blocks.clear();
    result = withFrame ? FillFrame(frame, pieces) : FillFrame("%s", pieces);
  } catch (const std::exception& e) {
    result = T().channelPageFailed + EscapeHtml(e.what());
  }
  return result;
}

}  // namespace norvane
