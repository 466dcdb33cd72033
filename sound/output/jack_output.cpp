// The only file that includes libjack.
#include "sound/output/jack_output.h"

#include <jack/jack.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "sound/output/clock_model.h"
#include "sound/output/rate_converter.h"
#include "sound/output/render_gate.h"
#include "sound/steady_clock.h"

namespace kestu {

namespace {

constexpr const char* kName = "KestuSequencer";
// Frames converted at a time; a cycle of more is rendered in pieces.
constexpr std::uint32_t kChunkFrames = 1024;
// Far beyond any JACK period: a server that stops calling us is gone.
constexpr std::int64_t kSilenceNs = 1'000'000'000;

void QuietJackMessage(const char*) {}

}  // namespace

struct JackOutput::Stream : StreamFigures {
  FrameSource* source = nullptr;
  std::uint32_t primaryRate = 0;

  // Set while opening (before the client is active), then read by the
  // process callback only, and freed on the GUI thread once it is closed.
  jack_client_t* client = nullptr;
  std::array<jack_port_t*, 2> ports{};
  RateConverter converter;
  std::array<std::int16_t, 2 * kChunkFrames> chunk{};

  RenderGate gate;
  std::atomic<bool> reseat{false};

  // Between the GUI thread and the helper thread that opens the client.
  BoundedOpen opening;

  // The server's real-time thread, once a cycle. No lock, allocation or wait.
  static int OnProcess(jack_nframes_t frames, void* user) {
    auto* self = static_cast<Stream*>(user);
    float* left = static_cast<float*>(jack_port_get_buffer(self->ports[0], frames));
    float* right = static_cast<float*>(jack_port_get_buffer(self->ports[1], frames));
    const std::int64_t now = SteadyNowNs();
    self->lastCallbackNs.store(now, std::memory_order_relaxed);
    if (!self->gate.Enter()) {
      std::fill_n(left, frames, 0.0f);
      std::fill_n(right, frames, 0.0f);
      return 0;
    }
    if (self->reseat.exchange(false, std::memory_order_relaxed)) self->clock.Reseat();
    BlockTime time = self->clock.OnBlock(self->FirstFrameHeardNs(now), frames, now);
    const double frameNs = 1e9 / self->deviceRate;
    for (std::uint32_t done = 0; done < frames;) {
      const std::uint32_t n = std::min(frames - done, kChunkFrames);
      self->converter.Pull(*self->source, self->chunk.data(), n, time);
      for (std::uint32_t i = 0; i < n; ++i) {
        left[done + i] = self->chunk[2 * i] * (1.0f / 32768.0f);
        right[done + i] = self->chunk[2 * i + 1] * (1.0f / 32768.0f);
      }
      done += n;
      time.firstFrameNs += std::llround(n * frameNs);
    }
    self->gate.Leave();
    return 0;
  }

  // When this cycle's first frame is heard: our ports' playback latency
  // after the cycle began, which is when the server woke us. The loop
  // smooths the wake-ups; the server's own cycle times are left aside, as
  // not every JACK server keeps them on our clock.
  std::int64_t FirstFrameHeardNs(std::int64_t nowNs) const noexcept {
    return nowNs + static_cast<std::int64_t>(latencyFrames.load(std::memory_order_relaxed) * 1e9 / deviceRate);
  }

  // A thread of the server's: only marks what happened; the GUI thread acts.
  static void OnShutdown(jack_status_t, const char*, void* user) {
    static_cast<Stream*>(user)->failed.store(true, std::memory_order_release);
  }
  static int OnXrun(void* user) {
    auto* self = static_cast<Stream*>(user);
    self->underruns.fetch_add(1, std::memory_order_relaxed);
    self->reseat.store(true, std::memory_order_relaxed);
    return 0;
  }
  static int OnBufferSize(jack_nframes_t frames, void* user) {
    auto* self = static_cast<Stream*>(user);
    self->blockFrames.store(frames, std::memory_order_relaxed);
    self->reseat.store(true, std::memory_order_relaxed);
    return 0;
  }
  // The graph changed: how far our ports are from being heard.
  static void OnLatency(jack_latency_callback_mode_t mode, void* user) {
    if (mode == JackPlaybackLatency) static_cast<Stream*>(user)->ReadLatency();
  }
  void ReadLatency() {
    jack_latency_range_t range{};
    jack_port_get_latency_range(ports[0], JackPlaybackLatency, &range);
    latencyFrames.store(static_cast<long>(range.max), std::memory_order_relaxed);
  }

