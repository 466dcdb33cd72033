#include "bench/latency/stats.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace kestu::latency {

namespace {

std::vector<double> SortedWithoutNaN(const std::vector<double>& values) {
  std::vector<double> kept;
  kept.reserve(values.size());
  for (const double v : values) {
    if (!std::isnan(v)) kept.push_back(v);
  }
  std::sort(kept.begin(), kept.end());
  return kept;
}

}  // namespace

double Percentile(const std::vector<double>& sorted, double p) {
  const double rank = std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(rank));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (sorted[above] - sorted[below]) * (rank - static_cast<double>(below));
}

Summary Summarize(const std::vector<double>& values) {
  const std::vector<double> sorted = SortedWithoutNaN(values);
  if (sorted.empty()) return {};
  return {sorted.size(), sorted.front(), Percentile(sorted, 50), Percentile(sorted, 99), sorted.back()};
}

std::vector<double> DeviationsFromMedian(const std::vector<double>& values) {
  const std::vector<double> sorted = SortedWithoutNaN(values);
  std::vector<double> deviations(values.size(), NAN);
  if (sorted.empty()) return deviations;
  const double median = Percentile(sorted, 50);
  for (std::size_t i = 0; i < values.size(); ++i) deviations[i] = std::abs(values[i] - median);
  return deviations;
}

std::vector<double> Differences(const std::vector<double>& values) {
  std::vector<double> out;
  for (std::size_t i = 1; i < values.size(); ++i) out.push_back(values[i] - values[i - 1]);
  return out;
}

std::string Ms(double value) {
  std::ostringstream s;
  s << std::fixed << std::setprecision(2) << value;
  return s.str();
}

}  // namespace kestu::latency
