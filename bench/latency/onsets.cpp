#include "bench/latency/onsets.h"

#include <limits>

#include "tests/support/listening.h"

namespace kestu::latency {

std::vector<std::uint64_t> FindOnsets(const std::vector<std::int16_t>& samples, std::uint32_t rate,
                                      const OnsetRule& rule) {
  const std::vector<std::int64_t> onsets =
      test::FindOnsets(samples, {.floor = static_cast<double>(rule.floor),
                                 .quietFrames = static_cast<std::size_t>(rule.quietSeconds * rate),
                                 .confirm = static_cast<double>(rule.confirm),
                                 .confirmFrames = static_cast<std::size_t>(rule.confirmSeconds * rate),
                                 .quietBeforeStart = false});
  return {onsets.begin(), onsets.end()};
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
