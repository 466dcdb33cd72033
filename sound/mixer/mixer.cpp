#include "sound/mixer/mixer.h"

#include "sound/mixer/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kestu::ds {

namespace {

// A cut-off voice fades out along a raised cosine over 6 ms. A low note cut any faster, or along a
// straight ramp, puts an audible click above 1 kHz; 6 ms is still far shorter than a column.
std::uint32_t FadeFramesFor(std::uint32_t rate) { return std::max<std::uint32_t>(1, rate * 6 / 1000); }

}  // namespace

Mixer::Mixer(bool blockDc) : fadeFrames_(FadeFramesFor(rate_)), tables_(SincTables::Shared()), master_(blockDc) {
  master_.SetRate(rate_);
}

std::uint64_t Mixer::StepFor(std::uint32_t frequency) const noexcept {
  const double ratio = static_cast<double>(frequency) / static_cast<double>(rate_);
  return static_cast<std::uint64_t>(std::llround(ratio * 4294967296.0));
}

void Mixer::Send(const Command& command) {
  FlushOutbox();
  if (!outbox_.empty() || !commands_.Push(command)) outbox_.push_back(command);
}

void Mixer::FlushOutbox() noexcept {
  while (!outbox_.empty() && commands_.Push(outbox_.front())) outbox_.pop_front();
}

void Mixer::DeliverPending() noexcept {
  for (;;) {
    FlushOutbox();
    if (outbox_.empty()) return;
    ApplyCommands();
  }
}

void Mixer::RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept {
  if (time.firstFrameNs != 0) leadNs_.store(time.leadNs, std::memory_order_relaxed);
  TakeCommands(time);
  std::uint32_t done = 0;
  while (done < frames) {
    const std::uint32_t until = ApplyWaitingDue(time, done, frames);
    MixSpan(stereo + 2 * static_cast<std::size_t>(done), until - done);
    done = until;
  }
}

void Mixer::MixSpan(std::int16_t* stereo, std::uint32_t frames) noexcept {
  while (frames > 0) {
    const std::uint32_t block = std::min(frames, kBlockFrames);
    std::fill(mix_.begin(), mix_.begin() + 2 * block, 0.0f);
    MixBlock(mix_.data(), block);
    FinishBlock(mix_.data(), stereo, block);
    stereo += 2 * block;
    frames -= block;
  }
}

void Mixer::ApplyCommands() noexcept { TakeCommands(BlockTime{}); }

void Mixer::TakeCommands(const BlockTime& time) noexcept {
  Command command;
  for (;;) {
    if (holding_) {
      command = held_;
      holding_ = false;
    } else if (!commands_.Pop(command)) {
      return;
    }
    if (command.kind == CommandKind::Withdraw) {
      Withdraw(command.stampNs);
    } else if (command.stampNs != 0 && time.firstFrameNs != 0) {
      if (waitingCount_ == waiting_.size()) {
        // No room: rather than start it early, it and all behind it wait for the list to drain.
        held_ = command;
        holding_ = true;
        return;
      }
      Wait(command, time);
    } else {
      // At once: what its voice still had planned is superseded, never pulled forward.
      if (command.voice != nullptr) DropWaitingFor(*command.voice);
      Apply(command);
    }
  }
}

void Mixer::Wait(Command command, const BlockTime& time) noexcept {
  command.stampNs = std::min(command.stampNs, time.firstFrameNs + kMaxAheadNs);
  if (command.voice != nullptr) ++command.voice->waiting;
  waiting_[waitingCount_++] = command;
}

void Mixer::ApplyAllWaiting() noexcept {
  for (std::size_t i = 0; i < waitingCount_; ++i) {
    if (waiting_[i].voice != nullptr) --waiting_[i].voice->waiting;
    Apply(waiting_[i]);
  }
  waitingCount_ = 0;
}

// A command that will never take effect: the GUI thread sees its voice as it really is.
void Mixer::Skip(const Command& command) noexcept {
  if (command.voice == nullptr) return;
  Publish(*command.voice);
  MarkApplied(*command.voice, command.serial);
}

// Serials grow with each command of a voice; one skipped may pass ones still waiting before it,
// whose own serial then no longer counts.
void Mixer::MarkApplied(MixerVoice& voice, std::uint32_t serial) noexcept {
  if (serial > voice.appliedSerial.load(std::memory_order_relaxed)) {
    voice.appliedSerial.store(serial, std::memory_order_release);
  }
}

