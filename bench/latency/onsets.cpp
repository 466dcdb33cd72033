#include "bench/latency/onsets.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace kestu::latency {

std::vector<std::uint64_t> FindOnsets(const std::vector<std::int16_t>& samples, std::uint32_t rate,
                                      const OnsetRule& rule) {
  const auto quietFrames = static_cast<std::uint64_t>(rule.quietSeconds * rate);
  const auto confirmFrames = static_cast<std::size_t>(rule.confirmSeconds * rate);
  std::vector<std::uint64_t> onsets;
  std::uint64_t quiet = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) <= rule.floor) {
      ++quiet;
      continue;
    }
    if (quiet >= quietFrames) {
      const std::size_t end = std::min(samples.size(), i + std::max<std::size_t>(confirmFrames, 1));
      for (std::size_t j = i; j < end; ++j) {
        if (std::abs(samples[j]) >= rule.confirm) {
          onsets.push_back(i);
          break;
        }
      }
    }
    quiet = 0;
  }
  return onsets;
}

std::vector<double> MatchOnsets(const std::vector<double>& events, const std::vector<double>& onsets,
                                double early, double window) {
  std::vector<double> matched(events.size(), std::numeric_limits<double>::quiet_NaN());
  std::size_t next = 0;
  for (std::size_t e = 0; e < events.size(); ++e) {
    while (next < onsets.size() && onsets[next] < events[e] - early) ++next;
    if (next < onsets.size() && onsets[next] < events[e] + window) matched[e] = onsets[next++];
  }
  return matched;
}

}  // namespace kestu::latency
