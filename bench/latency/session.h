#pragma once
// The program's editing and playback, run on a Qt event loop as the window runs them: presses on
// the score view through view::MainImageMouseDown, then the Transport on a QTimer with
// Qt::PreciseTimer whose every tick redraws the view (unless in light mode: then it does not)
// before it voices a column. Each press and tick is timed on steady_clock as its handler starts
// and ends. GUI thread.
#include <cstdint>
#include <functional>
#include <vector>

#include "playback/pitch_tables.h"
#include "playback/sample_bank.h"
#include "score/document.h"

namespace kestu {
class TDDSD;
}

namespace kestu::latency {

struct TimedEvent {
  std::int64_t beginNs;  // steady_clock at the handler's entry
  std::int64_t endNs;    // and as it returned
};

struct Tick : TimedEvent {
  std::int64_t dueNs = 0;  // when the timer's tick was due: the time its notes are placed at
  int step;            // PlayStep as the tick began
  int column;          // the column an even step voiced; 0 for an odd step
  bool sounds = false; // that column holds a note
};

struct SessionPlan {
  int presses = 100;
  int soundingColumns = 200;
  int tempo = kNewTempo;
  bool lightMode = false;
  int instrument = 8;     // a short sample with a sharp attack, so each sound is found cleanly
  int row = 9;            // the sample's own pitch
  int columnSpacing = 2;  // a note every this many columns, so that each one ends before the next
  double minGapSeconds = 0.30;  // between presses, drawn at random so that presses fall at every
  double maxGapSeconds = 0.42;  // point of the output's request cycle
  unsigned seed = 1;
};

struct SessionResult {
  std::vector<TimedEvent> presses;
  std::vector<Tick> ticks;  // every tick, odd and even
  int intervalMs = 0;
};

// Seconds the plan takes, without start-up.
double PlannedSeconds(const SessionPlan& plan);

// `between` runs on the GUI thread after the presses and after the playback, while nothing is
// measured (e.g. to ask the server for its latencies).
SessionResult RunSession(const SessionPlan& plan, TDDSD& sound, const SampleBank& samples,
                         const PitchTables& pitch, const std::function<void(const char* phase)>& between);

// Runs the event loop for `seconds`.
void Idle(double seconds);

}  // namespace kestu::latency
