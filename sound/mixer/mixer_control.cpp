#include "sound/mixer/mixer_control.h"

#include <algorithm>

namespace kestu::ds {

DeviceCore::DeviceCore(std::shared_ptr<AudioOutput> output, std::shared_ptr<FaultPlan> faults)
    : output_(std::move(output)), faults_(std::move(faults)), mixer_(std::make_unique<Mixer>()) {}

DeviceCore::~DeviceCore() {
  CloseOutput();
  for (MixerVoice* voice : graveyard_) delete voice;
}

bool DeviceCore::OpenOutput() {
  if (output_ == nullptr) return false;
  open_ = output_->Open(*mixer_, rate_);
  everOpen_ = everOpen_ || open_;
  return open_;
}

bool DeviceCore::ReopenOutput() {
  // The close reset the mixer and freed the released voices; nothing was sent since.
  return open_ || (everOpen_ && OpenOutput());
}

std::uint64_t DeviceCore::Underruns() const { return open_ ? output_->Underruns() : 0; }

void DeviceCore::SetStamp(std::int64_t stampNs) {
  if (stampNs != 0) {
    stampNs = std::max(stampNs, lastStampNs_);
    lastStampNs_ = stampNs;
  }
  stampNs_ = stampNs;
}

void DeviceCore::Withdraw(std::int64_t afterNs) {
  if (afterNs <= 0) return;
  lastStampNs_ = std::min(lastStampNs_, afterNs);
  if (!IsOpen()) return;
  Command withdraw{CommandKind::Withdraw, nullptr, 0, 0, 0};
  withdraw.stampNs = afterNs;
  mixer_->Send(withdraw);
}

bool DeviceCore::IsOpen() {
  if (open_ && !output_->IsPulling()) CloseOutput();
  return open_;
}

void DeviceCore::CloseOutput() {
  if (!open_) return;
  output_->Close();
  open_ = false;
  // Nothing pulls now: what was on its way is taken and every voice falls
  // silent, so that the voices and the mixer agree if an output comes back.
  mixer_->Reset();
  for (MixerVoice* voice : graveyard_) delete voice;
  graveyard_.clear();
}

MixerVoice* DeviceCore::NewVoice(std::shared_ptr<const std::vector<std::uint8_t>> data,
                            std::shared_ptr<const std::vector<float>> planes, const SampleView& view) {
  Collect();
  auto* voice = new MixerVoice;
  voice->sample = view;
  voice->keepAlive = std::move(data);
  voice->keepPlanesAlive = std::move(planes);
  return voice;
}

void DeviceCore::ReleaseVoice(MixerVoice* voice, std::uint32_t serial) {
  if (!IsOpen()) {
    delete voice;
    return;
  }
  graveyard_.push_back(voice);
  Send({CommandKind::Release, voice, 0, 0, serial});
}

void DeviceCore::Send(const Command& command) {
  if (!IsOpen()) return;
  Collect();
  Command stamped = command;
  if (command.kind != CommandKind::SetFormat) stamped.stampNs = stampNs_;
  mixer_->Send(stamped);
}

void DeviceCore::SetFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
  if (!IsOpen()) return;
  Send({CommandKind::SetFormat, nullptr, rate,
        static_cast<std::uint32_t>(channels) | static_cast<std::uint32_t>(bits) << 16, 0});
  rate_ = rate;
  output_->ChangeRate(rate);
}

void DeviceCore::Collect() {
  const auto retired = std::partition(graveyard_.begin(), graveyard_.end(), [](MixerVoice* voice) {
    return !voice->retired.load(std::memory_order_acquire);
  });
  for (auto it = retired; it != graveyard_.end(); ++it) delete *it;
  graveyard_.erase(retired, graveyard_.end());
}

}  // namespace kestu::ds
