#include "bench/latency/timeline.h"

#include <algorithm>
#include <cmath>

namespace kestu::latency {

namespace {

// The earliest block of each window, by how far it arrived ahead of the nominal pace. A last
// window shorter than half of one joins the one before: a few blocks say little.
std::vector<Timeline::Knot> EarliestPerWindow(const std::vector<ArrivedBlock>& blocks, double nominal,
                                              std::uint64_t windowFrames) {
  const std::uint64_t firstEnd = blocks.front().endFrame;
  const std::uint64_t span = blocks.back().endFrame - firstEnd;
  const std::uint64_t lastWindow = span / windowFrames;
  const bool shortTail = lastWindow > 0 && span % windowFrames < windowFrames / 2;
  std::vector<Timeline::Knot> knots;
  double bestAhead = 0;
  std::uint64_t window = 0;
  for (const ArrivedBlock& b : blocks) {
    std::uint64_t w = (b.endFrame - firstEnd) / windowFrames;
    if (shortTail && w == lastWindow) --w;
    const auto count = static_cast<double>(b.endFrame);
    const auto ns = static_cast<double>(b.arrivalNs);
    const double ahead = ns - count * nominal;
    if (knots.empty() || w != window) {
      knots.push_back({count, ns});
      bestAhead = ahead;
      window = w;
    } else if (ahead < bestAhead) {
      knots.back() = {count, ns};
      bestAhead = ahead;
    }
  }
  return knots;
}

}  // namespace

double Timeline::TimeNs(double count) const {
  // Straight from one knot to the next; beyond the ends, on along the first or the last segment.
  auto after = std::upper_bound(knots.begin(), knots.end(), count,
                                [](double c, const Knot& k) { return c < k.count; });
  if (after == knots.begin()) ++after;
  if (after == knots.end()) --after;
  const Knot& a = *(after - 1);
  const Knot& b = *after;
  return a.ns + (count - a.count) * (b.ns - a.ns) / (b.count - a.count);
}

double Timeline::DriftPpm(std::uint32_t rate) const {
  const double nominal = 1e9 / rate;
  return (nominal / nsPerFrame - 1.0) * 1e6;
}

std::optional<Timeline> FitTimeline(const std::vector<ArrivedBlock>& blocks, std::uint32_t rate,
                                    double windowSeconds) {
  if (blocks.size() < 2 || rate == 0) return std::nullopt;
  const double nominal = 1e9 / rate;
  const auto windowFrames = static_cast<std::uint64_t>(std::max(1.0, windowSeconds * rate));
  Timeline line;
  line.knots = EarliestPerWindow(blocks, nominal, windowFrames);
  line.nsPerFrame = nominal;
  if (line.knots.size() < 2) {
    // Too short to see the server's pace: the nominal one, from the one earliest block.
    line.knots.push_back({line.knots.front().count + 1, line.knots.front().ns + nominal});
    return line;
  }

  // The run's pace: least squares through the knots, relative to the first for precision.
  const Timeline::Knot origin = line.knots.front();
  long double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const auto n = static_cast<long double>(line.knots.size());
  for (const Timeline::Knot& k : line.knots) {
    const long double x = k.count - origin.count, y = k.ns - origin.ns;
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  const long double denominator = n * sxx - sx * sx;
  if (denominator > 0) line.nsPerFrame = static_cast<double>((n * sxy - sx * sy) / denominator);
  const double intercept = static_cast<double>((sy - line.nsPerFrame * sx) / n);
  for (std::size_t i = 0; i < line.knots.size(); ++i) {
    const Timeline::Knot& k = line.knots[i];
    const double straight = origin.ns + intercept + (k.count - origin.count) * line.nsPerFrame;
    line.wanderNs = std::max(line.wanderNs, std::abs(k.ns - straight));
    if (i == 0 || i + 1 == line.knots.size()) continue;
    const Timeline::Knot& a = line.knots[i - 1];
    const Timeline::Knot& b = line.knots[i + 1];
    const double between = a.ns + (k.count - a.count) * (b.ns - a.ns) / (b.count - a.count);
    line.roughnessNs = std::max(line.roughnessNs, std::abs(k.ns - between));
  }
  return line;
}

std::vector<double> Lateness(const std::vector<ArrivedBlock>& blocks, const Timeline& timeline) {
  std::vector<double> late;
  late.reserve(blocks.size());
  for (const ArrivedBlock& b : blocks) {
    late.push_back(static_cast<double>(b.arrivalNs) - timeline.TimeNs(static_cast<double>(b.endFrame)));
  }
  return late;
}

}  // namespace kestu::latency
