// The software mixer: sums every playing voice, resampled from its own
// frequency by a band-limited filter, and passes the sum through the master
// stage (headroom and a look-ahead limiter) into the primary format.
// Send is the GUI thread's side; RenderFrames is the audio thread's side.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "sound/dsound/master_stage.h"
#include "sound/dsound/sinc_table.h"
#include "sound/dsound/spsc_queue.h"
#include "sound/dsound/voice.h"
#include "sound/output/audio_output.h"

namespace kestu::ds {

class Mixer : public FrameSource {
 public:
  static constexpr std::size_t kMaxListedVoices = 64;
  static constexpr std::size_t kCommandCapacity = 4096;
  static constexpr std::uint32_t kBlockFrames = 256;
  static constexpr std::uint32_t kDefaultRate = 22050;

  // GUI thread: the resampler's tables are ready before any frame is mixed.
  Mixer();

  // GUI thread. A command the full ring cannot take waits, in order, for
  // the next Send (or DeliverPending) to find room.
  void Send(const Command& command);
  // GUI thread, synchronous outputs only: the caller is the render side too.
  void DeliverPending() override;
  // GUI thread, once the output has stopped: the waiting commands are moot.
  void DropPending() { outbox_.clear(); }

  // Audio thread. Applies waiting commands, then mixes `frames` frames of
  // interleaved int16 stereo at the primary rate.
  void RenderFrames(std::int16_t* stereo, std::uint32_t frames) noexcept override;

  // Audio thread (tests: whoever renders). The primary rate in use.
  std::uint32_t Rate() const { return rate_; }

  // Any thread. Every frame leaves the mixer this many frames after the frame
  // in which its sound was started: the master stage's look-ahead.
  std::uint32_t LatencyFrames() const noexcept override { return MasterStage::kLookaheadFrames; }

 private:
  void ApplyCommands() noexcept;
  void Apply(const Command& command) noexcept;
  bool List(Voice& voice) noexcept;
  void Unlist(std::size_t index) noexcept;
  void BeginFade(Voice& voice) noexcept;
  void Publish(Voice& voice) noexcept;
  void MixBlock(float* mix, std::uint32_t frames) noexcept;
  void FinishBlock(const float* mix, std::int16_t* stereo, std::uint32_t frames) noexcept;
  std::uint64_t StepFor(std::uint32_t frequency) const noexcept;

  void FlushOutbox();

  SpscQueue<Command, kCommandCapacity> commands_;
  std::deque<Command> outbox_;  // GUI thread only
  std::array<Voice*, kMaxListedVoices> listed_{};
  std::size_t listedCount_ = 0;
  std::uint32_t rate_ = kDefaultRate;
  std::uint16_t channels_ = 2;
  std::uint16_t bits_ = 8;  // the primary format before anyone sets it: 8 bits, stereo
  std::uint32_t fadeFrames_ = 0;
  std::array<float, 2 * kBlockFrames> mix_{};
  std::array<float, 2 * kBlockFrames> finished_{};
  const SincTables& tables_;
  MasterStage master_;
};

}  // namespace kestu::ds
