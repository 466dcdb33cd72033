#pragma once
// Summaries of measured delays.
#include <cstddef>
#include <string>
#include <vector>

namespace kestu::latency {

struct Summary {
  std::size_t count = 0;
  double min = 0;
  double median = 0;
  double p99 = 0;
  double max = 0;
};

// NaNs (events that found no sound) are left out. All zero when nothing is left.
Summary Summarize(const std::vector<double>& values);

// Linear between the nearest ranks; `sorted` ascending and not empty, p in 0..100.
double Percentile(const std::vector<double>& sorted, double p);

// |x - median| of each value: how far each strays from the typical one. NaNs stay NaN.
std::vector<double> DeviationsFromMedian(const std::vector<double>& values);

// b - a of each pair of neighbours; a pair with a NaN gives NaN.
std::vector<double> Differences(const std::vector<double>& values);

// Milliseconds as the report prints them: two decimals.
std::string Ms(double value);

}  // namespace kestu::latency
