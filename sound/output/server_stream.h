// What our own streams on a sound server (PipeWire, JACK, PulseAudio) share:
// an open bounded in time (a server that does not answer counts as no
// device), and the source and rate they were opened with, so that a new rate
// opens a new stream; without one the program goes on silent. GUI thread
// only, unless said otherwise.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "sound/output/bounded_open.h"
#include "sound/output/clock_model.h"
#include "sound/output/device_stream.h"
#include "sound/steady_clock.h"

namespace kestu {

// What an open stream tells of itself (see DeviceStream), written by the
// server's side and read on any thread, and the clock model that places its
// blocks in time, which only the server's side runs.
struct StreamFigures {
  std::uint32_t deviceRate = 0;  // fixed before the stream runs
  std::atomic<std::uint32_t> blockFrames{0};
  std::atomic<long> latencyFrames{0};
  std::atomic<std::uint64_t> underruns{0};
  // The server went away, refused the stream or dropped it.
  std::atomic<bool> failed{false};
  // A stream not called back for this long is gone too; 0: not watched.
  std::int64_t silenceBoundNs = 0;
  std::atomic<std::int64_t> lastCallbackNs{0};
  ClockModel clock;
};

class ServerStream : public DeviceStream {
 public:
  ServerStream(const ServerStream&) = delete;
  ServerStream& operator=(const ServerStream&) = delete;

  bool Open(FrameSource& source, std::uint32_t rate) final;
  void ChangeRate(std::uint32_t rate) final;
  void Close() final;
  bool IsOpen() const { return figures_ != nullptr; }
  std::string ApiName() const final { return IsOpen() ? name_ : ""; }
  // False once the stream failed or went silent.
  bool IsPulling() const final {
    if (!IsOpen() || figures_->failed.load(std::memory_order_acquire)) return false;
    return figures_->silenceBoundNs == 0 ||
           SteadyNowNs() - figures_->lastCallbackNs.load(std::memory_order_relaxed) < figures_->silenceBoundNs;
  }
  std::uint32_t DeviceRate() const final { return IsOpen() ? figures_->deviceRate : 0; }
  std::uint32_t BufferFrames() const final {
    return IsOpen() ? figures_->blockFrames.load(std::memory_order_relaxed) : 0;
  }
  // Any thread.
  long StreamLatencyFrames() const final {
    return IsOpen() ? figures_->latencyFrames.load(std::memory_order_relaxed) : 0;
  }
  // Any thread.
  std::uint64_t Underruns() const final {
    return IsOpen() ? figures_->underruns.load(std::memory_order_relaxed) : 0;
  }
  // The lead the clock model now keeps. Any thread.
  std::int64_t LeadNs() const { return IsOpen() ? figures_->clock.LeadNs() : 0; }

 protected:
  ServerStream(const char* name, std::chrono::milliseconds openBound) : openBound_(openBound), name_(name) {}

  // A stream pulling from `source` at `rate`, ready within openBound_: its
  // figures, which live until CloseStream. Null: none, with nothing of it left to close.
  virtual const StreamFigures* OpenStream(FrameSource& source, std::uint32_t rate) = 0;
  // From its return on, the source is never called again. Nothing open: nothing to do.
  virtual void CloseStream() = 0;

  const std::chrono::milliseconds openBound_;

 private:
  const char* name_;
  const StreamFigures* figures_ = nullptr;  // the open stream's
  FrameSource* source_ = nullptr;
  std::uint32_t rate_ = 0;
};

}  // namespace kestu
