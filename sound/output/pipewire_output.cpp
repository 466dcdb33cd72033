// The only file that includes libpipewire.
#include "sound/output/pipewire_output.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "sound/output/clock_model.h"
#include "sound/output/render_gate.h"
#include "sound/steady_clock.h"

namespace kestu {

namespace {

constexpr const char* kName = "KestuSequencer";
constexpr std::uint32_t kFrameBytes = 4;  // int16 stereo

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

}  // namespace

struct PipeWireOutput::Stream : StreamFigures {
  FrameSource* source = nullptr;
  std::uint32_t rate = 0;

  // Made and torn down on the GUI thread; used under the loop's lock, or on
  // the loop's own threads.
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  pw_stream* stream = nullptr;
  spa_hook coreListener{};
  spa_hook streamListener{};
  pw_core_events coreEvents{};
  pw_stream_events streamEvents{};

  // The server's real-time thread only, from the stream's start to its end.
  std::int64_t assumedDelayNs = 0;  // until the stream's first timing
  std::uint64_t lastTicks = 0;
  std::uint64_t lastTickStep = 0;

  RenderGate gate;
  BoundedOpen opening;  // word that the stream runs, or never will

  // Loop thread: the server and the stream report how they stand.
  static void OnCoreError(void* user, std::uint32_t id, int, int, const char*) {
    auto* self = static_cast<Stream*>(user);
    // An error on the connection itself: the server is gone or refused us.
    if (id == PW_ID_CORE) self->Fail();
  }

  static void OnStateChanged(void* user, pw_stream_state, pw_stream_state state, const char*) {
    auto* self = static_cast<Stream*>(user);
    switch (state) {
      case PW_STREAM_STATE_STREAMING:
        self->opening.Report(true);
        break;
      case PW_STREAM_STATE_ERROR:
      case PW_STREAM_STATE_UNCONNECTED:
        self->Fail();
        break;
      default:
        break;
    }
  }

  void Fail() {
    failed.store(true, std::memory_order_release);
    opening.Report(false);
  }

  // The server's real-time thread, once a cycle: fill the buffer the graph
  // hands us. No lock, allocation or wait of ours.
  static void OnProcess(void* user) {
    auto* self = static_cast<Stream*>(user);
    pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream);
    if (buffer == nullptr) {
      // The graph runs this cycle without our frames.
      self->underruns.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    spa_data& data = buffer->buffer->datas[0];
    if (data.data == nullptr || data.chunk == nullptr) {
      pw_stream_queue_buffer(self->stream, buffer);
      return;
    }
    std::uint32_t frames = data.maxsize / kFrameBytes;
    if (buffer->requested > 0) frames = std::min<std::uint32_t>(frames, static_cast<std::uint32_t>(buffer->requested));
    auto* stereo = static_cast<std::int16_t*>(data.data);
    if (self->gate.Enter()) {
      self->source->RenderFrames(stereo, frames, self->TimeOfBlock(frames));
      self->gate.Leave();
    } else {
      std::memset(stereo, 0, static_cast<std::size_t>(frames) * kFrameBytes);
    }
    data.chunk->offset = 0;
    data.chunk->stride = kFrameBytes;
    data.chunk->size = frames * kFrameBytes;
    pw_stream_queue_buffer(self->stream, buffer);
  }

