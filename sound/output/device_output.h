// The program's sound output: the first that opens of our own PipeWire
// stream (where a PipeWire server runs; none is started), a running JACK
// server (never started for us; the mixer's frames converted to the
// server's rate), our own PulseAudio stream, and ALSA. Each Open chooses
// anew, so an output that lost its server finds whichever is there when it
// is opened again. Opening is bounded in time as a whole. GUI thread only,
// unless said otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sound/output/bounded_open.h"
#include "sound/output/device_stream.h"

namespace kestu {

// One way to the sound device.
enum class OutputWay { kPipeWire, kJack, kPulse, kAlsa };

// "pipewire", "jack", "pulse", "alsa": the name ApiName gives for the way.
const char* OutputWayName(OutputWay way);
std::optional<OutputWay> OutputWayNamed(const std::string& name);

class DeviceOutput : public AudioOutput {
 public:
  // The order the program tries the ways in.
  static const std::vector<OutputWay>& DefaultWays();

  explicit DeviceOutput(std::chrono::milliseconds openTimeout = BoundedOpen::kDefaultBound,
                        std::vector<OutputWay> ways = DefaultWays());
  ~DeviceOutput() override;

  bool Open(FrameSource& source, std::uint32_t rate) override;
  void ChangeRate(std::uint32_t rate) override;
  void Close() override;
  bool IsPulling() const override;
  std::uint64_t Underruns() const override;

  bool IsOpen() const { return current_ != nullptr; }
  // What the open stream says (see DeviceStream); empty or 0 while closed.
  std::string ApiName() const;
  std::uint32_t DeviceRate() const;
  std::uint32_t BufferFrames() const;
  long StreamLatencyFrames() const;

 private:
  std::chrono::milliseconds openTimeout_;
  std::vector<OutputWay> ways_;
  std::unique_ptr<DeviceStream> current_;
};

}  // namespace kestu
