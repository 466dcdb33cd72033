#include "bench/latency/probed_output.h"

#include <chrono>

#include "sound/steady_clock.h"

namespace kestu::latency {

ProbedOutput::ProbedOutput(std::uint32_t rate, double maxSeconds, std::vector<OutputWay> ways)
    : device_(std::chrono::milliseconds(3000), std::move(ways)) {
  const auto frames = static_cast<std::size_t>(maxSeconds * rate);
  left_.resize(frames);
  blocks_.resize(frames / 16 + 16);
}

ProbedOutput::~ProbedOutput() { Close(); }

bool ProbedOutput::Open(FrameSource& source, std::uint32_t rate) {
  mixer_ = &source;
  rate_ = rate;
  if (device_.Open(*this, rate)) return true;
  mixer_ = nullptr;
  return false;
}

void ProbedOutput::ChangeRate(std::uint32_t rate) {
  rate_ = rate;
  device_.ChangeRate(rate);
}

void ProbedOutput::Close() {
  device_.Close();
  mixer_ = nullptr;
}

void ProbedOutput::DeliverPending() {
  if (mixer_ != nullptr) mixer_->DeliverPending();
}

void ProbedOutput::RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept {
  const std::int64_t called = SteadyNowNs();
  mixer_->RenderFrames(stereo, frames, time);
  leadNs_.store(time.leadNs, std::memory_order_relaxed);
  if (!keeping_.load(std::memory_order_acquire) || full_.load(std::memory_order_relaxed)) return;
  const std::size_t first = frameCount_.load(std::memory_order_relaxed);
  const std::size_t block = blockCount_.load(std::memory_order_relaxed);
  if (first + frames > left_.size() || block >= blocks_.size()) {
    full_.store(true, std::memory_order_release);
    return;
  }
  for (std::uint32_t i = 0; i < frames; ++i) left_[first + i] = stereo[2 * i];
  blocks_[block] = {called, first, frames, time.firstFrameNs, time.readingNs, time.leadNs};
  frameCount_.store(first + frames, std::memory_order_release);
  blockCount_.store(block + 1, std::memory_order_release);
}

std::vector<std::int16_t> ProbedOutput::Frames() const {
  const std::size_t count = frameCount_.load(std::memory_order_acquire);
  return {left_.begin(), left_.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<RenderedBlock> ProbedOutput::Blocks() const {
  const std::size_t count = blockCount_.load(std::memory_order_acquire);
  return {blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(count)};
}

}  // namespace kestu::latency
