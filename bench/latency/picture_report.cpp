#include "bench/latency/picture_report.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "bench/latency/stats.h"

namespace kestu::latency {

void PrintStallSummary(std::ostream& out, const RunSettings& settings, const Analysis& a) {
  const Summary picture = Summarize(a.pictureToSoundMs);
  if (picture.count > 0) {
    std::vector<double> apart;
    for (const double v : a.pictureToSoundMs) apart.push_back(std::abs(v));
    const Summary distance = Summarize(apart);
    const auto beyond = std::count_if(apart.begin(), apart.end(), [](double v) { return v > kPictureAimMs; });
    out << "  picture-to-sound median " << Ms(picture.median) << " ms, min " << Ms(picture.min) << ", max "
        << Ms(picture.max) << " (the figure drawn on a column, to the column's first frame; positive: the\n"
        << "                   picture is ahead); apart p99 " << Ms(distance.p99) << " ms, " << beyond << " of "
        << distance.count << " beyond " << kPictureAimMs << " ms (a picture the stalled thread drew late): aim "
        << kPictureAimMs << " ms at p99 " << (distance.p99 <= kPictureAimMs ? "met" : "missed") << "\n";
  }
  if (settings.stalls.empty()) return;
  std::vector<double> lengths;
  for (const TimedEvent& s : settings.stalls) lengths.push_back(static_cast<double>(s.endNs - s.beginNs) / 1e6);
  const Summary stalls = Summarize(lengths);
  double worst = 0;
  for (const double e : a.soundIntervalErrorMs) {
    if (!std::isnan(e)) worst = std::max(worst, std::abs(e));
  }
  out << "  stalls           " << settings.stalls.size() << " of the GUI thread, median " << Ms(stalls.median)
      << " ms, longest " << Ms(stalls.max) << " ms; |onset to onset - score spacing| at most " << Ms(worst)
      << " ms: aim " << kStallSpacingAimMs << " ms " << (worst < kStallSpacingAimMs ? "met" : "missed") << "\n";
}

}  // namespace kestu::latency
