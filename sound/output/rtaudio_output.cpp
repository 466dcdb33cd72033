// The only file that includes RtAudio.
#include "sound/output/rtaudio_output.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <optional>
#include <utility>

#include "sound/output/bounded_open.h"
#include "sound/output/clock_model.h"
#include "sound/output/rate_converter.h"
#include "sound/output/render_gate.h"
#include "sound/steady_clock.h"

namespace kestu {

namespace {

struct OpenedStream {
  std::unique_ptr<RtAudio> audio;
  std::string api;
  std::uint32_t deviceRate = 0;
  std::uint32_t bufferFrames = 0;
};

// Errors inside RtAudio's own threads must not throw there; the stream just
// goes quiet and the program carries on.
void IgnoreStreamError(RtAudioError::Type, const std::string&) {}

// ALSA prints its failures on stderr; on a machine without sound that is
// the normal case and not worth a word.
void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

void CloseQuietly(RtAudio& audio) {
  try {
    if (audio.isStreamRunning()) audio.abortStream();
  } catch (const std::exception&) {
  }
  try {
    if (audio.isStreamOpen()) audio.closeStream();
  } catch (const std::exception&) {
  }
}

std::optional<OpenedStream> TryOpen(std::uint32_t rate, RtAudioCallback callback, void* user) {
  try {
    auto audio = std::make_unique<RtAudio>(RtAudio::LINUX_ALSA);
    if (audio->getCurrentApi() != RtAudio::LINUX_ALSA) return std::nullopt;
    audio->showWarnings(false);
    if (audio->getDeviceCount() == 0) return std::nullopt;
    RtAudio::StreamParameters parameters;
    parameters.deviceId = audio->getDefaultOutputDevice();
    parameters.nChannels = 2;

    std::uint32_t rates[2] = {rate, 0};
    try {
      rates[1] = audio->getDeviceInfo(parameters.deviceId).preferredSampleRate;
    } catch (const std::exception&) {
    }
    for (const std::uint32_t tryRate : rates) {
      if (tryRate == 0) continue;
      RtAudio::StreamOptions options;
      options.numberOfBuffers = 2;
      options.streamName = "KestuSequencer";
      options.flags = RTAUDIO_ALSA_USE_DEFAULT;
      unsigned int frames = RtAudioOutput::kBufferFrames;
      try {
        audio->openStream(&parameters, nullptr, RTAUDIO_SINT16, tryRate, &frames, callback, user,
                          &options, &IgnoreStreamError);
      } catch (const std::exception&) {
      }
      if (!audio->isStreamOpen()) continue;
      // A raw device may take a rate near the one asked for, not that one:
      // it then plays at the rate it took, and the mixer's frames are converted.
      std::uint32_t took = tryRate;
      try {
        took = audio->getStreamSampleRate();
      } catch (const std::exception&) {
      }
      return OpenedStream{std::move(audio), "alsa", took != 0 ? took : tryRate, frames};
    }
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// Shared by the GUI thread and the helper thread that opens the stream; the
// result is the GUI thread's once the helper reported it in time.
struct OpenAttempt {
  BoundedOpen opening;
  std::optional<OpenedStream> result;
};

}  // namespace

struct RtAudioOutput::Impl {
  std::chrono::milliseconds openTimeout;
  FrameSource* source = nullptr;
  std::unique_ptr<RtAudio> audio;
  std::string api;
  std::uint32_t primaryRate = 0;
  std::uint32_t deviceRate = 0;
  std::uint32_t bufferFrames = 0;
  RateConverter converter;
  ClockModel clock;
  std::atomic<std::uint64_t> underruns{0};
  RenderGate gate;
  // Audio thread only: how fast the device asks for frames.
  std::int64_t paceStartNs = 0;
  std::uint64_t paceFrames = 0;
  std::atomic<bool> aborted{false};  // set by the audio thread, read by the GUI thread
  bool askedForRealtime = false;     // audio thread
  std::atomic<bool> realtime{false};
  // Audio thread writes, GUI thread reads: when the device last asked for frames.
  std::atomic<std::int64_t> lastCallbackNs{0};

  // Audio thread.
  static int Callback(void* output, void*, unsigned int frames, double, RtAudioStreamStatus status,
                      void* user) {
    auto* self = static_cast<Impl*>(user);
    if (!self->gate.Enter()) {
      std::fill_n(static_cast<std::int16_t*>(output), 2 * static_cast<std::size_t>(frames), std::int16_t{0});
      return 0;
    }
    if (!self->askedForRealtime) self->AskForRealtime();
    const std::int64_t now = SteadyNowNs();
    self->lastCallbackNs.store(now, std::memory_order_relaxed);
    if ((status & RTAUDIO_OUTPUT_UNDERFLOW) != 0) {
      self->underruns.fetch_add(1, std::memory_order_relaxed);
      self->clock.Reseat();
    }
    const BlockTime time = self->clock.OnBlock(now, frames, now);
    self->converter.Pull(*self->source, static_cast<std::int16_t*>(output), frames, time);
    const bool tooFast = self->AsksTooFast(now, frames);
    self->gate.Leave();
    if (!tooFast) return 0;
    self->aborted.store(true, std::memory_order_release);
    return 2;
  }

  // Once, on the stream's own thread: real-time scheduling where the system
  // allows it (one system call that never waits); an ordinary thread where not.
  void AskForRealtime() noexcept {
    askedForRealtime = true;
    sched_param parameters{};
    parameters.sched_priority = RtAudioOutput::kRealtimePriority;
    realtime.store(pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0, std::memory_order_relaxed);
  }

  // When the device goes away, every write fails at once and it asks
  // for frames as fast as it can: a busy loop. Asked for four times real
  // time over a fifth of a second, the stream is aborted and the program goes
  // on silent.
  bool AsksTooFast(std::int64_t nowNs, unsigned int frames) {
    if (paceFrames == 0) paceStartNs = nowNs;
    paceFrames += frames;
    if (nowNs - paceStartNs < 200'000'000) return false;
    const bool tooFast = paceFrames > 4ull * deviceRate / 5;
    paceFrames = 0;
    return tooFast;
  }

  // Opens on a helper thread and waits at most openTimeout. A helper that
  // answers late closes what it opened by itself; its stream never started.
  std::optional<OpenedStream> OpenBounded(std::uint32_t rate) {
    auto attempt = std::make_shared<OpenAttempt>();
    const bool launched = BoundedOpen::Launch([attempt, rate, user = this] {
      snd_lib_error_set_handler(&QuietAlsaError);
      attempt->result = TryOpen(rate, &Impl::Callback, user);
      if (!attempt->opening.Report(attempt->result.has_value()) && attempt->result) {
        CloseQuietly(*attempt->result->audio);
      }
    });
    if (!launched || attempt->opening.Await(openTimeout) != BoundedOpen::Outcome::kOpened) return std::nullopt;
    return std::move(attempt->result);
  }

  bool Start(std::uint32_t rate) {
    std::optional<OpenedStream> opened = OpenBounded(rate);
    if (!opened) return false;
    primaryRate = rate;
    deviceRate = opened->deviceRate;
    bufferFrames = opened->bufferFrames;
    api = opened->api;
    converter.Configure(primaryRate, deviceRate, bufferFrames);
    clock.Start(deviceRate, bufferFrames);
    underruns.store(0, std::memory_order_relaxed);
    paceFrames = 0;
    askedForRealtime = false;
    realtime.store(false, std::memory_order_relaxed);
    aborted.store(false, std::memory_order_relaxed);
    lastCallbackNs.store(SteadyNowNs(), std::memory_order_relaxed);
    gate.Reopen();
    audio = std::move(opened->audio);
    try {
      audio->startStream();
    } catch (const std::exception&) {
      Stop();
      return false;
    }
    return true;
  }

  void Stop() {
    if (audio == nullptr) return;
    gate.Close();
    CloseQuietly(*audio);
    audio.reset();
  }
};

RtAudioOutput::RtAudioOutput(std::chrono::milliseconds openTimeout) : impl_(std::make_unique<Impl>()) {
  impl_->openTimeout = openTimeout;
}

RtAudioOutput::~RtAudioOutput() { Close(); }

bool RtAudioOutput::Open(FrameSource& source, std::uint32_t rate) {
  Close();
  impl_->source = &source;
  if (impl_->Start(rate)) return true;
  impl_->source = nullptr;
  return false;
}

void RtAudioOutput::ChangeRate(std::uint32_t rate) {
  if (impl_->source == nullptr || rate == impl_->primaryRate) return;
  // Reopen at the new rate; if that fails the program goes on without sound.
  impl_->Stop();
  impl_->Start(rate);
}

void RtAudioOutput::Close() {
  impl_->Stop();
  impl_->source = nullptr;
}

bool RtAudioOutput::IsPulling() const { return IsOpen() && !impl_->aborted.load(std::memory_order_acquire); }

bool RtAudioOutput::Realtime() const { return IsOpen() && impl_->realtime.load(std::memory_order_relaxed); }

bool RtAudioOutput::IsOpen() const { return impl_->audio != nullptr; }
std::string RtAudioOutput::ApiName() const { return IsOpen() ? impl_->api : std::string(); }
std::uint32_t RtAudioOutput::DeviceRate() const { return IsOpen() ? impl_->deviceRate : 0; }
std::uint32_t RtAudioOutput::BufferFrames() const { return IsOpen() ? impl_->bufferFrames : 0; }

std::uint64_t RtAudioOutput::Underruns() const { return impl_->underruns.load(std::memory_order_relaxed); }

long RtAudioOutput::StreamLatencyFrames() const {
  if (!IsOpen()) return 0;
  try {
    return impl_->audio->getStreamLatency();
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace kestu
