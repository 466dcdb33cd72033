#include "bench/latency/stall.h"

#include <chrono>
#include <thread>

#include "sound/steady_clock.h"

namespace kestu::latency {

GuiStalls::GuiStalls(int milliseconds, double everySeconds) : milliseconds_(milliseconds) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(static_cast<int>(everySeconds * 1000.0 + 0.5));
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    TimedEvent stall{SteadyNowNs(), 0};
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds_));
    stall.endNs = SteadyNowNs();
    stalls_.push_back(stall);
  });
}

void GuiStalls::Start() {
  if (milliseconds_ > 0) timer_.start();
}

}  // namespace kestu::latency
