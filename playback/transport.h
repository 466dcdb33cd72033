#pragma once
// The playback transport: Play, Stop, the tempo and the tick. Each tick is one half-column step,
// and every second tick sounds a column.
//
// A timer that keeps real time (NowNs not 0) drives it ahead of time: each wake voices every tick
// due within kScheduleAheadNs of now, its notes stamped with the tick's due time, so that a stall
// of the window's thread shorter than that is not heard; within the window no tick is late. What
// the window shows (PlayStep, PlayColumn, the scroll and the running figure) follows what is heard:
// a tick is shown once its stamp plus the output's lead has passed. A tick not voiced by its due
// time (the thread stalled longer than the window) delays everything after it once, and is never
// made up. Stop, a tempo change, a loop switch changed before its end was heard, and the end mark
// take back whatever was voiced for later.
//
// A timer that keeps no time (tests, the offline renderer) makes each TimerTimer call one tick,
// voiced and shown at once.
//
// The window implements the two small interfaces below and its handlers PlayBtnClick,
// StopBtnClick, TempoBarChange and TimerTimer call the members of the same names. GUI thread only.
#include <cstdint>
#include <deque>
#include <functional>

#include "playback/pitch_tables.h"
#include "playback/sample_bank.h"
#include "playback/scroll_range.h"
#include "score/document.h"

namespace kestu {

class TDDSD;

// Faces of the transport buttons.
inline constexpr int kPlayFaceIdle = 0;
inline constexpr int kPlayFaceRunning = 1;
inline constexpr int kStopFaceIdle = 2;
inline constexpr int kStopFaceActive = 3;

class TransportTimer {
 public:
  virtual ~TransportTimer() = default;
  // Milliseconds between ticks. A new value re-arms a running timer: its next tick comes one new
  // interval later. Setting the interval it already has changes nothing.
  virtual void SetInterval(int milliseconds) = 0;
  virtual int Interval() const = 0;
  // Enabling arms the timer: the first tick comes one interval later.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // steady_clock nanoseconds now. 0: the timer keeps no real time, and each tick it fires is
  // sounded and shown at once.
  virtual std::int64_t NowNs() const { return 0; }
  // A timer that keeps real time: the transport wants TimerTimer called at about `ns`, besides
  // the timer's own ticks.
  virtual void WakeAt(std::int64_t ns) { (void)ns; }
};

// A timer that keeps steady_clock time, as the program's does: the schedule reads the clock here,
// and a wake asked for at a time becomes a one-shot wait of whole milliseconds, never ending
// before that time (a wake a little late only shows a tick that much later).
class SteadyTransportTimer : public TransportTimer {
 public:
  std::int64_t NowNs() const final;
  void WakeAt(std::int64_t ns) final;

 protected:
  // TimerTimer is to be called once, `milliseconds` from now (0: as soon as the thread is free),
  // in place of any wake asked for before. Disabling the timer cancels it.
  virtual void WakeAfter(int milliseconds) = 0;
};

class TransportView {
 public:
  virtual ~TransportView() = default;
  // The scroll bar's position, clamped into 0..kScrollBarMax; a changed value redraws the view
  // through the bar's own change handler, an unchanged one does nothing.
  virtual void SetScrollPosition(int position) = 0;
  virtual int ScrollPosition() const = 0;
  // Redraws the score view without the hover ghost.
  virtual void RenderPlain() = 0;
  virtual void SetTransportFaces(int playFace, int stopFace) = 0;
  // Puts StopBtn down (and so PlayBtn up) without running its click handler.
  virtual void SetStopDown() = 0;
  // The light-mode switch: while it is on, ticks neither scroll nor redraw.
  virtual bool LightMode() const = 0;
};

// How far ahead of its due time a tick is voiced.
inline constexpr std::int64_t kScheduleAheadNs = 200'000'000;

class Transport {
 public:
  Transport(ScoreDocument& document, TransportTimer& timer, TransportView& view);

  // Where columns sound. Until it is called, or with a null device, ticks run silently.
  void ConnectSound(TDDSD* device, const SampleBank* samples, const PitchTables* tables);

  void PlayBtnClick();
  void StopBtnClick();
  // The tempo bar moved: Modified, and the tick period follows the document's tempo.
  void TempoBarChange();
  void TimerTimer();

  // The tick period for the tempo, without touching Modified (New sets it so).
  void SetTimerPeriodFromTempo(int tempo);
  // 30000 / tempo milliseconds, truncated; two ticks make a column.
  static int IntervalForTempo(int tempo);

  // For measuring tools: a tick voiced (when it is due, its step, and the column it voiced or 0),
  // and the view drawn with the running figure for a tick as it is heard (its step).
  std::function<void(std::int64_t dueNs, std::int32_t step, std::int32_t column)> onVoiced;
  std::function<void(std::int32_t step)> onShown;

  // As shown: what has been heard. Each tick shows PlayStep, then leaves it one on.
  bool Playing = false;
  std::int32_t PlayColumn = 1;  // the next column to voice
  std::int32_t PlayStep = 1;    // half-column steps; a column sounds on every even one

 private:
  // A tick voiced and not yet shown: when it was due, the step it shows, and what it left.
  struct VoicedTick {
    std::int64_t dueNs = 0;
    std::int32_t step = 1;
    std::int32_t columnAfter = 1;
    std::int32_t stepAfter = 1;
    bool wrapped = false;  // the end of the score, loop on: it restarted at column 1
    std::int32_t columnAtEnd = 1;  // what a wrapped tick left before it restarted
    std::int32_t stepAtEnd = 1;
    bool ended = false;    // the end of the score, loop off
  };

  bool KeepsTime() const { return timer_.NowNs() != 0; }
  std::int64_t IntervalNs() const;
  std::int64_t HeardAfterNs() const;
  VoicedTick VoiceTick(std::int64_t dueNs);
  void VoiceAhead(std::int64_t nowNs);
  void ShowHeard(std::int64_t nowNs);
  // Shows one tick; false when playback stopped there.
  bool Show(const VoicedTick& tick, bool draw);
  // Takes back what was voiced for after `afterNs`; voicing goes on from the last tick kept.
  void TakeBack(std::int64_t afterNs);
  void WakeForNext(std::int64_t nowNs);

  // The sound side: how far the score has been voiced, ahead of what is shown.
  std::int32_t aheadColumn_ = 1;
  std::int32_t aheadStep_ = 1;
  bool aheadEnded_ = false;
  std::int64_t nextDueNs_ = 0;   // when the next tick to voice is due
  std::int64_t shownDueNs_ = 0;  // when the last tick shown was due (Play's time before the first)
  std::deque<VoicedTick> voiced_;

  ScoreDocument& document_;
  TransportTimer& timer_;
  TransportView& view_;
  TDDSD* device_ = nullptr;
  const SampleBank* samples_ = nullptr;
  const PitchTables* tables_ = nullptr;
};

}  // namespace kestu
