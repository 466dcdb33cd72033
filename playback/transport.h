#pragma once
// The playback transport: Play, Stop, the tempo and the tick. One timer drives it; each tick is one
// half-column step, and every second tick sounds a column. No clock is read: the position in the
// score is the count of ticks, so a late tick delays what follows and is never made up.
//
// The window implements the two small interfaces below and its handlers PlayBtnClick,
// StopBtnClick, TempoBarChange and TimerTimer call the members of the same names. Tests and the
// offline renderer implement them too, and drive the transport tick by tick. GUI thread only.
#include <cstdint>

#include "playback/pitch_tables.h"
#include "playback/sample_bank.h"
#include "score/document.h"

namespace kestu {

class TDDSD;

// The scroll bar's range: positions clamp into 0..kScrollBarMax.
inline constexpr int kScrollBarMax = 30435;

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
  // During a tick: the steady_clock time in nanoseconds at which it was due,
  // where the column's notes are placed in the output stream. 0 for a timer
  // that keeps no real time: the notes then start at once.
  virtual std::int64_t TickDueNs() const { return 0; }
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

  bool Playing = false;
  std::int32_t PlayColumn = 1;  // the next column to voice
  std::int32_t PlayStep = 1;    // half-column steps; a column sounds on every even one

 private:
  ScoreDocument& document_;
  TransportTimer& timer_;
  TransportView& view_;
  TDDSD* device_ = nullptr;
  const SampleBank* samples_ = nullptr;
  const PitchTables* tables_ = nullptr;
};

}  // namespace kestu
