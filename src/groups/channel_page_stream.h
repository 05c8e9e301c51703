#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "groups/block_queue.h"
#include "groups/channel_pages.h"
#include "http/http_server.h"

namespace norvane {

// The group page sent while it is made, the same bytes as CreateChHtml(params, true): the
// frame's head at once, then each channel's block in the group's order as soon as it and
// those before it are done, then the frame's tail. The feeds are refreshed from the front
// of the group on a thread of the page's own, each channel rendered on its worker; a batch
// starts only once the blocks before the previous batch were taken, so at most two
// batches of blocks wait, whatever the reader's pace.
class ChannelPageStream : public BodySource {
 public:
  // Makes the frame and reads the group; nullptr when either fails or the frame has no
  // place for the blocks (CreateChHtml then makes the page whole, and tells why). done
  // runs on the refresh's thread once the refresh ended, before the frame's tail.
  static std::unique_ptr<ChannelPageStream> Start(const ParamList& params,
                                                  const GroupContext& context,
                                                  std::function<void()> done);
  // Whether the reader came to the end or left early: blocks still to come are dropped
  // and the refresh runs to its end, as any refresh does (logs, scrapbooks).
  ~ChannelPageStream() override;

  bool Next(std::string& piece) override;

  // The most blocks that waited at once so far.
  size_t MostWaiting() const { return blocks_.MostWaiting(); }

 private:
  ChannelPageStream(FrameParts frame, size_t feeds, std::unique_ptr<ChannelRenderer> renderer);
  void Refresh(std::vector<std::string> paramTexts, const GroupContext& context,
               const std::function<void()>& done);

  enum class Part { Head, Blocks, Tail, End };
  FrameParts frame_;
  BlockQueue blocks_;
  const std::unique_ptr<ChannelRenderer> renderer_;
  Part next_ = Part::Head;            // the reader's
  std::atomic<bool> failed_ = false;  // the workers could not be run
  std::thread refresh_;               // last: joined before the rest goes
};

}  // namespace norvane