void Mixer::DropWaitingFor(MixerVoice& voice) noexcept {
  if (voice.waiting == 0) return;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < waitingCount_; ++i) {
    if (waiting_[i].voice != &voice) waiting_[kept++] = waiting_[i];
  }
  waitingCount_ = kept;
  voice.waiting = 0;
}

void Mixer::Withdraw(std::int64_t afterNs) noexcept {
  // Each voice's commands wait in the order they came and their stamps never go backwards, so
  // what is taken back of a voice is the end of its commands, but for a release.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < waitingCount_; ++i) {
    Command& command = waiting_[i];
    if (command.stampNs <= afterNs) {
      waiting_[kept++] = command;
    } else if (command.kind == CommandKind::Release) {
      command.value2 |= kReleaseWhenEnded;
      // Still its owner's sound, as if the re-attach had never come: the owner's next stop or
      // start cuts it, even one that comes before this release.
      command.voice->ringingOut = command.voice->owner != nullptr;
      anyRingingOut_ = anyRingingOut_ || command.voice->ringingOut;
      waiting_[kept++] = command;
    } else {
      --command.voice->waiting;
      Skip(command);
    }
  }
  waitingCount_ = kept;
}

void Mixer::CutRingingOut(const void* owner, const MixerVoice& current) noexcept {
  bool left = false;
  for (std::size_t i = 0; i < listedCount_; ++i) {
    MixerVoice& voice = *listed_[i];
    if (!voice.ringingOut) continue;
    if (voice.owner == owner && &voice != &current) {
      if (voice.main.active) BeginFade(voice);
      voice.main.active = false;
      voice.ringingOut = false;
    } else {
      left = true;
    }
  }
  anyRingingOut_ = left;
}

std::int64_t Mixer::FrameOf(const Command& command, const BlockTime& time) const noexcept {
  // Beyond ten seconds either way the exact frame no longer matters.
  constexpr std::int64_t kFar = 10'000'000'000;
  const std::int64_t offsetNs = std::clamp(command.stampNs + time.leadNs - time.firstFrameNs, -kFar, kFar);
  const std::int64_t scaled = offsetNs * static_cast<std::int64_t>(rate_);
  constexpr std::int64_t kNsPerSecond = 1'000'000'000;
  // Floor, so that a time inside a frame belongs to that frame.
  const std::int64_t heard = scaled >= 0 ? scaled / kNsPerSecond : -((-scaled + kNsPerSecond - 1) / kNsPerSecond);
  // Mixed the master stage's look-ahead earlier, it is heard at its time.
  return heard - static_cast<std::int64_t>(MasterStage::kLookaheadFrames);
}

