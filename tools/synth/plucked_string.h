#pragma once
// A plucked string by the Karplus-Strong loop: a delay line closed through a damping filter, with
// an all-pass section that makes up the fractional part of the period so the note is in tune.
#include <cstdint>

#include "tools/synth/signal.h"

namespace kestu::synth {

struct PluckedString {
  double fundamental_hz;
  double seconds;
  double ring_time;       // seconds for the fundamental to fall by 60 dB
  double brightness;      // 0..1: 1 keeps the upper harmonics ringing longest
  double pluck_position;  // 0..0.5 along the string; near the end gives a thinner, brighter tone
  double pick_hardness;   // 0..1: softer picks take the edge off the excitation
  std::uint64_t seed;
};

Signal Pluck(const PluckedString& string);

}  // namespace kestu::synth
