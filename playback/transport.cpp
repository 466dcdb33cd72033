#include "playback/transport.h"

#include <algorithm>
#include <limits>

#include "playback/column_voicing.h"
#include "sound/ddsd.h"
#include "sound/steady_clock.h"

namespace kestu {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;

}  // namespace

std::int64_t SteadyTransportTimer::NowNs() const { return SteadyNowNs(); }

void SteadyTransportTimer::WakeAt(std::int64_t ns) {
  const std::int64_t wait = std::max<std::int64_t>(0, ns - SteadyNowNs());
  WakeAfter(static_cast<int>((wait + kNsPerMs - 1) / kNsPerMs));
}

Transport::Transport(ScoreDocument& document, TransportTimer& timer, TransportView& view)
    : document_(document), timer_(timer), view_(view) {}

void Transport::ConnectSound(TDDSD* device, const SampleBank* samples, const PitchTables* tables) {
  device_ = device;
  samples_ = samples;
  tables_ = tables;
}

int Transport::IntervalForTempo(int tempo) {
  // The tempo bar keeps 100..1500; a position below 1 cannot come from it and is held at 1 rather
  // than divided by.
  return 30000 / (tempo < 1 ? 1 : tempo);
}

std::int64_t Transport::IntervalNs() const {
  // A window timer does not go below a millisecond.
  return std::max(timer_.Interval(), 1) * kNsPerMs;
}

std::int64_t Transport::HeardAfterNs() const { return device_ != nullptr ? device_->StampLeadNs() : 0; }

void Transport::SetTimerPeriodFromTempo(int tempo) {
  const int interval = IntervalForTempo(tempo);
  if (timer_.Interval() == interval) return;
  timer_.SetInterval(interval);
  if (!Playing || !timer_.Enabled() || !KeepsTime()) return;
  // The ticks voiced for after now go back; the next tick comes one new interval after the change,
  // as a re-armed timer's would.
  const std::int64_t now = timer_.NowNs();
  TakeBack(now);
  nextDueNs_ = now + IntervalNs();
  VoiceAhead(now);
  WakeForNext(now);
}

void Transport::PlayBtnClick() {
  view_.SetTransportFaces(kPlayFaceRunning, kStopFaceIdle);
  // A second Play neither restarts nor resumes.
  if (timer_.Enabled()) return;
  PlayColumn = 1;
  PlayStep = 1;
  Playing = true;
  aheadColumn_ = 1;
  aheadStep_ = 1;
  aheadEnded_ = false;
  voiced_.clear();
  // Whatever a previous run left ringing stops; the preview channel is left alone.
  if (device_ != nullptr) StopBothBanks(*device_);
  timer_.SetEnabled(true);
  if (!KeepsTime()) return;
  const std::int64_t now = timer_.NowNs();
  shownDueNs_ = now;
  nextDueNs_ = now + IntervalNs();
  VoiceAhead(now);
  WakeForNext(now);
}

void Transport::StopBtnClick() {
  // What is sounding rings on to its end; what was voiced for later and not heard yet goes back.
  if (Playing && KeepsTime()) TakeBack(timer_.NowNs() - HeardAfterNs());
  voiced_.clear();
  timer_.SetEnabled(false);
  Playing = false;
  view_.SetTransportFaces(kPlayFaceIdle, kStopFaceActive);
}

void Transport::TempoBarChange() {
  document_.Modified = true;
  SetTimerPeriodFromTempo(document_.Tempo());
}

void Transport::TimerTimer() {
  if (!Playing) return;
  if (!KeepsTime()) {
    Show(VoiceTick(0), true);
    return;
  }
  const std::int64_t now = timer_.NowNs();
  ShowHeard(now);
  if (!Playing) return;
  VoiceAhead(now);
  WakeForNext(now);
}