// The frame of this block at which a command takes effect: where its time
// falls by the clock model, but never in a part of the block that the output
// asked for before the command's stamp. A frame is heard no earlier than the
// block was asked for plus its place in it, so no command is heard ahead of
// its stamp even when the model is misled by stale readings.
std::int64_t Mixer::StartFrameOf(const Command& command, const BlockTime& time) const noexcept {
  const std::int64_t frame = FrameOf(command, time);
  if (time.callNs == 0) return frame;
  const std::int64_t earliestNs = command.stampNs - kEarlyToleranceNs - time.callNs;
  if (earliestNs <= 0) return frame;
  const std::int64_t scaled = std::min<std::int64_t>(earliestNs, kMaxAheadNs) * static_cast<std::int64_t>(rate_);
  return std::max(frame, (scaled + 999'999'999) / 1'000'000'000);
}

// Applies the waiting commands due at or before frame `done` of this block,
// in the order they came; returns the frame where the next one is due (or
// `frames`). A command whose frame has passed takes effect now. A start that
// late counts as late; one far too late is dropped, and so is one that a
// later start, late as well, follows: the stream stood still, and starting
// every note it missed at once would pile them up.
std::uint32_t Mixer::ApplyWaitingDue(const BlockTime& time, std::uint32_t done, std::uint32_t frames) noexcept {
  // The clock model's own corrections move a block by a frame or two; only a
  // start a millisecond or more behind its time was late.
  const std::int64_t lateFrames = std::max<std::int64_t>(1, rate_ / 1000);
  const std::int64_t dropFrames = kDropLateNs * static_cast<std::int64_t>(rate_) / 1'000'000'000;
  // How late a start is, by the clock that cannot be stale where there is one: the block is
  // heard no earlier than it is asked for.
  const auto tooLate = [&](const Command& command, std::int64_t frame) {
    const std::int64_t lastHeardNs = command.stampNs + time.leadNs + kDropLateNs;
    if (time.callNs != 0) return lastHeardNs <= time.callNs;
    return frame <= -dropFrames || (time.readingNs != 0 && lastHeardNs <= time.readingNs);
  };
  std::int64_t newestLateNs = std::numeric_limits<std::int64_t>::min();
  if (done == 0) {
    for (std::size_t i = 0; i < waitingCount_; ++i) {
      const Command& command = waiting_[i];
      if (command.kind == CommandKind::Play && StartFrameOf(command, time) <= -lateFrames) {
        newestLateNs = std::max(newestLateNs, command.stampNs);
      }
    }
  }
  std::uint32_t next = frames;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < waitingCount_; ++i) {
    const Command& command = waiting_[i];
    const std::int64_t frame = StartFrameOf(command, time);
    if (frame > static_cast<std::int64_t>(done)) {
      waiting_[kept++] = command;
      if (frame < static_cast<std::int64_t>(next)) next = static_cast<std::uint32_t>(frame);
      continue;
    }
    if (command.voice != nullptr) --command.voice->waiting;
    // A start is its rewind and its play: a rewind of a start that is dropped would restart
    // whatever its channel still sounds.
    const bool start = command.kind == CommandKind::Play || command.kind == CommandKind::SetPosition;
    const bool late = frame <= -lateFrames;
    if (start && (tooLate(command, frame) || (late && command.stampNs < newestLateNs))) {
      if (command.kind == CommandKind::Play) dropped_.fetch_add(1, std::memory_order_relaxed);
      Skip(command);
      continue;
    }
    if (command.kind == CommandKind::Play && late) late_.fetch_add(1, std::memory_order_relaxed);
    Apply(command);
  }
  waitingCount_ = kept;
  return next;
}

void Mixer::Reset() noexcept {
  // Everything: the ring too, which may hold the release of a voice that is freed after this.
  do {
    FlushOutbox();
    ApplyCommands();
  } while (!outbox_.empty());
  ApplyAllWaiting();
  while (listedCount_ > 0) {
    MixerVoice& voice = *listed_[listedCount_ - 1];
    voice.main.active = false;
    voice.tail.active = false;
    Unlist(listedCount_ - 1);
  }
  anyRingingOut_ = false;
  master_.Reset();
}

bool Mixer::List(MixerVoice& voice) noexcept {
  if (voice.listed) return true;
  if (listedCount_ == listed_.size()) {
    // Full: a voice that only fades out gives way, cut short.
    std::size_t fading = 0;
    while (fading < listedCount_ && listed_[fading]->main.active) ++fading;
    if (fading == listedCount_) return false;
    listed_[fading]->tail.active = false;
    Unlist(fading);
  }
  listed_[listedCount_++] = &voice;
  voice.listed = true;
  return true;
}

void Mixer::Unlist(std::size_t index) noexcept {
  MixerVoice& voice = *listed_[index];
  voice.listed = false;
  listed_[index] = listed_[--listedCount_];
  Publish(voice);
  // From here on a released voice belongs to the GUI thread again.
  if (voice.releasing) voice.retired.store(true, std::memory_order_release);
}

void Mixer::BeginFade(MixerVoice& voice) noexcept {
  voice.tail = voice.main;
  voice.tail.active = true;
  // g[n] = (1 + cos(pi (n + 1) / N)) / 2 for the N faded frames: the first is already lower, the
  // last one silent. Computed in double, run in float: over a few hundred frames the recurrence
  // stays within a few millionths of the curve.
  const double angle = 3.14159265358979323846 / static_cast<double>(fadeFrames_);
  const auto curve = [angle](double n) { return 0.5 + 0.5 * std::cos(angle * (n + 1.0)); };
  voice.tail.gain = static_cast<float>(curve(0));
  voice.tail.gainStep = static_cast<float>(curve(1) - curve(0));
  voice.tail.gainCurve = static_cast<float>(2.0 * std::cos(angle) - 2.0);
  voice.tail.fadeFrames = fadeFrames_;
}

void Mixer::Publish(MixerVoice& voice) noexcept {
  voice.publishedFrame.store(static_cast<std::uint32_t>(voice.main.position >> 32),
                             std::memory_order_relaxed);
  voice.publishedPlaying.store(voice.main.active, std::memory_order_relaxed);
  voice.publishedReading.store(voice.main.active || voice.tail.active, std::memory_order_relaxed);
}

