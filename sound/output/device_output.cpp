#include "sound/output/device_output.h"

#include <algorithm>

#include "sound/output/pulse_output.h"
#include "sound/output/rtaudio_output.h"

namespace kestu {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Left(Clock::time_point deadline) {
  return std::max(std::chrono::milliseconds(0),
                  std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

}  // namespace

DeviceOutput::DeviceOutput(std::chrono::milliseconds openTimeout) : openTimeout_(openTimeout) {}

DeviceOutput::~DeviceOutput() { Close(); }

bool DeviceOutput::Open(FrameSource& source, std::uint32_t rate) {
  Close();
  const Clock::time_point deadline = Clock::now() + openTimeout_;
  // Made anew for every open: each carries what is left of the time bound.
  using Make = std::unique_ptr<DeviceStream> (*)(std::chrono::milliseconds);
  constexpr Make kInOrder[] = {
      [](std::chrono::milliseconds left) -> std::unique_ptr<DeviceStream> {
        return std::make_unique<RtAudioOutput>(left, RtAudioOutput::Api::kJack);
      },
      [](std::chrono::milliseconds left) -> std::unique_ptr<DeviceStream> {
        return std::make_unique<PulseOutput>(left);
      },
      [](std::chrono::milliseconds left) -> std::unique_ptr<DeviceStream> {
        return std::make_unique<RtAudioOutput>(left, RtAudioOutput::Api::kAlsa);
      },
  };
  for (const Make make : kInOrder) {
    std::unique_ptr<DeviceStream> stream = make(Left(deadline));
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
