#include "playback/offline_render.h"

#include <algorithm>
#include <array>

#include "playback/transport.h"
#include "sound/ddsd.h"

namespace kestu {

namespace {

constexpr std::uint32_t kChunkFrames = 256;  // one block of the mixer

// A timer on a virtual clock in milliseconds: arming it puts its next tick one interval ahead.
class OfflineTimer : public TransportTimer {
 public:
  explicit OfflineTimer(const std::uint64_t& nowMs) : now_(nowMs) {}
  void SetInterval(int milliseconds) override {
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    if (enabled_) Arm();
  }
  int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled_) Arm();
  }
  bool Enabled() const override { return enabled_; }

  std::uint64_t NextTickMs() const { return next_; }
  // A tick has fired at the current time: the next one follows one interval later.
  void Fired() { Arm(); }

 private:
  // A zero interval would tick forever without time passing; a window timer cannot go below 1 ms.
  void Arm() { next_ = now_ + static_cast<std::uint64_t>(std::max(interval_, 1)); }

  const std::uint64_t& now_;
  int interval_ = 0;
  bool enabled_ = false;
  std::uint64_t next_ = 0;
};

// The window side in light mode: only the scroll bar's value is kept.
class OfflineView : public TransportView {
 public:
  void SetScrollPosition(int position) override { scroll_ = std::clamp(position, 0, kScrollBarMax); }
  int ScrollPosition() const override { return scroll_; }
  void RenderPlain() override {}
  void SetTransportFaces(int, int) override {}
  void SetStopDown() override {}
  bool LightMode() const override { return true; }

 private:
  int scroll_ = 0;
};

bool AllZero(const std::int16_t* stereo, std::uint32_t frames) {
  return std::all_of(stereo, stereo + 2 * static_cast<std::size_t>(frames),
                     [](std::int16_t s) { return s == 0; });
}

}  // namespace

OfflinePlayer::OfflinePlayer() { sound_.Start(UseOutput(output_)); }

OfflinePlayer::~OfflinePlayer() = default;

std::int64_t OfflinePlayer::TicksOf(const ScoreDocument& score, int loops) {
  // With EndColumn 1 every tick ends the score; otherwise a pass is two ticks per column.
  const std::int64_t pass = score.EndColumn() <= 1 ? 1 : 2 * static_cast<std::int64_t>(score.EndColumn() - 1);
  return score.Loop() ? pass * std::max(loops, 1) : pass;
}

std::uint64_t OfflinePlayer::FramesBeforeRingOut(const ScoreDocument& score, int loops) {
  const auto interval = static_cast<std::uint64_t>(std::max(Transport::IntervalForTempo(score.Tempo()), 1));
  const std::uint64_t ms = static_cast<std::uint64_t>(TicksOf(score, loops)) * interval;
  return ms / 1000 * kPrimaryRate + ms % 1000 * kPrimaryRate / 1000;  // no overflow for any loops
}

bool OfflinePlayer::DeviceOpen() const { return sound_.Device()->DeviceOpen(); }

bool OfflinePlayer::AnyChannelPlaying() const {
  TDDSD* device = sound_.Device();
  for (std::uint32_t i = 0; i < device->ChannelCount; ++i) {
    const TDDSDChannel* channel = device->GetChannel(i);
    if (channel != nullptr && channel->Buffer() != nullptr && channel->Buffer()->IsPlaying()) return true;
  }
  return false;
}

OfflineResult OfflinePlayer::Play(const ScoreDocument& score, int loops, const FrameSink& sink) {
  ScoreDocument document = score;  // the transport marks it modified; the caller's stays as it is
  document.onTempoChange = nullptr;
  document.onSwitchesSet = nullptr;
  std::uint64_t nowMs = 0;
  OfflineTimer timer(nowMs);
  OfflineView view;
  Transport transport(document, timer, view);
  transport.ConnectSound(sound_.Device(), &sound_.Samples, &sound_.Pitch);
  transport.SetTimerPeriodFromTempo(document.Tempo());

  OfflineResult result;
  std::array<std::int16_t, 2 * kChunkFrames> chunk;
  const std::uint64_t rate = Rate();
  // The mixer hands out each frame `latency` frames after the one its sound started in. The
  // first `latency` frames it gives are dropped and as many more are taken at the end, so every
  // note lies in the result at exactly the frame of its tick.
  const std::uint32_t latency = output_.LatencyFrames();
  std::uint64_t pulled = 0;
  const auto pull = [&](std::uint32_t n) {
    output_.RenderInto(chunk.data(), n);
    const std::uint64_t skip = pulled < latency ? std::min<std::uint64_t>(latency - pulled, n) : 0;
    pulled += n;
    if (skip < n) {
      sink(chunk.data() + 2 * skip, static_cast<std::uint32_t>(n - skip));
      result.frames += n - skip;
    }
  };
  const auto renderUntil = [&](std::uint64_t frame) {
    while (pulled < frame) pull(static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunkFrames, frame - pulled)));
  };

  transport.PlayBtnClick();
  int passes = 0;
  while (timer.Enabled()) {
    nowMs = timer.NextTickMs();
    renderUntil(nowMs / 1000 * rate + nowMs % 1000 * rate / 1000);
    transport.TimerTimer();
    ++result.ticks;
    timer.Fired();
    // A tick that leaves PlayStep at 1 has restarted the loop: one pass is complete.
    if (transport.Playing && transport.PlayStep == 1 && ++passes >= std::max(loops, 1)) {
      transport.StopBtnClick();
      view.SetStopDown();
    }
  }

  // What is still in the look-ahead when the last tick comes.
  renderUntil(pulled + latency);
  // Ring out: on until no channel plays and a whole block comes out silent, which also lets the
  // short fades of cut-off voices finish. That silent block is not handed on.
  for (;;) {
    const bool playing = AnyChannelPlaying();
    output_.RenderInto(chunk.data(), kChunkFrames);
    if (!playing && AllZero(chunk.data(), kChunkFrames)) break;
    sink(chunk.data(), kChunkFrames);
    result.frames += kChunkFrames;
  }
  return result;
}

}  // namespace kestu
