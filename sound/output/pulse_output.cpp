// The only file that includes libpulse.
#include "sound/output/pulse_output.h"

#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "sound/output/clock_model.h"
#include "sound/output/render_gate.h"
#include "sound/steady_clock.h"

namespace kestu {

namespace {

constexpr const char* kName = "KestuSequencer";
constexpr std::uint32_t kFrameBytes = 4;  // int16 stereo
// Below the server's own threads (PulseAudio's default is 5), above everything ordinary.
constexpr int kRealtimePriority = 3;

std::uint32_t FramesFor(double ms, std::uint32_t rate) {
  return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(ms * rate / 1000.0)));
}

}  // namespace

struct PulseOutput::Stream : StreamFigures {
  FrameSource* source = nullptr;
  std::uint32_t rate = 0;

  // Audio thread only, from its start to its end.
  pa_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  std::int64_t assumedLatencyNs = 0;  // until the server's first timing report

  RenderGate gate;
  std::atomic<bool> quit{false};
  std::atomic<bool> realtime{false};
  std::atomic<std::uint32_t> targetFrames{0};

  // Between the GUI thread and the audio thread, never taken while rendering.
  BoundedOpen opening;  // word that the stream is ready, or will never be
  std::mutex mutex;
  std::condition_variable changed;
  bool exited = false;
  pa_mainloop* wakeable = nullptr;  // the loop while it may be woken

  // Audio thread: the thread's whole life.
  static void Run(std::shared_ptr<Stream> self) { self->Serve(); }

  void Serve() {
    AskForRealtime();
    loop = pa_mainloop_new();
    if (loop != nullptr && Connect()) {
      {
        std::lock_guard lock(mutex);
        wakeable = loop;
      }
      while (!quit.load(std::memory_order_acquire)) {
        if (pa_mainloop_iterate(loop, 1, nullptr) < 0) break;
      }
    }
    // Whatever ended the loop, the stream is gone; an open still waiting learns it now.
    failed.store(true, std::memory_order_release);
    opening.Report(false);
    TearDown();
    std::lock_guard lock(mutex);
    exited = true;
    changed.notify_all();
  }