// One tick on the sound side: it voices the column on an even step, moves on, and at the end of
// the score restarts or ends.
Transport::VoicedTick Transport::VoiceTick(std::int64_t dueNs) {
  VoicedTick tick;
  tick.dueNs = dueNs;
  tick.step = aheadStep_;
  if (onVoiced) onVoiced(dueNs, aheadStep_, aheadStep_ % 2 == 0 ? aheadColumn_ : 0);
  if (aheadStep_ % 2 == 0) {
    if (device_ != nullptr && samples_ != nullptr && tables_ != nullptr) {
      const TimedSoundCalls timed(*device_, dueNs);
      VoiceColumn(*device_, *samples_, *tables_, document_, aheadColumn_);
    } else {
      ++aheadColumn_;
    }
  }
  ++aheadStep_;
  if (document_.EndColumn() - 1 < aheadColumn_) {
    tick.columnAtEnd = aheadColumn_;
    tick.stepAtEnd = aheadStep_;
    if (document_.Loop()) {
      aheadColumn_ = 1;
      aheadStep_ = 1;
      tick.wrapped = true;
    } else {
      aheadEnded_ = true;
      tick.ended = true;
    }
  }
  tick.columnAfter = aheadColumn_;
  tick.stepAfter = aheadStep_;
  return tick;
}

void Transport::VoiceAhead(std::int64_t nowNs) {
  if (aheadEnded_) return;
  // Not voiced by its due time: the thread was held up longer than the window. The score goes on
  // from now, once, rather than play the missed ticks in a burst.
  if (nextDueNs_ < nowNs) nextDueNs_ = nowNs;
  while (!aheadEnded_ && nextDueNs_ <= nowNs + kScheduleAheadNs) {
    voiced_.push_back(VoiceTick(nextDueNs_));
    nextDueNs_ += IntervalNs();
  }
}

void Transport::ShowHeard(std::int64_t nowNs) {
  const std::int64_t heardAfter = HeardAfterNs();
  std::size_t heard = 0;
  while (heard < voiced_.size() && voiced_[heard].dueNs + heardAfter <= nowNs) ++heard;
  // After a stall several ticks may have been heard at once: the picture moves to the last.
  for (std::size_t i = 0; i < heard; ++i) {
    const VoicedTick tick = voiced_.front();
    voiced_.pop_front();
    if (!Show(tick, i + 1 == heard)) return;
  }
}

bool Transport::Show(const VoicedTick& tick, bool draw) {
  PlayStep = tick.step;
  if (draw && !view_.LightMode()) {
    view_.SetScrollPosition(PlayStep * 16 - 100);
    view_.RenderPlain();
    if (onShown) onShown(PlayStep);
  }
  PlayColumn = tick.columnAfter;
  PlayStep = tick.stepAfter;
  shownDueNs_ = tick.dueNs;
  if (!tick.wrapped && !tick.ended) return true;

  // The loop switch is read as the end is heard; the sound side read it up to a window earlier.
  const bool loop = document_.Loop();
  if (tick.wrapped != loop) {
    TakeBack(tick.dueNs);
    if (!loop) {
      PlayColumn = tick.columnAtEnd;
      PlayStep = tick.stepAtEnd;
    }
    aheadColumn_ = loop ? 1 : PlayColumn;
    aheadStep_ = loop ? 1 : PlayStep;
    aheadEnded_ = !loop;
    nextDueNs_ = tick.dueNs + IntervalNs();
  }
  if (loop) {
    PlayColumn = 1;
    PlayStep = 1;
    view_.SetScrollPosition(0);  // in light mode too
    return true;
  }
  StopBtnClick();
  view_.SetStopDown();
  return false;
}

void Transport::TakeBack(std::int64_t afterNs) {
  if (device_ != nullptr) device_->WithdrawCommandsAfter(afterNs);
  while (!voiced_.empty() && voiced_.back().dueNs > afterNs) voiced_.pop_back();
  // The sound side goes on from the last tick kept, or from what is shown.
  const bool kept = !voiced_.empty();
  aheadColumn_ = kept ? voiced_.back().columnAfter : PlayColumn;
  aheadStep_ = kept ? voiced_.back().stepAfter : PlayStep;
  aheadEnded_ = kept && voiced_.back().ended;
  nextDueNs_ = (kept ? voiced_.back().dueNs : shownDueNs_) + IntervalNs();
}

void Transport::WakeForNext(std::int64_t nowNs) {
  std::int64_t next = std::numeric_limits<std::int64_t>::max();
  if (!voiced_.empty()) next = voiced_.front().dueNs + HeardAfterNs();
  if (!aheadEnded_) next = std::min(next, nextDueNs_ - kScheduleAheadNs);
  if (next == std::numeric_limits<std::int64_t>::max()) return;
  timer_.WakeAt(std::max(next, nowNs + kNsPerMs));
}

}  // namespace kestu
