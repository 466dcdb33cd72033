#pragma once
// Stalls of the GUI thread during playback, as another client grabbing the display or a slow
// dialog causes them: every so often a handler on that thread blocks it for a set time. Each stall
// is timed on steady_clock. GUI thread.
#include <QTimer>
#include <cstdint>
#include <vector>

#include "bench/latency/session.h"

namespace kestu::latency {

class GuiStalls {
 public:
  // Blocks the thread for `milliseconds` every `everySeconds` once started; 0 ms: never.
  GuiStalls(int milliseconds, double everySeconds);
  void Start();
  void Stop() { timer_.stop(); }
  const std::vector<TimedEvent>& Stalls() const { return stalls_; }

 private:
  int milliseconds_;
  QTimer timer_;
  std::vector<TimedEvent> stalls_;
};

}  // namespace kestu::latency
