#pragma once
// A small deterministic noise source: every build writes the same bytes, so no seed comes from
// the clock or the machine.
#include <algorithm>
#include <cstdint>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/signal.h"

namespace kestu::synth {

class Noise {
 public:
  explicit Noise(std::uint64_t seed)
      : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

  // Uniform in [-1, 1).
  double Next() {
    // splitmix64: fast, well mixed, and defined only by integer arithmetic.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }

 private:
  std::uint64_t state_;
};

// Noise through `filter`, decaying with time constant `decay`, added to the first `seconds` of
// `out`: a hammer's knock, a pin or a mallet striking.
inline void AddDecayingNoise(Signal& out, Biquad filter, double seconds, double decay, double level,
                             std::uint64_t seed) {
  Noise noise(seed);
  const std::size_t frames = std::min(out.size(), FramesFor(seconds));
  for (std::size_t n = 0; n < frames; ++n) out[n] += level * ExpDecay(TimeOf(n), decay) * filter.Process(noise.Next());
}

}  // namespace kestu::synth
