#include "sound/output/device_output.h"

#include <algorithm>

#include "sound/output/jack_output.h"
#include "sound/output/pipewire_output.h"
#include "sound/output/pulse_output.h"
#include "sound/output/rtaudio_output.h"

namespace kestu {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Left(Clock::time_point deadline) {
  return std::max(std::chrono::milliseconds(0),
                  std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

std::unique_ptr<DeviceStream> Make(OutputWay way, std::chrono::milliseconds left) {
  switch (way) {
    case OutputWay::kPipeWire:
      return std::make_unique<PipeWireOutput>(left);
    case OutputWay::kJack:
      return std::make_unique<JackOutput>(left);
    case OutputWay::kPulse:
      return std::make_unique<PulseOutput>(left);
    case OutputWay::kAlsa:
      return std::make_unique<RtAudioOutput>(left);
  }
  return nullptr;
}

constexpr OutputWay kAllWays[] = {OutputWay::kPipeWire, OutputWay::kJack, OutputWay::kPulse, OutputWay::kAlsa};

}  // namespace

const char* OutputWayName(OutputWay way) {
  switch (way) {
    case OutputWay::kPipeWire:
      return "pipewire";
    case OutputWay::kJack:
      return "jack";
    case OutputWay::kPulse:
      return "pulse";
    case OutputWay::kAlsa:
      return "alsa";
  }
  return "";
}

std::optional<OutputWay> OutputWayNamed(const std::string& name) {
  for (const OutputWay way : kAllWays) {
    if (name == OutputWayName(way)) return way;
  }
  return std::nullopt;
}

const std::vector<OutputWay>& DeviceOutput::DefaultWays() {
  // PipeWire first: where it runs, it is the desktop's server, and our own
  // stream reaches it in its cycle, where its JACK and pulse servers add a
  // hop and a larger quantum. Where it does not run, opening it fails at once.
  static const std::vector<OutputWay> ways(std::begin(kAllWays), std::end(kAllWays));
  return ways;
}

DeviceOutput::DeviceOutput(std::chrono::milliseconds openTimeout, std::vector<OutputWay> ways)
    : openTimeout_(openTimeout), ways_(std::move(ways)) {}

DeviceOutput::~DeviceOutput() { Close(); }

bool DeviceOutput::Open(FrameSource& source, std::uint32_t rate) {
  Close();
  const Clock::time_point deadline = Clock::now() + openTimeout_;
  // Made anew for every open: each carries what is left of the time bound.
  for (const OutputWay way : ways_) {
    std::unique_ptr<DeviceStream> stream = Make(way, Left(deadline));
    if (stream->Open(source, rate)) {
      current_ = std::move(stream);
      return true;
    }
  }
  return false;
}

void DeviceOutput::ChangeRate(std::uint32_t rate) {
  if (current_ != nullptr) current_->ChangeRate(rate);
}

void DeviceOutput::Close() {
  if (current_ != nullptr) current_->Close();
  current_.reset();
}

bool DeviceOutput::IsPulling() const { return current_ != nullptr && current_->IsPulling(); }

std::uint64_t DeviceOutput::Underruns() const { return current_ != nullptr ? current_->Underruns() : 0; }

std::string DeviceOutput::ApiName() const { return current_ != nullptr ? current_->ApiName() : std::string(); }
std::uint32_t DeviceOutput::DeviceRate() const { return current_ != nullptr ? current_->DeviceRate() : 0; }
std::uint32_t DeviceOutput::BufferFrames() const { return current_ != nullptr ? current_->BufferFrames() : 0; }
long DeviceOutput::StreamLatencyFrames() const { return current_ != nullptr ? current_->StreamLatencyFrames() : 0; }

}  // namespace kestu
