#include "sound/output/offline_output.h"

#include <algorithm>

namespace kestu {

bool OfflineOutput::Open(FrameSource& source, std::uint32_t rate) {
  if (refuseOpen_) return false;
  source_ = &source;
  rate_ = rate;
  return true;
}

std::vector<std::int16_t> OfflineOutput::Render(std::uint32_t frames) {
  std::vector<std::int16_t> stereo(2 * static_cast<std::size_t>(frames));
  RenderInto(stereo.data(), frames);
  return stereo;
}

void OfflineOutput::RenderInto(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) {
  if (source_ == nullptr) {
    std::fill_n(stereo, 2 * static_cast<std::size_t>(frames), std::int16_t{0});
    return;
  }
  source_->DeliverPending();
  source_->RenderFrames(stereo, frames, time);
}

}  // namespace kestu
