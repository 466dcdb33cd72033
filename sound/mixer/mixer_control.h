// The one way into the audio thread's code from the sound API: the GUI
// thread's side of one open device. It holds the output, the mixer the output
// pulls from, the commands on their way and the voices waiting for the mixer
// to let go of them; it makes each voice and tells what the mixer last
// published of it. Buffers share it, so it lives until the last buffer is
// gone. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/mixer/mixer.h"
#include "sound/mixer/mixer_voice.h"
#include "sound/mixer/output_port.h"

namespace kestu::ds {

class MixerControl {
 public:
  // The primary rate before anyone sets a format.
  static constexpr std::uint32_t kDefaultRate = Mixer::kDefaultRate;

  // `blockDc`: the master stage's DC blocker (see SoundSystemConfig).
  explicit MixerControl(std::shared_ptr<AudioOutput> output, bool blockDc = true);
  ~MixerControl();
  MixerControl(const MixerControl&) = delete;
  MixerControl& operator=(const MixerControl&) = delete;

  bool OpenOutput();
  // The device was released: the output stops, so no voice is read any more.
  void CloseOutput();
  // Open and still pulled from; an output that stopped for good is closed here.
  bool IsOpen();
  // After the output stopped for good: a new one, with the mixer reset.
  bool ReopenOutput();
  std::uint64_t Underruns() const;
  void SetFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits);

  // Silent float planes for a sample of `frames` frames; throws std::bad_alloc.
  static std::shared_ptr<std::vector<float>> MakePlanes(std::uint32_t frames, std::uint16_t channels);
  // A stopped voice over `data` (PCM of `channels` and `bits`) and its `planes`, at `frequency`.
  MixerVoice* NewVoice(std::shared_ptr<const std::vector<std::uint8_t>> data,
                       std::shared_ptr<const std::vector<float>> planes, std::uint16_t channels,
                       std::uint16_t bits, std::uint32_t frequency);
  // A stopped voice over the very sample memory `original` reads, at `frequency`.
  MixerVoice* DuplicateVoice(const MixerVoice& original, std::uint32_t frequency);
  // Before the voice is first sent: who plays through it (see MixerVoice::owner).
  void SetOwner(MixerVoice& voice, const void* owner) noexcept { voice.owner = owner; }
  // Copies the voice's PCM into `planes` again, while no voice reads them.
  void RefillPlanes(const MixerVoice& voice, std::vector<float>& planes) const noexcept;
  // Hands the voice back: it is freed once the mixer has retired it.
  void ReleaseVoice(MixerVoice* voice, std::uint32_t serial);

  // What the mixer last published of a voice, as of the command with `appliedSerial`.
  struct VoiceState {
    std::uint32_t appliedSerial = 0;
    std::uint32_t frame = 0;
    bool playing = false;
    bool reading = false;  // the mixer still reads the voice's sample
  };
  VoiceState StateOf(const MixerVoice& voice) const noexcept;

  // One command for `voice`, stamped with the stamp in force.
  void Send(CommandKind kind, MixerVoice& voice, std::uint32_t value, std::uint32_t serial);
  // Commands sent from now on carry this stamp (0: at once). Stamps never go
  // backwards, so that the mixer meets them in order.
  void SetStamp(std::int64_t stampNs) noexcept;
  // Takes back every waiting command stamped after `afterNs` but releases; stamps from here on
  // may start again from that time.
  void Withdraw(std::int64_t afterNs);
  std::uint64_t LateStarts() const noexcept { return mixer_->LateStarts(); }
  std::uint64_t DroppedStarts() const noexcept { return mixer_->DroppedStarts(); }
  std::int64_t StampLeadNs() const noexcept { return open_ ? mixer_->StampLeadNs() : 0; }

 private:
  MixerVoice* NewVoice(std::shared_ptr<const std::vector<std::uint8_t>> data,
                       std::shared_ptr<const std::vector<float>> planes, const SampleView& view,
                       std::uint32_t frequency);
  void Send(const Command& command);
  // Frees the voices the mixer has retired.
  void Collect() noexcept;

  std::shared_ptr<AudioOutput> output_;
  std::unique_ptr<Mixer> mixer_;
  bool open_ = false;
  bool everOpen_ = false;
  std::uint32_t rate_ = Mixer::kDefaultRate;
  std::int64_t stampNs_ = 0;
  std::int64_t lastStampNs_ = 0;
  std::vector<MixerVoice*> graveyard_;
};

}  // namespace kestu::ds