void Mixer::Apply(const Command& command) noexcept {
  if (command.kind == CommandKind::SetFormat) {
    rate_ = command.value;
    channels_ = static_cast<std::uint16_t>(command.value2 & 0xFFFF);
    bits_ = static_cast<std::uint16_t>(command.value2 >> 16);
    fadeFrames_ = FadeFramesFor(rate_);
    master_.SetRate(rate_);
    for (std::size_t i = 0; i < listedCount_; ++i) {
      listed_[i]->main.step = StepFor(listed_[i]->frequency);
    }
    return;
  }
  MixerVoice& voice = *command.voice;
  const bool cuts = command.kind == CommandKind::Play || command.kind == CommandKind::Stop ||
                    command.kind == CommandKind::SetPosition ||
                    (command.kind == CommandKind::Release && (command.value2 & kReleaseWhenEnded) == 0);
  if (anyRingingOut_ && cuts && voice.owner != nullptr) CutRingingOut(voice.owner, voice);
  switch (command.kind) {
    case CommandKind::Play:
      if (!voice.main.active) {
        voice.main.active = true;
        voice.main.step = StepFor(voice.frequency);
        voice.main.gain = 1.0f;
        voice.main.gainStep = 0.0f;
        voice.main.gainCurve = 0.0f;
        voice.main.fadeFrames = 0;
        // More voices than the mixer lists at once: this one stays silent.
        if (!List(voice)) voice.main.active = false;
        // Marked by a withdraw before it started: from now on its owner's next call cuts it.
        if (voice.ringingOut && voice.main.active) anyRingingOut_ = true;
      }
      break;
    case CommandKind::Stop:
      if (voice.main.active) BeginFade(voice);
      voice.main.active = false;
      break;
    case CommandKind::SetPosition:
      if (voice.main.active) BeginFade(voice);
      voice.main.position = static_cast<std::uint64_t>(command.value) << 32;
      break;
    case CommandKind::SetFrequency:
      voice.frequency = command.value;
      voice.main.step = StepFor(command.value);
      break;
    case CommandKind::Release:
      if ((command.value2 & kReleaseWhenEnded) == 0) {
        if (voice.main.active) BeginFade(voice);
        voice.main.active = false;
      }
      voice.releasing = true;
      if (!voice.listed) {
        Publish(voice);
        MarkApplied(voice, command.serial);
        // From here on the voice belongs to the GUI thread again.
        voice.retired.store(true, std::memory_order_release);
        return;
      }
      break;
    case CommandKind::SetFormat:
    case CommandKind::Withdraw:
      break;
  }
  Publish(voice);
  MarkApplied(voice, command.serial);
}

void Mixer::MixBlock(float* mix, std::uint32_t frames) noexcept {
  std::size_t i = 0;
  while (i < listedCount_) {
    MixerVoice& voice = *listed_[i];
    if (voice.main.active) {
      MixResampled(voice.sample, voice.main, tables_, mix, frames);
      // A one-shot voice that played to its end is rewound, ready to play again.
      if (!voice.main.active) voice.main.position = 0;
    }
    if (voice.tail.active) MixResampled(voice.sample, voice.tail, tables_, mix, frames);
    if (voice.main.active || voice.tail.active) {
      Publish(voice);
      ++i;
    } else {
      Unlist(i);
    }
  }
}

void Mixer::FinishBlock(const float* mix, std::int16_t* stereo, std::uint32_t frames) noexcept {
  const bool mono = channels_ == 1;
  const bool eightBit = bits_ == 8;
  master_.Process(mix, finished_.data(), frames);
  for (std::uint32_t i = 0; i < frames; ++i) {
    float left = finished_[2 * i];
    float right = finished_[2 * i + 1];
    if (mono) left = right = 0.5f * (left + right);
    std::int16_t outLeft = SaturateToInt16(left);
    std::int16_t outRight = SaturateToInt16(right);
    if (eightBit) {
      // The primary buffer keeps only the top 8 bits.
      outLeft = static_cast<std::int16_t>(std::clamp<long>(std::lrintf(left / 256.0f), -128, 127) * 256);
      outRight = static_cast<std::int16_t>(std::clamp<long>(std::lrintf(right / 256.0f), -128, 127) * 256);
    }
    stereo[2 * i] = outLeft;
    stereo[2 * i + 1] = outRight;
  }
}

}  // namespace kestu::ds
