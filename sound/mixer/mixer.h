// The software mixer: sums every playing voice, resampled from its own
// frequency by a band-limited filter, and passes the sum through the master
// stage (headroom and a look-ahead limiter) into the primary format.
// Send is the GUI thread's side; RenderFrames is the audio thread's side.
// Commands stamped with a time wait in a fixed list until the block that
// holds their frame, and take effect at that frame inside it; never earlier:
// while the list is full the commands behind wait in the ring, in order. A
// command at once supersedes whatever its voice still had waiting, so that
// nothing planned for later is pulled forward. A start that comes far too
// late (a paused server, a suspended sink) is dropped, not played in a burst.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "sound/mixer/master_stage.h"
#include "sound/mixer/sinc_table.h"
#include "sound/mixer/spsc_queue.h"
#include "sound/mixer/mixer_voice.h"
#include "sound/mixer/output_port.h"

namespace kestu::ds {

class Mixer : public FrameSource {
 public:
  static constexpr std::size_t kMaxListedVoices = 64;
  static constexpr std::size_t kCommandCapacity = 4096;
  static constexpr std::uint32_t kBlockFrames = 256;
  static constexpr std::uint32_t kDefaultRate = 22050;
  static constexpr std::size_t kWaitingCapacity = 1024;
  // A stamped start this late is not played: the moment it belonged to has gone.
  static constexpr std::int64_t kDropLateNs = 50'000'000;
  // No command is heard more than this ahead of its stamp, whatever the clock model says.
  static constexpr std::int64_t kEarlyToleranceNs = 2'000'000;
  // A stamp further ahead of the block being mixed than this waits only this long.
  static constexpr std::int64_t kMaxAheadNs = 4'000'000'000;

  // GUI thread: the resampler's tables are ready before any frame is mixed.
  // `blockDc`: the master stage's DC blocker (see SoundSystemConfig).
  explicit Mixer(bool blockDc = true);

  // GUI thread. A command the full ring cannot take waits, in order, for
  // the next Send (or DeliverPending) to find room.
  void Send(const Command& command);
  // GUI thread, synchronous outputs only: the caller is the render side too.
  void DeliverPending() noexcept override;
  // GUI thread, while no output pulls: takes every command still on its way,
  // then silences every voice, so that the mixer starts afresh on the next
  // output with each voice's state as the GUI thread expects it.
  void Reset() noexcept;

  // Audio thread. Takes the commands on their way, then mixes `frames`
  // frames of interleaved int16 stereo at the primary rate, starting each
  // stamped command at the frame `time` gives it.
  void RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept override;
  using FrameSource::RenderFrames;

  // Any thread. Stamped starts of a voice that took effect later than their
  // time (their frame had passed, or the waiting list was full): notes heard late.
  std::uint64_t LateStarts() const noexcept { return late_.load(std::memory_order_relaxed); }
  // Any thread. Stamped starts dropped because they came kDropLateNs or more
  // after their time, or late behind a later start that was late too.
  std::uint64_t DroppedStarts() const noexcept { return dropped_.load(std::memory_order_relaxed); }
  // Any thread. How long after its stamp a stamped command is heard, as the
  // output last said; 0 before the first block placed in time.
  std::int64_t StampLeadNs() const noexcept { return leadNs_.load(std::memory_order_relaxed); }

  // Audio thread (tests: whoever renders). The primary rate in use.
  std::uint32_t Rate() const noexcept { return rate_; }

  // Any thread. Every frame leaves the mixer this many frames after the frame
  // in which its sound was started: the master stage's look-ahead.
  std::uint32_t LatencyFrames() const noexcept override { return MasterStage::kLookaheadFrames; }

 private:
  void ApplyCommands() noexcept;
  void TakeCommands(const BlockTime& time) noexcept;
  void Wait(Command command, const BlockTime& time) noexcept;
  void ApplyAllWaiting() noexcept;
  void DropWaitingFor(MixerVoice& voice) noexcept;
  void Withdraw(std::int64_t afterNs) noexcept;
  // Fades the sounds let ring out that `owner` played, but for `current`, its voice now.
  void CutRingingOut(const void* owner, const MixerVoice& current) noexcept;
  void Skip(const Command& command) noexcept;
  void MarkApplied(MixerVoice& voice, std::uint32_t serial) noexcept;
  std::uint32_t ApplyWaitingDue(const BlockTime& time, std::uint32_t done, std::uint32_t frames) noexcept;
  std::int64_t FrameOf(const Command& command, const BlockTime& time) const noexcept;
  std::int64_t StartFrameOf(const Command& command, const BlockTime& time) const noexcept;
  void MixSpan(std::int16_t* stereo, std::uint32_t frames) noexcept;
  void Apply(const Command& command) noexcept;
  bool List(MixerVoice& voice) noexcept;
  void Unlist(std::size_t index) noexcept;
  void BeginFade(MixerVoice& voice) noexcept;
  void Publish(MixerVoice& voice) noexcept;
  void MixBlock(float* mix, std::uint32_t frames) noexcept;
  void FinishBlock(const float* mix, std::int16_t* stereo, std::uint32_t frames) noexcept;
  std::uint64_t StepFor(std::uint32_t frequency) const noexcept;

  void FlushOutbox() noexcept;

  SpscQueue<Command, kCommandCapacity> commands_;
  // Audio thread: stamped commands not yet due, in the order they came.
  std::array<Command, kWaitingCapacity> waiting_{};
  std::size_t waitingCount_ = 0;
  // Audio thread: a stamped command taken from the ring while the list was
  // full; it and everything behind it wait for room.
  Command held_{};
  bool holding_ = false;
  std::atomic<std::uint64_t> late_{0};
  std::atomic<std::uint64_t> dropped_{0};
  std::atomic<std::int64_t> leadNs_{0};
  std::deque<Command> outbox_;  // GUI thread only
  std::array<MixerVoice*, kMaxListedVoices> listed_{};
  std::size_t listedCount_ = 0;
  bool anyRingingOut_ = false;  // some listed voice may be ringing out
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
