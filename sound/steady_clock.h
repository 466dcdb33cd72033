// The program's one clock: block times, command stamps, ticks and measurements all read it.
// Any thread.
#pragma once

#include <chrono>
#include <cstdint>

namespace kestu {

// steady_clock nanoseconds.
inline std::int64_t SteadyNowNs() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace kestu
