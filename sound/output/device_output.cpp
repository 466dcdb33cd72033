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
  // Made anew for every open: each carries its own time bound.
  jack_ = std::make_unique<RtAudioOutput>(Left(deadline), std::vector{RtAudioOutput::Api::kJack});
  if (jack_->Open(source, rate)) {
    current_ = jack_.get();
    return true;
  }
  jack_.reset();
  pulse_ = std::make_unique<PulseOutput>(Left(deadline));
  if (pulse_->Open(source, rate)) {
    current_ = pulse_.get();
    return true;
  }
  pulse_.reset();
  alsa_ = std::make_unique<RtAudioOutput>(Left(deadline), std::vector{RtAudioOutput::Api::kAlsa});
  if (alsa_->Open(source, rate)) {
    current_ = alsa_.get();
    return true;
  }
  alsa_.reset();
  return false;
}

void DeviceOutput::ChangeRate(std::uint32_t rate) {
  if (current_ != nullptr) current_->ChangeRate(rate);
}

void DeviceOutput::Close() {
  if (current_ != nullptr) current_->Close();
  current_ = nullptr;
  jack_.reset();
  pulse_.reset();
  alsa_.reset();
}

bool DeviceOutput::IsPulling() const { return current_ != nullptr && current_->IsPulling(); }

std::uint64_t DeviceOutput::Underruns() const { return current_ != nullptr ? current_->Underruns() : 0; }

std::string DeviceOutput::ApiName() const {
  if (pulse_ != nullptr) return pulse_->IsOpen() ? "pulse" : "";
  if (jack_ != nullptr) return jack_->ApiName();
  if (alsa_ != nullptr) return alsa_->ApiName();
  return {};
}

std::uint32_t DeviceOutput::DeviceRate() const {
  if (pulse_ != nullptr) return pulse_->DeviceRate();
  if (jack_ != nullptr) return jack_->DeviceRate();
  if (alsa_ != nullptr) return alsa_->DeviceRate();
  return 0;
}

std::uint32_t DeviceOutput::BufferFrames() const {
  if (pulse_ != nullptr) return pulse_->RequestFrames();
  if (jack_ != nullptr) return jack_->BufferFrames();
  if (alsa_ != nullptr) return alsa_->BufferFrames();
  return 0;
}

long DeviceOutput::StreamLatencyFrames() const {
  if (pulse_ != nullptr) return pulse_->LatencyFrames();
  if (jack_ != nullptr) return jack_->StreamLatencyFrames();
  if (alsa_ != nullptr) return alsa_->StreamLatencyFrames();
  return 0;
}

}  // namespace kestu