  // When this block's first frame is heard: the cycle's start, as the stream
  // last timed it, plus the way to the device and what the stream's own
  // converter holds.
  BlockTime TimeOfBlock(std::uint32_t frames) noexcept {
    const std::int64_t now = SteadyNowNs();
    blockFrames.store(frames, std::memory_order_relaxed);
    pw_time time{};
    std::int64_t reading = now + assumedDelayNs;
    if (pw_stream_get_time_n(stream, &time, sizeof time) == 0 && time.rate.denom > 0 && time.now > 0) {
      const double tickNs = 1e9 * time.rate.num / time.rate.denom;
      const std::int64_t delayNs = static_cast<std::int64_t>(static_cast<double>(time.delay) * tickNs) +
                                   static_cast<std::int64_t>(time.buffered * 1e9 / rate);
      // steady_clock and the server's clock are both CLOCK_MONOTONIC.
      reading = std::max(time.now, now - 1'000'000'000) + delayNs;
      latencyFrames.store(static_cast<long>((reading - now) * rate / 1'000'000'000), std::memory_order_relaxed);
      CountSkippedCycles(time.ticks);
    }
    return clock.OnBlock(reading, frames, now);
  }

  // The graph's time moves on by one quantum a cycle; moving on by more than
  // twice the last step, it ran cycles without us.
  void CountSkippedCycles(std::uint64_t ticks) noexcept {
    if (lastTicks != 0 && ticks > lastTicks) {
      const std::uint64_t step = ticks - lastTicks;
      if (lastTickStep != 0 && step > 2 * lastTickStep) {
        underruns.fetch_add(1, std::memory_order_relaxed);
        clock.Reseat();
      } else {
        lastTickStep = step;
      }
    }
    lastTicks = ticks;
  }

  // GUI thread: everything the server side holds, in the order it was made.
  // Nothing here waits for the server: a server that is stopped or gone
  // finds the stream gone when it wakes.
  void TearDown() {
    if (loop == nullptr) return;
    pw_thread_loop_lock(loop);
    if (stream != nullptr) {
      spa_hook_remove(&streamListener);
      pw_stream_destroy(stream);
      stream = nullptr;
    }
    if (core != nullptr) {
      spa_hook_remove(&coreListener);
      pw_core_disconnect(core);
      core = nullptr;
    }
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    if (context != nullptr) pw_context_destroy(context);
    context = nullptr;
    pw_thread_loop_destroy(loop);
    loop = nullptr;
  }

  // GUI thread, under the loop's lock. False when there is no server.
  bool Connect() {
    // The real-time configuration: the data thread asks for real-time
    // scheduling where the system allows it, and stays ordinary where not.
    context = pw_context_new(pw_thread_loop_get_loop(loop),
                             pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (context == nullptr) return false;
    core = pw_context_connect(context, nullptr, 0);
    if (core == nullptr) return false;
    coreEvents.version = PW_VERSION_CORE_EVENTS;
    coreEvents.error = &OnCoreError;
    pw_core_add_listener(core, &coreListener, &coreEvents, this);

    const std::string latency = std::to_string(kLatencyFrames) + "/" + std::to_string(kLatencyRate);
    pw_properties* properties =
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music",
                          PW_KEY_APP_NAME, kName, PW_KEY_NODE_NAME, kName, PW_KEY_NODE_LATENCY, latency.c_str(),
                          nullptr);
    stream = pw_stream_new(core, kName, properties);
    if (stream == nullptr) return false;
    streamEvents.version = PW_VERSION_STREAM_EVENTS;
    streamEvents.state_changed = &OnStateChanged;
    streamEvents.process = &OnProcess;
    pw_stream_add_listener(stream, &streamListener, &streamEvents, this);

    std::uint8_t podSpace[512];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, podSpace, sizeof podSpace);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_S16_LE;
    info.rate = rate;
    info.channels = 2;
    info.position[0] = SPA_AUDIO_CHANNEL_FL;
    info.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* parameters[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                    PW_STREAM_FLAG_RT_PROCESS);
    return pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, parameters, 1) >= 0;
  }
};

PipeWireOutput::PipeWireOutput(std::chrono::milliseconds openBound) : ServerStream("pipewire", openBound) {}

PipeWireOutput::~PipeWireOutput() { Close(); }

const StreamFigures* PipeWireOutput::OpenStream(FrameSource& source, std::uint32_t rate) {
  InitOnce();
  auto stream = std::make_unique<Stream>();
  stream->source = &source;
  stream->rate = rate;
  stream->deviceRate = rate;
  // Until the stream's first timing: a cycle of the latency we ask for.
  stream->assumedDelayNs = static_cast<std::int64_t>(1e9 * kLatencyFrames / kLatencyRate);
  const auto blockFrames = static_cast<std::uint32_t>(static_cast<std::uint64_t>(kLatencyFrames) * rate / kLatencyRate);
  stream->clock.Start(rate, blockFrames, stream->assumedDelayNs, ClockModel::Cycles::kRegular);
  stream->loop = pw_thread_loop_new("kestu-pipewire", nullptr);
  if (stream->loop == nullptr) return nullptr;
  if (pw_thread_loop_start(stream->loop) < 0) {
    pw_thread_loop_destroy(stream->loop);
    return nullptr;
  }
  pw_thread_loop_lock(stream->loop);
  const bool connected = stream->Connect();
  pw_thread_loop_unlock(stream->loop);
  // The loop's thread says when the stream runs, or that it never will.
  const bool ready = connected && stream->opening.Await(openBound_) == BoundedOpen::Outcome::kOpened &&
                     !stream->failed.load(std::memory_order_acquire);
  if (!ready) {
    stream->gate.Close();
    stream->TearDown();
    return nullptr;
  }
  stream_ = std::move(stream);
  return stream_.get();
}

void PipeWireOutput::CloseStream() {
  if (stream_ == nullptr) return;
  stream_->gate.Close();  // from here on the source is never called
  stream_->TearDown();
  stream_.reset();
}




}  // namespace kestu
