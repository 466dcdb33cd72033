// Who may touch an output's frame source: its audio thread while it renders,
// or nobody once the output closed. Closing waits only for a render in
// progress, which never blocks, so it never waits on a device or a server;
// and whatever the audio thread did before it closed is then the GUI
// thread's to see and free, even where the sound library keeps no order.
#pragma once

#include <atomic>
#include <thread>

namespace kestu {

class RenderGate {
 public:
  // Audio thread. False once closed: the source is not to be called.
  bool Enter() noexcept {
    int expected = kIdle;
    return state_.compare_exchange_strong(expected, kRendering, std::memory_order_acquire);
  }
  void Leave() noexcept { state_.store(kIdle, std::memory_order_release); }

  // GUI thread, while nothing renders.
  void Reopen() { state_.store(kIdle, std::memory_order_release); }
  // GUI thread. From its return on, Enter fails.
  void Close() {
    for (;;) {
      int expected = kIdle;
      if (state_.compare_exchange_weak(expected, kClosed, std::memory_order_acq_rel)) return;
      if (expected == kClosed) return;
      std::this_thread::yield();  // a render in progress: it never blocks
    }
  }

 private:
  enum : int { kIdle, kRendering, kClosed };
  std::atomic<int> state_{kIdle};
};

}  // namespace kestu