  // The helper thread. True with an active client linked to the playback ports.
  bool OpenClient() {
    jack_set_error_function(&QuietJackMessage);
    jack_set_info_function(&QuietJackMessage);
    jack_status_t status{};
    client = jack_client_open(kName, JackNoStartServer, &status);
    if (client == nullptr) return false;
    deviceRate = jack_get_sample_rate(client);
    blockFrames.store(jack_get_buffer_size(client), std::memory_order_relaxed);
    if (deviceRate == 0) return false;
    converter.Configure(primaryRate, deviceRate, kChunkFrames);
    jack_set_process_callback(client, &OnProcess, this);
    jack_on_info_shutdown(client, &OnShutdown, this);
    jack_set_xrun_callback(client, &OnXrun, this);
    jack_set_buffer_size_callback(client, &OnBufferSize, this);
    jack_set_latency_callback(client, &OnLatency, this);
    const char* names[2] = {"out_1", "out_2"};
    for (int i = 0; i < 2; ++i) {
      ports[i] = jack_port_register(client, names[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
      if (ports[i] == nullptr) return false;
    }
    // Until the server reports our ports' latency: one period.
    latencyFrames.store(static_cast<long>(blockFrames.load()), std::memory_order_relaxed);
    clock.Start(deviceRate, blockFrames.load(), static_cast<std::int64_t>(blockFrames.load() * 1e9 / deviceRate),
                ClockModel::Cycles::kRegular);
    lastCallbackNs.store(SteadyNowNs(), std::memory_order_relaxed);
    if (jack_activate(client) != 0) return false;
    // Connected to no playback port, the stream would play into nothing while the next way out
    // goes untried.
    int connected = 0;
    if (const char** playback = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput)) {
      for (int i = 0; i < 2 && playback[i] != nullptr; ++i) {
        const int result = jack_connect(client, jack_port_name(ports[i]), playback[i]);
        if (result == 0 || result == EEXIST) ++connected;
      }
      jack_free(playback);
    }
    if (connected == 0) return false;
    ReadLatency();
    return true;
  }

  // GUI thread (or the helper thread, for a client nobody waits for).
  void CloseClient() {
    gate.Close();
    if (client == nullptr) return;
    if (!failed.load(std::memory_order_acquire)) jack_deactivate(client);
    jack_client_close(client);
    client = nullptr;
  }

  static void RunOpen(std::shared_ptr<Stream> self) {
    // Nobody waits any more: what was opened is closed here, never used.
    if (!self->opening.Report(self->OpenClient())) self->CloseClient();
  }
};

JackOutput::JackOutput(std::chrono::milliseconds openBound) : ServerStream("jack", openBound) {}

JackOutput::~JackOutput() { Close(); }

const StreamFigures* JackOutput::OpenStream(FrameSource& source, std::uint32_t rate) {
  // PipeWire's JACK runs its clients at the node latency they ask for, and
  // at its default quantum otherwise; a user's own setting stays.
  ::setenv("PIPEWIRE_LATENCY", kPipeWireLatency, 0);
  auto stream = std::make_shared<Stream>();
  stream->silenceBoundNs = kSilenceNs;
  stream->source = &source;
  stream->primaryRate = rate;
  if (!BoundedOpen::Launch([stream] { Stream::RunOpen(stream); })) return nullptr;
  switch (stream->opening.Await(openBound_)) {
    case BoundedOpen::Outcome::kOpened:
      stream_ = std::move(stream);
      return stream_.get();
    case BoundedOpen::Outcome::kFailed:
      stream->CloseClient();
      return nullptr;
    case BoundedOpen::Outcome::kTimedOut:
      // The helper closes the client when it answers. Until then the client may still activate
      // and call back: it must not reach the source, which the next way out (or nobody) owns
      // from now on.
      stream->gate.Close();
      return nullptr;
  }
  return nullptr;
}

void JackOutput::CloseStream() {
  if (stream_ == nullptr) return;
  stream_->CloseClient();
  stream_.reset();
}



}  // namespace kestu
