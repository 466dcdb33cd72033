#include "sound/dsound/mixer.h"

#include "sound/dsound/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestu::ds {

namespace {

// A cut-off voice fades out along a raised cosine over 6 ms. A low note cut any faster, or along a
// straight ramp, puts an audible click above 1 kHz; 6 ms is still far shorter than a column.
std::uint32_t FadeFramesFor(std::uint32_t rate) { return std::max<std::uint32_t>(1, rate * 6 / 1000); }

}  // namespace

Mixer::Mixer() : fadeFrames_(FadeFramesFor(rate_)), tables_(SincTables::Shared()) { master_.SetRate(rate_); }

std::uint64_t Mixer::StepFor(std::uint32_t frequency) const noexcept {
  const double ratio = static_cast<double>(frequency) / static_cast<double>(rate_);
  return static_cast<std::uint64_t>(std::llround(ratio * 4294967296.0));
}

void Mixer::Send(const Command& command) {
  FlushOutbox();
  if (!outbox_.empty() || !commands_.Push(command)) outbox_.push_back(command);
}

void Mixer::FlushOutbox() {
  while (!outbox_.empty() && commands_.Push(outbox_.front())) outbox_.pop_front();
}

void Mixer::DeliverPending() {
  for (;;) {
    FlushOutbox();
    if (outbox_.empty()) return;
    ApplyCommands();
  }
}

void Mixer::RenderFrames(std::int16_t* stereo, std::uint32_t frames, const BlockTime& time) noexcept {
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
  while (commands_.Pop(command)) {
    if (command.stampNs != 0 && time.firstFrameNs != 0) {
      Wait(command);
      continue;
    }
    // What comes at once follows whatever was asked before it: a voice's
    // waiting commands go first, and a new format finds nothing waiting.
    ApplyWaitingFor(command.kind == CommandKind::SetFormat ? nullptr : command.voice);
    Apply(command);
  }
}

void Mixer::Wait(const Command& command) noexcept {
  if (waitingCount_ == waiting_.size()) {
    // No room to wait: better late than lost.
    ApplyWaitingFor(command.voice);
    if (command.kind == CommandKind::Play) late_.fetch_add(1, std::memory_order_relaxed);
    Apply(command);
    return;
  }
  waiting_[waitingCount_++] = command;
}

// Applies, in order, the waiting commands of `voice` (of every voice when null).
void Mixer::ApplyWaitingFor(const Voice* voice) noexcept {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < waitingCount_; ++i) {
    const Command& command = waiting_[i];
    if (voice == nullptr || command.voice == voice) {
      Apply(command);
    } else {
      waiting_[kept++] = command;
    }
  }
  waitingCount_ = kept;
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

// Applies the waiting commands due at or before frame `done` of this block,
// in the order they came; returns the frame where the next one is due (or
// `frames`). A command whose frame has passed starts now and counts as late.
std::uint32_t Mixer::ApplyWaitingDue(const BlockTime& time, std::uint32_t done, std::uint32_t frames) noexcept {
  std::uint32_t next = frames;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < waitingCount_; ++i) {
    const Command& command = waiting_[i];
    const std::int64_t frame = FrameOf(command, time);
    if (frame <= static_cast<std::int64_t>(done)) {
      // The clock model's own corrections move a block by a frame or two;
      // only a start a millisecond or more behind its time was late.
      const std::int64_t lateFrames = std::max<std::int64_t>(1, rate_ / 1000);
      if (frame <= -lateFrames && command.kind == CommandKind::Play) late_.fetch_add(1, std::memory_order_relaxed);
      Apply(command);
    } else {
      waiting_[kept++] = command;
      if (frame < static_cast<std::int64_t>(next)) next = static_cast<std::uint32_t>(frame);
    }
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
  ApplyWaitingFor(nullptr);
  while (listedCount_ > 0) {
    Voice& voice = *listed_[listedCount_ - 1];
    voice.main.active = false;
    voice.tail.active = false;
    Unlist(listedCount_ - 1);
  }
  master_.Reset();
}

bool Mixer::List(Voice& voice) noexcept {
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
  Voice& voice = *listed_[index];
  voice.listed = false;
  listed_[index] = listed_[--listedCount_];
  Publish(voice);
  // From here on a released voice belongs to the GUI thread again.
  if (voice.releasing) voice.retired.store(true, std::memory_order_release);
}

void Mixer::BeginFade(Voice& voice) noexcept {
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

void Mixer::Publish(Voice& voice) noexcept {
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
  Voice& voice = *command.voice;
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
      if (voice.main.active) BeginFade(voice);
      voice.main.active = false;
      voice.releasing = true;
      if (!voice.listed) {
        Publish(voice);
        voice.appliedSerial.store(command.serial, std::memory_order_release);
        // From here on the voice belongs to the GUI thread again.
        voice.retired.store(true, std::memory_order_release);
        return;
      }
      break;
    case CommandKind::SetFormat:
      break;
  }
  Publish(voice);
  voice.appliedSerial.store(command.serial, std::memory_order_release);
}

void Mixer::MixBlock(float* mix, std::uint32_t frames) noexcept {
  std::size_t i = 0;
  while (i < listedCount_) {
    Voice& voice = *listed_[i];
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
