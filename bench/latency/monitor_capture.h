#pragma once
// Records the sink's monitor in this process through RtAudio's input (the server's default
// source, which PULSE_SOURCE names), timing each block on std::chrono::steady_clock as it arrives.
// The times are what ties the recording to the program's own events; see timeline.h.
//
// This is the second file that includes RtAudio, beside the program's output in sound/output/: the
// program has no input and should not grow one for a measuring tool, and a recorder in a child
// process (parec) would put a pipe and another process's scheduling between a block's arrival and
// its time stamp. Main thread, except the callback.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/latency/timeline.h"

namespace kestu::latency {

// Where the sink's sound is recorded: the PulseAudio monitor of the sink (PulseAudio, or PipeWire's
// pulse server), or, on a JACK server of its own, the program's left port itself (JACK has no
// monitor: its dummy driver's playback ports only swallow frames); see jack_capture.cpp.
enum class RecordFrom { kPulseMonitor, kJackPort };

class MonitorCapture {
 public:
  // Room for `maxSeconds` of mono 16-bit sound at `rate`, reserved now so that the callback never
  // allocates. Blocks of `blockFrames` frames are asked for.
  MonitorCapture(std::uint32_t rate, std::uint32_t blockFrames, double maxSeconds,
                 RecordFrom from = RecordFrom::kPulseMonitor);
  ~MonitorCapture();
  MonitorCapture(const MonitorCapture&) = delete;
  MonitorCapture& operator=(const MonitorCapture&) = delete;

  // False, with `error`, when no PulseAudio input (no JACK client) opens.
  bool Start(std::string& error);
  void Stop();

  std::uint32_t Rate() const { return rate_; }
  // What the server granted.
  std::uint32_t BlockFrames() const { return blockFrames_; }
  // After Stop: the recording and the arrival time of each block.
  std::vector<std::int16_t> Samples() const;
  std::vector<ArrivedBlock> Blocks() const;
  // The reserved room ran out and the rest was not kept.
  bool Full() const { return full_.load(std::memory_order_acquire); }

 private:
  static int Callback(void* output, void* input, unsigned int frames, double, unsigned int status,
                      void* user);
  void Keep(const std::int16_t* input, std::uint32_t frames) noexcept;
  // A block has arrived at `arrivedNs` (steady_clock). Audio thread.
  void Arrived(const std::int16_t* input, std::uint32_t frames, std::int64_t arrivedNs) noexcept;
  bool StartJack(std::string& error);
  void StopJack();
  struct JackRecorder;

  RecordFrom from_;
  std::shared_ptr<JackRecorder> jack_;  // made and freed in jack_capture.cpp

  std::uint32_t rate_;
  std::uint32_t blockFrames_;
  struct Stream;
  std::unique_ptr<Stream> stream_;
  std::vector<std::int16_t> samples_;
  std::vector<ArrivedBlock> blocks_;
  bool skippedFirst_ = false;  // audio thread
  std::atomic<std::size_t> sampleCount_{0};
  std::atomic<std::size_t> blockCount_{0};
  std::atomic<bool> full_{false};
};

}  // namespace kestu::latency
