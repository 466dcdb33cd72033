#include "sound/mixer/mixer_control.h"

#include <algorithm>

#include "sound/mixer/sample_planes.h"

namespace kestu::ds {

MixerControl::MixerControl(std::shared_ptr<AudioOutput> output, bool blockDc)
    : output_(std::move(output)), mixer_(std::make_unique<Mixer>(blockDc)) {}

MixerControl::~MixerControl() {
  CloseOutput();
  for (MixerVoice* voice : graveyard_) delete voice;
}

bool MixerControl::OpenOutput() {
  if (output_ == nullptr) return false;
  open_ = output_->Open(*mixer_, rate_);
  everOpen_ = everOpen_ || open_;
  return open_;
}

bool MixerControl::ReopenOutput() {
  // The close reset the mixer and freed the released voices; nothing was sent since.
  return open_ || (everOpen_ && OpenOutput());
}

std::uint64_t MixerControl::Underruns() const { return open_ ? output_->Underruns() : 0; }

void MixerControl::SetStamp(std::int64_t stampNs) noexcept {
  if (stampNs != 0) {
    stampNs = std::max(stampNs, lastStampNs_);
    lastStampNs_ = stampNs;
  }
  stampNs_ = stampNs;
}

void MixerControl::Withdraw(std::int64_t afterNs) {
  if (afterNs <= 0) return;
  lastStampNs_ = std::min(lastStampNs_, afterNs);
  if (!IsOpen()) return;
  Command withdraw{CommandKind::Withdraw, nullptr, 0, 0, 0};
  withdraw.stampNs = afterNs;
  mixer_->Send(withdraw);
}

bool MixerControl::IsOpen() {
  if (open_ && !output_->IsPulling()) CloseOutput();
  return open_;
}

void MixerControl::CloseOutput() {
  if (!open_) return;
  output_->Close();
  open_ = false;
  // Nothing pulls now: what was on its way is taken and every voice falls
  // silent, so that the voices and the mixer agree if an output comes back.
  mixer_->Reset();
  for (MixerVoice* voice : graveyard_) delete voice;
  graveyard_.clear();
}

std::shared_ptr<std::vector<float>> MixerControl::MakePlanes(std::uint32_t frames, std::uint16_t channels) {
  return MakeSamplePlanes(frames, channels);
}

MixerVoice* MixerControl::NewVoice(std::shared_ptr<const std::vector<std::uint8_t>> data,
                                   std::shared_ptr<const std::vector<float>> planes, std::uint16_t channels,
                                   std::uint16_t bits, std::uint32_t frequency) {
  const std::uint32_t blockAlign = channels * (bits / 8u);
  SampleView view{data->data(), static_cast<std::uint32_t>(data->size() / blockAlign), channels, bits};
  AttachPlanes(view, *planes);
  return NewVoice(std::move(data), std::move(planes), view, frequency);
}

MixerVoice* MixerControl::DuplicateVoice(const MixerVoice& original, std::uint32_t frequency) {
  return NewVoice(original.keepAlive, original.keepPlanesAlive, original.sample, frequency);
}

MixerVoice* MixerControl::NewVoice(std::shared_ptr<const std::vector<std::uint8_t>> data,
                                   std::shared_ptr<const std::vector<float>> planes, const SampleView& view,
                                   std::uint32_t frequency) {
  Collect();
  auto* voice = new MixerVoice;
  voice->sample = view;
  voice->keepAlive = std::move(data);
  voice->keepPlanesAlive = std::move(planes);
  voice->frequency = frequency;
  return voice;
}

void MixerControl::RefillPlanes(const MixerVoice& voice, std::vector<float>& planes) const noexcept {
  FillPlanes(voice.sample, planes);
}

MixerControl::VoiceState MixerControl::StateOf(const MixerVoice& voice) const noexcept {
  VoiceState state;
  state.appliedSerial = voice.appliedSerial.load(std::memory_order_acquire);
  state.frame = voice.publishedFrame.load(std::memory_order_relaxed);
  state.playing = voice.publishedPlaying.load(std::memory_order_relaxed);
  state.reading = voice.publishedReading.load(std::memory_order_relaxed);
  return state;
}

void MixerControl::Send(CommandKind kind, MixerVoice& voice, std::uint32_t value, std::uint32_t serial) {
  Send({kind, &voice, value, 0, serial});
}

void MixerControl::ReleaseVoice(MixerVoice* voice, std::uint32_t serial) {
  if (!IsOpen()) {
    delete voice;
    return;
  }
  graveyard_.push_back(voice);
  Send({CommandKind::Release, voice, 0, 0, serial});
}

void MixerControl::Send(const Command& command) {
  if (!IsOpen()) return;
  Collect();
  Command stamped = command;
  if (command.kind != CommandKind::SetFormat) stamped.stampNs = stampNs_;
  mixer_->Send(stamped);
}

void MixerControl::SetFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
  if (!IsOpen()) return;
  Send({CommandKind::SetFormat, nullptr, rate,
        static_cast<std::uint32_t>(channels) | static_cast<std::uint32_t>(bits) << 16, 0});
  rate_ = rate;
  output_->ChangeRate(rate);
}

void MixerControl::Collect() noexcept {
  const auto retired = std::partition(graveyard_.begin(), graveyard_.end(), [](MixerVoice* voice) {
    return !voice->retired.load(std::memory_order_acquire);
  });
  for (auto it = retired; it != graveyard_.end(); ++it) delete *it;
  graveyard_.erase(retired, graveyard_.end());
}

}  // namespace kestu::ds
