#include "bench/latency/way_out.h"

#include <algorithm>

namespace kestu::latency {

bool ParseWayOut(const std::string& text, WayOut& way) {
  if (text == "default") {
    way = WayOut{};
    return true;
  }
  const std::optional<OutputWay> one = OutputWayNamed(text);
  if (!one || *one == OutputWay::kAlsa) return false;  // ALSA has no monitor to record
  way.name = text;
  way.ways = {*one};
  return true;
}

RecordFrom RecordFromFor(const WayOut& way, bool privatePulse) {
  const bool jackOnly = way.ways.size() == 1 && way.ways.front() == OutputWay::kJack;
  return jackOnly && privatePulse ? RecordFrom::kJackPort : RecordFrom::kPulseMonitor;
}

bool OpenedOnWay(const WayOut& way, const std::string& apiName) {
  if (apiName.empty()) return false;
  return std::any_of(way.ways.begin(), way.ways.end(),
                     [&](OutputWay w) { return apiName == OutputWayName(w); });
}

}  // namespace kestu::latency
