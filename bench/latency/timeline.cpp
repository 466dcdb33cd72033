#include "bench/latency/timeline.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace kestu::latency {

namespace {

// The earliest block of each window, by how far it arrived ahead of the nominal pace. A last
// window shorter than half of one joins the one before: a few blocks say little.
std::vector<Timeline::Knot> EarliestPerWindow(std::span<const ArrivedBlock> blocks, double nominal,
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

// A recording that jumps about this often is not one with steps but one too rough to place.
constexpr std::size_t kMostSteps = 100;
// A jump that grows by less than this from one block boundary to the next is still the same jump.
constexpr double kSameJumpNs = 250e3;

// The lower envelope of the arrivals each side of every block boundary.
struct Envelopes {
  std::vector<double> before;  // the least ahead over the window that ends with block i
  std::vector<double> after;   // the least ahead over the window that begins with block i
};

Envelopes LeastAhead(std::span<const ArrivedBlock> blocks, const std::vector<double>& ahead, std::uint64_t window) {
  const std::size_t n = blocks.size();
  Envelopes e{std::vector<double>(n), std::vector<double>(n)};
  for (std::size_t i = 0; i < n; ++i) {
    e.before[i] = ahead[i];
    for (std::size_t j = i; j-- > 0 && blocks[i].endFrame - blocks[j].endFrame < window;) {
      e.before[i] = std::min(e.before[i], ahead[j]);
    }
    e.after[i] = ahead[i];
    for (std::size_t j = i + 1; j < n && blocks[j].endFrame - blocks[i].endFrame < window; ++j) {
      e.after[i] = std::min(e.after[i], ahead[j]);
    }
  }
  return e;
}

// The server's pace in ns per frame, from one earliest block to the next: the median, which a
// few steps between them do not move. The nominal pace when there are too few.
double PaceBetween(const std::vector<Timeline::Knot>& knots, double nominal) {
  std::vector<double> paces;
  for (std::size_t i = 1; i < knots.size(); ++i) {
    paces.push_back((knots[i].ns - knots[i - 1].ns) / (knots[i].count - knots[i - 1].count));
  }
  if (paces.empty()) return nominal;
  std::nth_element(paces.begin(), paces.begin() + paces.size() / 2, paces.end());
  return paces[paces.size() / 2];
}

// The steps in a recording, at the server's pace `nsPerFrame`: the earliest arrivals over a window
// after a block boundary and over one before it differ by at least `leastNs` for their frame counts.
std::vector<Timeline::Step> FindSteps(const std::vector<ArrivedBlock>& blocks, std::uint32_t rate, double nsPerFrame,
                                      double windowSeconds = 0.2, double leastNs = 2e6) {
  std::vector<Timeline::Step> steps;
  const auto window = static_cast<std::uint64_t>(std::max(1.0, windowSeconds * rate));
  const std::size_t n = blocks.size();
  std::vector<double> ahead;
  for (const ArrivedBlock& b : blocks) {
    ahead.push_back(static_cast<double>(b.arrivalNs - blocks.front().arrivalNs) -
                    static_cast<double>(b.endFrame - blocks.front().endFrame) * nsPerFrame);
  }
  // A jump before block i counts only with half a window on both sides: near the recording's ends
  // a few late blocks would look like one.
  const auto seen = [&](std::size_t i) {
    return blocks[i - 1].endFrame - blocks.front().endFrame >= window / 2 &&
           blocks.back().endFrame - blocks[i - 1].endFrame >= window / 2;
  };
  // One step at a time, the earliest first; the blocks after it are put back on the pace before,
  // so that the next step is measured from there.
  while (steps.size() < kMostSteps) {
    const Envelopes e = LeastAhead(blocks, ahead, window);
    const auto jump = [&](std::size_t i) { return seen(i) ? e.after[i] - e.before[i - 1] : 0.0; };
    std::size_t i = 1;
    while (i < n && std::abs(jump(i)) < leastNs) ++i;
    if (i == n) break;
    if (jump(i) > 0) {
      // Later from here on: the jump holds from the first block after it, and grows only where
      // blocks just before it came late.
      while (i + 1 < n && jump(i + 1) > jump(i) + kSameJumpNs) ++i;
    } else {
      // Earlier from here on: every block in the window before the step sees it; it lies at the last.
      while (i + 1 < n && jump(i + 1) <= -leastNs) ++i;
    }
    const double by = jump(i);
    const auto same = std::find_if(steps.begin(), steps.end(), [&](const auto& s) { return s.count == blocks[i - 1].endFrame; });
    if (same != steps.end()) {
      same->jumpNs += by;
    } else {
      steps.push_back({blocks[i - 1].endFrame, by});
    }
    for (std::size_t j = i; j < n; ++j) ahead[j] -= by;
  }
  // What was measured twice at one place and came to nothing is no step.
  std::erase_if(steps, [&](const auto& s) { return std::abs(s.jumpNs) < leastNs; });
  std::sort(steps.begin(), steps.end(), [](const auto& a, const auto& b) { return a.count < b.count; });
  return steps;
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
  // Earliest by the server's own pace, roughly known first: at the nominal one a clock some hundred
  // ppm fast would have each window's last blocks taken for its earliest.
  const double roughPace = PaceBetween(EarliestPerWindow(blocks, nominal, windowFrames), nominal);
  line.steps = FindSteps(blocks, rate, roughPace);
  line.nsPerFrame = nominal;

  // Windows run within the stretches between steps. `pace` holds each knot with the steps before
  // it taken out: the server's clock as if it had never stopped, for the run's pace and roughness.
  std::vector<std::vector<Timeline::Knot>> stretches;
  std::vector<Timeline::Knot> pace;
  auto from = blocks.begin();
  double stepped = 0;
  for (std::size_t s = 0; s <= line.steps.size(); ++s) {
    const auto to = s < line.steps.size()
                        ? std::upper_bound(from, blocks.end(), line.steps[s].count,
                                           [](std::uint64_t c, const ArrivedBlock& b) { return c < b.endFrame; })
                        : blocks.end();
    stretches.push_back(EarliestPerWindow(std::span(from, to), roughPace, windowFrames));
    for (const Timeline::Knot& k : stretches.back()) pace.push_back({k.count, k.ns - stepped});
    if (s < line.steps.size()) stepped += line.steps[s].jumpNs;
    from = to;
  }
  if (pace.size() < 2) {
    // Too short to see the server's pace: the nominal one, from the one earliest block.
    line.knots = pace;
    line.knots.push_back({line.knots.front().count + 1, line.knots.front().ns + nominal});
    return line;
  }

  // The run's pace: least squares through the knots, relative to the first for precision.
  const Timeline::Knot origin = pace.front();
  long double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const auto n = static_cast<long double>(pace.size());
  for (const Timeline::Knot& k : pace) {
    const long double x = k.count - origin.count, y = k.ns - origin.ns;
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  const long double denominator = n * sxx - sx * sx;
  if (denominator > 0) line.nsPerFrame = static_cast<double>((n * sxy - sx * sy) / denominator);
  const double intercept = static_cast<double>((sy - line.nsPerFrame * sx) / n);
  for (std::size_t i = 0; i < pace.size(); ++i) {
    const Timeline::Knot& k = pace[i];
    const double straight = origin.ns + intercept + (k.count - origin.count) * line.nsPerFrame;
    line.wanderNs = std::max(line.wanderNs, std::abs(k.ns - straight));
    if (i == 0 || i + 1 == pace.size()) continue;
    const Timeline::Knot& a = pace[i - 1];
    const Timeline::Knot& b = pace[i + 1];
    const double between = a.ns + (k.count - a.count) * (b.ns - a.ns) / (b.count - a.count);
    line.roughnessNs = std::max(line.roughnessNs, std::abs(k.ns - between));
  }

  // Each step breaks the line between the frame before it and the first after it: each side on
  // at the run's pace from the stretch's own nearest knot.
  const auto add = [&](Timeline::Knot k) {
    if (line.knots.empty() || k.count > line.knots.back().count) line.knots.push_back(k);
  };
  for (std::size_t s = 0; s < stretches.size(); ++s) {
    if (s > 0) {
      const auto c = static_cast<double>(line.steps[s - 1].count);
      const Timeline::Knot last = line.knots.back();
      const Timeline::Knot first = stretches[s].front();
      add({c, last.ns + (c - last.count) * line.nsPerFrame});
      add({c + 1, first.ns - (first.count - c - 1) * line.nsPerFrame});
    }
    for (const Timeline::Knot& k : stretches[s]) add(k);
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
