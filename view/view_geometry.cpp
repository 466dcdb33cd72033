#include "view/view_geometry.h"

#include <algorithm>
#include <cmath>

namespace kestu::view {
namespace {

// The last measure number written: 240 in 4/4 (column 957; column 961's line has none), 330 in 3/4,
// beyond anything that comes into view.
constexpr int kLastNumber44 = 240;
constexpr int kLastNumber34 = 330;

int ToInt(double value) {
  // Pointer positions are ints, so |value| stays far inside int's range; clamp anyway.
  return static_cast<int>(std::clamp(value, -2147483648.0, 2147483647.0));
}

}  // namespace

double RoundHalfToEven(double value) {
  const double below = std::floor(value);
  const double fraction = value - below;
  if (fraction < 0.5) return below;
  if (fraction > 0.5) return below + 1.0;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

CellPosition SnapToCell(int scroll, int x, int y) {
  // Divisions by 32 and 8 are exact in binary floating point, so half-way positions are exact ties.
  const double column = RoundHalfToEven((static_cast<double>(scroll) + x - 82.0) / kColumnPitch) + 1.0;
  const double row = RoundHalfToEven((static_cast<double>(y) - 32.0) / kRowPitch);
  return {ToInt(column), ToInt(row)};
}

int FirstVisibleColumn(int scroll) {
  const double first = std::trunc((static_cast<double>(scroll) - 82.0) / kColumnPitch) - 1.0;
  return std::max(1, ToInt(first));
}

BarLine BarLineOf(int column, bool time44) {
  const int beats = time44 ? 4 : 3;
  if ((column - 1) % beats != 0) return {false, 0};
  const int number = (column - 1) / beats + 1;
  const int last = time44 ? kLastNumber44 : kLastNumber34;
  return {true, number <= last ? number : 0};
}

}  // namespace kestu::view
