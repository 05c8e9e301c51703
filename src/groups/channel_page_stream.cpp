#include "groups/channel_page_stream.h"

#include "core/html_text.h"
#include "core/texts.h"
#include "core/trace.h"

namespace norvane {

std::unique_ptr<ChannelPageStream> ChannelPageStream::Start(const ParamList& params,
                                                            const GroupContext& context,
                                                            std::function<void()> done) {
  try {
    std::optional<FrameParts> frame = SplitFrame(CreateChFrame(ParamValue(params, "u")));
    if (!frame) return nullptr;
    auto renderer = std::make_unique<ChannelRenderer>();
    std::optional<std::vector<std::string>> paramTexts = GroupFeedParams(params);
    if (!paramTexts) return nullptr;
    std::unique_ptr<ChannelPageStream> stream(
        new ChannelPageStream(std::move(*frame), paramTexts->size(), std::move(renderer)));
    stream->refresh_ = std::thread(
        [page = stream.get(), texts = std::move(*paramTexts), context,
         done = std::move(done)]() mutable { page->Refresh(std::move(texts), context, done); });
    return stream;
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
    return nullptr;
  }
}

ChannelPageStream::ChannelPageStream(FrameParts frame, size_t feeds,
                                     std::unique_ptr<ChannelRenderer> renderer)
    : frame_(std::move(frame)), blocks_(feeds), renderer_(std::move(renderer)) {}

ChannelPageStream::~ChannelPageStream() {
  blocks_.Leave();
  if (refresh_.joinable()) refresh_.join();
}

void ChannelPageStream::Refresh(std::vector<std::string> paramTexts, const GroupContext& context,
                                const std::function<void()>& done) {
  size_t previous = 0;  // the first feed of the batch before
  auto pace = [this, &previous](TRTMnage& manager) {
    manager.TakeFromTheFront([this, &previous](size_t first) {
      blocks_.WaitTaken(previous);
      previous = first;
    });
  };
  auto render = [this](size_t index, std::unique_ptr<TRXML>& doc) {
    std::string block = renderer_->Render(*doc);
    doc.reset();
    blocks_.Put(index, std::move(block));
  };
  failed_ = !RefreshGroup(std::move(paramTexts), context, render, pace);
  try {
    if (done) done();
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Group, "Exception", e.what());
  }
  blocks_.End();
}

bool ChannelPageStream::Next(std::string& piece) {
  switch (next_) {
    case Part::Head:
      piece = std::move(frame_.head);
      next_ = Part::Blocks;
      return true;
    case Part::Blocks:
      if (std::optional<std::string> block = blocks_.Take()) {
        piece = std::move(*block);
        return true;
      }
      next_ = Part::Tail;
      // The workers could not be run: what the whole page would have said, in the frame.
      piece = failed_ ? T().channelPageFailed + EscapeHtml(T().feedListFailed) : std::string();
      return true;
    case Part::Tail:
      piece = std::move(frame_.tail);
      next_ = Part::End;
      return true;
    case Part::End: break;
  }
  return false;
}

}  // namespace norvane
