#pragma once
// Ctrl+C, SIGTERM and SIGHUP during a long command: the signal is only noted, the command's work
// loop asks Check() and unwinds (its temporary output removed by its owner), and the process then
// ends by the same signal, so the caller's shell sees what happened. Main thread only.
#include <csignal>
#include <stdexcept>

namespace kestu::cli {

// Thrown by Check() once a signal has arrived.
class Interrupted : public std::runtime_error {
 public:
  explicit Interrupted(int signal);
  int Signal() const { return signal_; }

 private:
  int signal_;
};

class InterruptionGuard {
 public:
  InterruptionGuard();   // notes SIGINT, SIGTERM and SIGHUP from now on
  ~InterruptionGuard();  // puts the previous handlers back
  InterruptionGuard(const InterruptionGuard&) = delete;
  InterruptionGuard& operator=(const InterruptionGuard&) = delete;

  // Throws Interrupted when one of the signals has arrived.
  static void Check();
};

// Ends the process by `signal` with its default action (after the guard is gone).
[[noreturn]] void EndBySignal(int signal);

}  // namespace kestu::cli