  // One-time, before the stream exists: the render path makes no such call.
  void AskForRealtime() {
    sched_param parameters{};
    parameters.sched_priority = kRealtimePriority;
    // Where the system does not allow it, the thread stays an ordinary one.
    realtime.store(sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &parameters) == 0,
                   std::memory_order_relaxed);
  }

  bool Connect() {
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, kName);
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    context = pa_context_new_with_proplist(pa_mainloop_get_api(loop), kName, properties);
    pa_proplist_free(properties);
    if (context == nullptr) return false;
    pa_context_set_state_callback(context, &OnContextState, this);
    // The user's session runs the server; a program never starts one.
    return pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
  }

  static void OnContextState(pa_context* context, void* user) {
    auto* self = static_cast<Stream*>(user);
    switch (pa_context_get_state(context)) {
      case PA_CONTEXT_READY:
        if (!self->CreateStream()) self->Fail();
        break;
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED:
        self->Fail();
        break;
      default:
        break;
    }
  }

  bool CreateStream() {
    const pa_sample_spec format{PA_SAMPLE_S16LE, rate, 2};
    stream = pa_stream_new(context, kName, &format, nullptr);
    if (stream == nullptr) return false;
    pa_stream_set_state_callback(stream, &OnStreamState, this);
    pa_stream_set_write_callback(stream, &OnWrite, this);
    pa_stream_set_underflow_callback(stream, &OnUnderflow, this);
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = FramesFor(kTargetMs, rate) * kFrameBytes;
    attributes.prebuf = static_cast<std::uint32_t>(-1);  // start, and restart after running dry, once full
    attributes.minreq = FramesFor(kRequestMs, rate) * kFrameBytes;
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                      PA_STREAM_AUTO_TIMING_UPDATE);
    return pa_stream_connect_playback(stream, nullptr, &attributes, flags, nullptr, nullptr) >= 0;
  }

  static void OnStreamState(pa_stream* stream, void* user) {
    auto* self = static_cast<Stream*>(user);
    switch (pa_stream_get_state(stream)) {
      case PA_STREAM_READY:
        self->Ready();
        break;
      case PA_STREAM_FAILED:
      case PA_STREAM_TERMINATED:
        self->Fail();
        break;
      default:
        break;
    }
  }

  // The server has granted its buffer; no block has been asked for yet.
  void Ready() {
    const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream);
    const std::uint32_t request = granted ? granted->minreq / kFrameBytes : FramesFor(kRequestMs, rate);
    const std::uint32_t target = granted ? granted->tlength / kFrameBytes : FramesFor(kTargetMs, rate);
    blockFrames.store(request, std::memory_order_relaxed);
    targetFrames.store(target, std::memory_order_relaxed);
    // A block's time is when its first frame is heard, so a stamped command
    // waits for the next request and then for the frames ahead of it.
    assumedLatencyNs = static_cast<std::int64_t>(1e9 * target / rate);
    clock.Start(rate, request, assumedLatencyNs);
    opening.Report(true);
  }

  void Fail() {
    failed.store(true, std::memory_order_release);
    quit.store(true, std::memory_order_release);
    opening.Report(false);
  }

  static void OnUnderflow(pa_stream*, void* user) {
    auto* self = static_cast<Stream*>(user);
    self->underruns.fetch_add(1, std::memory_order_relaxed);
    self->clock.Reseat();
  }

  // Audio thread: the server asks for `bytes`. Rendered straight into the
  // server's own memory; no lock, allocation or wait of ours.
  static void OnWrite(pa_stream* stream, std::size_t bytes, void* user) {
    auto* self = static_cast<Stream*>(user);
    while (bytes >= kFrameBytes) {
      void* data = nullptr;
      std::size_t room = bytes;
      if (pa_stream_begin_write(stream, &data, &room) < 0 || data == nullptr) return;
      room = std::min(room, bytes) / kFrameBytes * kFrameBytes;
      if (room == 0) {
        pa_stream_cancel_write(stream);
        return;
      }
      const auto frames = static_cast<std::uint32_t>(room / kFrameBytes);
      self->Render(static_cast<std::int16_t*>(data), frames, self->TimeOfNextFrame(frames));
      if (pa_stream_write(stream, data, room, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
      bytes -= room;
    }
  }

  // When the first frame written now will be heard, by the server's timing
  // (interpolated between its reports), through the clock model's loop.
  BlockTime TimeOfNextFrame(std::uint32_t frames) {
    const std::int64_t now = SteadyNowNs();
    pa_usec_t latency = 0;
    int negative = 0;
    std::int64_t aheadNs = assumedLatencyNs;
    if (pa_stream_get_latency(stream, &latency, &negative) == 0) {
      aheadNs = negative ? 0 : static_cast<std::int64_t>(latency) * 1000;
      latencyFrames.store(static_cast<long>(aheadNs * rate / 1'000'000'000), std::memory_order_relaxed);
    }
    return clock.OnBlock(now + aheadNs, frames, now);
  }

  void Render(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept {
    if (!gate.Enter()) {
      std::memset(stereo, 0, static_cast<std::size_t>(frames) * kFrameBytes);
      return;
    }
    source->RenderFrames(stereo, frames, time);
    gate.Leave();
  }

  void TearDown() {
    {
      std::lock_guard lock(mutex);
      wakeable = nullptr;
    }
    // Nothing here waits for the server: the stream and the connection are
    // dropped, and a server that is stopped finds them gone when it wakes.
    if (stream != nullptr) {
      pa_stream_set_state_callback(stream, nullptr, nullptr);
      pa_stream_set_write_callback(stream, nullptr, nullptr);
      pa_stream_set_underflow_callback(stream, nullptr, nullptr);
      pa_stream_disconnect(stream);
      pa_stream_unref(stream);
      stream = nullptr;
    }
    if (context != nullptr) {
      pa_context_set_state_callback(context, nullptr, nullptr);
      pa_context_disconnect(context);
      pa_context_unref(context);
      context = nullptr;
    }
    if (loop != nullptr) {
      pa_mainloop_free(loop);
      loop = nullptr;
    }
  }

  // GUI thread: the audio thread ends as soon as it wakes.
  void AskToQuit() {
    quit.store(true, std::memory_order_release);
    std::lock_guard lock(mutex);
    if (wakeable != nullptr) pa_mainloop_wakeup(wakeable);
  }
};

PulseOutput::PulseOutput(std::chrono::milliseconds openBound) : ServerStream("pulse", openBound) {}

PulseOutput::~PulseOutput() { Close(); }

const StreamFigures* PulseOutput::OpenStream(FrameSource& source, std::uint32_t rate) {
  auto stream = std::make_shared<Stream>();
  stream->source = &source;
  stream->rate = rate;
  stream->deviceRate = rate;
  if (!BoundedOpen::Launch([stream] { Stream::Run(stream); })) return nullptr;
  const bool ready = stream->opening.Await(openBound_) == BoundedOpen::Outcome::kOpened &&
                     !stream->failed.load(std::memory_order_acquire);
  if (!ready) {
    // A server that does not answer in time counts as none; the thread
    // drops what it began by itself.
    stream->gate.Close();
    stream->AskToQuit();
    return nullptr;
  }
  stream_ = std::move(stream);
  return stream_.get();
}

void PulseOutput::CloseStream() {
  if (stream_ == nullptr) return;
  std::shared_ptr<Stream> stream = std::move(stream_);
  stream->gate.Close();  // from here on the source is never called
  stream->AskToQuit();
  // The thread frees the stream without waiting for the server, so this is
  // short; should it not be, the thread is left to finish on its own.
  std::unique_lock lock(stream->mutex);
  stream->changed.wait_for(lock, kCloseBound, [&] { return stream->exited; });
}



std::uint32_t PulseOutput::TargetFrames() const {
  return stream_ ? stream_->targetFrames.load(std::memory_order_relaxed) : 0;
}

bool PulseOutput::Realtime() const { return stream_ && stream_->realtime.load(std::memory_order_relaxed); }

}  // namespace kestu
