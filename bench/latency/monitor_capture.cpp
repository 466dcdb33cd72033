#include "bench/latency/monitor_capture.h"

#include <RtAudio.h>

#include <algorithm>
#include <cstring>

#include "sound/steady_clock.h"

namespace kestu::latency {

namespace {

// An error in RtAudio's own thread must not throw there; the recording just ends short.
void IgnoreStreamError(RtAudioError::Type, const std::string&) {}

}  // namespace

struct MonitorCapture::Stream {
  std::unique_ptr<RtAudio> audio;
};

MonitorCapture::MonitorCapture(std::uint32_t rate, std::uint32_t blockFrames, double maxSeconds, RecordFrom from)
    : from_(from), rate_(rate), blockFrames_(blockFrames), stream_(std::make_unique<Stream>()) {
  const auto frames = static_cast<std::size_t>(maxSeconds * rate);
  samples_.resize(frames);
  blocks_.resize(frames / std::max<std::uint32_t>(blockFrames / 4, 1) + 16);
}

MonitorCapture::~MonitorCapture() { Stop(); }

bool MonitorCapture::Start(std::string& error) {
  if (from_ == RecordFrom::kJackPort) return StartJack(error);
  try {
    auto audio = std::make_unique<RtAudio>(RtAudio::LINUX_PULSE);
    if (audio->getCurrentApi() != RtAudio::LINUX_PULSE || audio->getDeviceCount() == 0) {
      error = "RtAudio has no PulseAudio input";
      return false;
    }
    audio->showWarnings(false);
    RtAudio::StreamParameters input;
    input.deviceId = audio->getDefaultInputDevice();
    input.nChannels = 1;
    RtAudio::StreamOptions options;
    options.streamName = "kestu-latency";
    // A recorder thread that waits behind ordinary work lets the server's buffer overrun, and the
    // frames lost shift every later sound on the recording.
    options.flags = RTAUDIO_SCHEDULE_REALTIME;
    options.priority = 4;
    unsigned int frames = blockFrames_;
    audio->openStream(nullptr, &input, RTAUDIO_SINT16, rate_, &frames, &MonitorCapture::Callback, this,
                      &options, &IgnoreStreamError);
    blockFrames_ = frames;
    audio->startStream();
    stream_->audio = std::move(audio);
    return true;
  } catch (const std::exception& e) {
    error = std::string("the monitor cannot be recorded: ") + e.what();
    return false;
  }
}

void MonitorCapture::Stop() {
  StopJack();
  if (stream_->audio == nullptr) return;
  try {
    if (stream_->audio->isStreamRunning()) stream_->audio->abortStream();
    if (stream_->audio->isStreamOpen()) stream_->audio->closeStream();
  } catch (const std::exception&) {
  }
  stream_->audio.reset();
}

int MonitorCapture::Callback(void*, void* input, unsigned int frames, double, unsigned int, void* user) {
  const std::int64_t arrived = SteadyNowNs();
  auto* self = static_cast<MonitorCapture*>(user);
  // The first call comes before anything was read: its buffer holds nothing recorded.
  if (!self->skippedFirst_) {
    self->skippedFirst_ = true;
    return 0;
  }
  self->Arrived(static_cast<const std::int16_t*>(input), frames, arrived);
  return 0;
}

void MonitorCapture::Arrived(const std::int16_t* input, std::uint32_t frames, std::int64_t arrivedNs) noexcept {
  Keep(input, frames);
  const std::size_t block = blockCount_.load(std::memory_order_relaxed);
  if (block < blocks_.size() && !Full()) {
    blocks_[block] = {arrivedNs, sampleCount_.load(std::memory_order_relaxed)};
    blockCount_.store(block + 1, std::memory_order_release);
  }
}

void MonitorCapture::Keep(const std::int16_t* input, std::uint32_t frames) noexcept {
  const std::size_t have = sampleCount_.load(std::memory_order_relaxed);
  if (Full() || input == nullptr) return;
  if (have + frames > samples_.size() || blockCount_.load(std::memory_order_relaxed) >= blocks_.size()) {
    full_.store(true, std::memory_order_release);
    return;
  }
  std::memcpy(samples_.data() + have, input, frames * sizeof(std::int16_t));
  sampleCount_.store(have + frames, std::memory_order_release);
}

std::vector<std::int16_t> MonitorCapture::Samples() const {
  const std::size_t count = sampleCount_.load(std::memory_order_acquire);
  return {samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<ArrivedBlock> MonitorCapture::Blocks() const {
  const std::size_t count = blockCount_.load(std::memory_order_acquire);
  return {blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(count)};
}

}  // namespace kestu::latency
