#pragma once
// The program's own device output with a probe between it and the mixer. Each time the device
// asks for frames, the probe reads steady_clock, lets the mixer render, and keeps the left channel.
// A sound can then be found in the mixer's own output, and the time it waited for the device's
// next request told apart from the time it then spent in the buffers on its way to the sink.
// The probe reads the clock and copies into room reserved beforehand: like the mixer, it never
// blocks, locks, allocates, frees or logs. GUI thread, except RenderFrames.
#include <atomic>
#include <cstdint>
#include <vector>

#include "sound/output/audio_output.h"
#include "sound/output/device_output.h"

namespace kestu::latency {

struct RenderedBlock {
  std::int64_t calledNs;    // steady_clock, as the device asked
  std::uint64_t firstFrame; // of the kept frames
  std::uint32_t frames;
  // The block's time as the output's clock model gave it (0 where it keeps none).
  std::int64_t firstFrameNs = 0;
  std::int64_t readingNs = 0;
  std::int64_t leadNs = 0;
};

class ProbedOutput : public AudioOutput, private FrameSource {
 public:
  // Room for `maxSeconds` at `rate` (the primary rate the program sets).
  // The device output tries `ways` in order.
  ProbedOutput(std::uint32_t rate, double maxSeconds, std::vector<OutputWay> ways = DeviceOutput::DefaultWays());
  ~ProbedOutput() override;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;
  bool IsPulling() const override { return device_.IsPulling(); }
  std::uint64_t Underruns() const override { return device_.Underruns(); }

  // Frames and blocks are kept from the next request on, until StopKeeping.
  void StartKeeping() { keeping_.store(true, std::memory_order_release); }
  void StopKeeping() { keeping_.store(false, std::memory_order_release); }
  // The primary rate the mixer renders at, as last given to the output.
  std::uint32_t Rate() const { return rate_; }
  std::vector<std::int16_t> Frames() const;
  std::vector<RenderedBlock> Blocks() const;
  bool Full() const { return full_.load(std::memory_order_acquire); }
  // How far ahead of its sound a stamped note is placed, as the output last said; -1 before.
  std::int64_t LeadNs() const { return leadNs_.load(std::memory_order_relaxed); }

  const DeviceOutput& Device() const { return device_; }

 private:
  void RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept override;
  void DeliverPending() override;

  DeviceOutput device_;
  FrameSource* mixer_ = nullptr;
  std::uint32_t rate_ = 0;
  std::vector<std::int16_t> left_;
  std::vector<RenderedBlock> blocks_;
  std::atomic<bool> keeping_{false};
  std::atomic<std::size_t> frameCount_{0};
  std::atomic<std::size_t> blockCount_{0};
  std::atomic<bool> full_{false};
  std::atomic<std::int64_t> leadNs_{-1};
};

}  // namespace kestu::latency
