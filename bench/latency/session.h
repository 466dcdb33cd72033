#pragma once
// The program's editing and playback, run by the window itself on a Qt event loop: presses go to
// its score view's press handler, and playback is its Play button with its own transport and
// timers. Each press is timed on steady_clock as its handler starts and ends; each tick as it is
// voiced, with the time it is due; each picture with the running figure as it is drawn. GUI thread.
#include <cstdint>
#include <functional>
#include <vector>

#include "score/document.h"

namespace kestu {
class TForm1;
}

namespace kestu::latency {

struct TimedEvent {
  std::int64_t beginNs;  // steady_clock at the handler's entry
  std::int64_t endNs;    // and as it returned
};

struct Tick : TimedEvent {   // begin and end: as it was voiced
  std::int64_t dueNs = 0;  // when the tick was due: the time its notes are placed at
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
  // Between presses, drawn at random so that presses fall at every point of the output's request
  // cycle; longer than the sample (half a second) and the silence wanted before the next sound,
  // since a press's sound goes on until the next press.
  double minGapSeconds = 0.60;
  double maxGapSeconds = 0.72;
  unsigned seed = 1;
  int stallMs = 0;                // the GUI thread blocked this long during playback ...
  double stallEverySeconds = 1.3; // ... this often, out of step with the ticks
};

// The score view drawn during playback with the running figure at this step.
struct Drawn {
  std::int64_t ns;
  int step;
};

struct SessionResult {
  std::vector<TimedEvent> presses;
  std::vector<Tick> ticks;  // every tick, odd and even
  std::vector<Drawn> drawn;
  std::vector<TimedEvent> stalls;
  int intervalMs = 0;
};

// Seconds the plan takes, without start-up.
double PlannedSeconds(const SessionPlan& plan);

// `between` runs on the GUI thread after the presses and after the playback, while nothing is
// measured (e.g. to ask the server for its latencies).
SessionResult RunSession(const SessionPlan& plan, TForm1& form, const std::function<void(const char* phase)>& between);

// Runs the event loop for `seconds`.
void Idle(double seconds);

}  // namespace kestu::latency
