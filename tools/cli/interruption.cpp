#include "interruption.h"

#include <unistd.h>

#include <array>
#include <string>

namespace kestu::cli {

namespace {

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t pendingSignal = 0;

extern "C" void NoteSignal(int signal) { pendingSignal = signal; }

std::array<struct sigaction, kSignals.size()> previous{};

}  // namespace

Interrupted::Interrupted(int signal) : std::runtime_error("interrupted by signal " + std::to_string(signal)), signal_(signal) {}

InterruptionGuard::InterruptionGuard() {
  pendingSignal = 0;
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a write in progress finishes; the loop then stops
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

InterruptionGuard::~InterruptionGuard() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous[i], nullptr);
}

void InterruptionGuard::Check() {
  if (pendingSignal != 0) throw Interrupted(pendingSignal);
}

void EndBySignal(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  ::_exit(128 + signal);  // only if the signal was blocked
}

}  // namespace kestu::cli
