// The program's sound output: the first that opens of a running JACK server
// (never started for us; the mixer's frames converted to the server's rate),
// our own PulseAudio stream, and ALSA. Each Open chooses anew, so an output
// that lost its server finds whichever is there when it is opened again.
// Opening is bounded in time as a whole. GUI thread only, unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/output/audio_output.h"

namespace kestu {

class PulseOutput;
class RtAudioOutput;

class DeviceOutput : public AudioOutput {
 public:
  explicit DeviceOutput(std::chrono::milliseconds openTimeout = std::chrono::milliseconds(3000));
  ~DeviceOutput() override;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;
  bool IsPulling() const override;
  std::uint64_t Underruns() const override;

  bool IsOpen() const { return current_ != nullptr; }
  // "jack", "pulse" or "alsa" while open.
  std::string ApiName() const;
  // Frames per second the device runs at.
  std::uint32_t DeviceRate() const;
  // Frames the device asks for at a time.
  std::uint32_t BufferFrames() const;
  // How long a frame handed over now waits before it is heard, in device
  // frames, as far as the device says (0 when it does not).
  long StreamLatencyFrames() const;

 private:
  std::chrono::milliseconds openTimeout_;
  std::unique_ptr<RtAudioOutput> jack_;
  std::unique_ptr<PulseOutput> pulse_;
  std::unique_ptr<RtAudioOutput> alsa_;
  AudioOutput* current_ = nullptr;
};

}  // namespace kestu
