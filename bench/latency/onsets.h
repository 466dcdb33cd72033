#pragma once
// Finding where sounds start in a recording, and pairing the sounds with the events that caused
// them.
#include <cstdint>
#include <vector>

namespace kestu::latency {

struct OnsetRule {
  int floor = 2;                  // a sample at or below this magnitude is silence
  double quietSeconds = 0.05;     // the silence wanted before a sound
  int confirm = 328;              // a sound reaches this magnitude (1 % of full scale) ...
  double confirmSeconds = 0.005;  // ... this soon after its first frame, or it was no sound
};

// The first frame of every sound: the first sample above the floor after the wanted silence, when
// the sound then reaches the confirming level in time. A sound that the recording's start cuts into
// has no silence before it and is not counted.
std::vector<std::uint64_t> FindOnsets(const std::vector<std::int16_t>& samples, std::uint32_t rate,
                                      const OnsetRule& rule = {});

// For each event time (ascending), the first onset time (ascending) in [event - early,
// event + window); an onset serves one event at most. NaN where an event found none.
std::vector<double> MatchOnsets(const std::vector<double>& events, const std::vector<double>& onsets,
                                double early, double window);

}  // namespace kestu::latency
