// The pointer-to-cell mapping and the column bookkeeping of the score view.
#include <gtest/gtest.h>

#include <cfenv>
#include <ostream>

#include "view/view_geometry.h"

namespace kestu::test {
using namespace view;
namespace {

TEST(RoundHalfToEven, RoundsTiesToTheEvenNeighbourAndTheRestToTheNearest) {
  struct Case {
    double value, rounded;
  } cases[] = {{0.5, 0.0},  {1.5, 2.0},  {2.5, 2.0},   {-0.5, 0.0}, {-1.5, -2.0}, {-2.5, -2.0},
               {0.49, 0.0}, {0.51, 1.0}, {-0.51, -1.0}, {3.0, 3.0},  {-3.0, -3.0}};
  for (const Case& c : cases) EXPECT_EQ(RoundHalfToEven(c.value), c.rounded) << c.value;
}

TEST(RoundHalfToEven, DoesNotFollowTheFloatingPointRoundingMode) {
  const int saved = std::fegetround();
  std::fesetround(FE_UPWARD);
  const double up = RoundHalfToEven(2.5);
  const double down = RoundHalfToEven(-1.25);
  std::fesetround(saved);
  EXPECT_EQ(up, 2.0);
  EXPECT_EQ(down, -1.0);
}

struct SnapCase {
  int scroll, x, y;
  int column, row;
};
std::ostream& operator<<(std::ostream& out, const SnapCase& c) {
  return out << "s " << c.scroll << ", (" << c.x << ", " << c.y << ")";
}

class SnapToCellCase : public testing::TestWithParam<SnapCase> {};

TEST_P(SnapToCellCase, MapsThePointerToItsCell) {
  const SnapCase& c = GetParam();
  const CellPosition cell = SnapToCell(c.scroll, c.x, c.y);
  EXPECT_EQ(cell.column, c.column);
  EXPECT_EQ(cell.row, c.row);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapToCellCase,
    testing::Values(
        SnapCase{0, 82, 40, 1, 1},       // on column 1's line, row 1's centre
        SnapCase{0, 98, 40, 1, 1},       // s + X - 82 = 16: half-way, goes to column 1
        SnapCase{0, 130, 40, 3, 1},      // 48: half-way between 2 and 3, goes to column 3
        SnapCase{0, 99, 40, 2, 1},       // just past the half-way point
        SnapCase{0, 66, 40, 1, 1},       // -16: half-way between columns 0 and 1, goes to 1
        SnapCase{0, 65, 40, 0, 1},       // left of column 1
        SnapCase{100, 29, 40, 2, 1},     // the scroll offset counts like the pointer
        SnapCase{100, 30, 40, 3, 1},     // 48 again, reached by scrolling
        SnapCase{0, 82, 44, 1, 2},       // Y = 44 and 52 are both half-way: row 2
        SnapCase{0, 82, 52, 1, 2},
        SnapCase{0, 82, 36, 1, 0},       // the band above the staff
        SnapCase{0, 82, 0, 1, -4},
        SnapCase{0, 82, 136, 1, 13},     // row 13's centre
        SnapCase{0, 82, 139, 1, 13},
        SnapCase{0, 82, 140, 1, 14},     // the bottom four pixel rows
        SnapCase{0, 82, 143, 1, 14},
        SnapCase{30402, 384, 40, 961, 1},  // the first offset that reaches column 961
        SnapCase{30435, 384, 40, 962, 1},  // the view's last pixel column at the largest offset
        SnapCase{30435, 2147483647, 2147483647, 67109813, 268435452}));  // far off: no overflow

TEST(FirstVisibleColumn, TruncatesTowardZeroAndNeverGoesBelowOne) {
  EXPECT_EQ(FirstVisibleColumn(0), 1);
  EXPECT_EQ(FirstVisibleColumn(113), 1);    // (113 - 82) / 32 = 0.97 -> 0, then -1, at least 1
  EXPECT_EQ(FirstVisibleColumn(146), 1);    // exactly 2 -> 1
  EXPECT_EQ(FirstVisibleColumn(178), 2);    // exactly 3 -> 2
  EXPECT_EQ(FirstVisibleColumn(30435), 947);  // 948.5 -> 948, then -1
}

TEST(BarLineOf, PlacesMeasureLinesAndNumbersByTimeSignature) {
  struct Case {
    int column;
    bool time44, measure;
    int number;
  } cases[] = {
      {1, true, true, 1},     {2, true, false, 0},    {5, true, true, 2},      {957, true, true, 240},
      {961, true, true, 0},   {958, true, false, 0},  {1, false, true, 1},     {4, false, true, 2},
      {5, false, false, 0},   {958, false, true, 320}, {961, false, true, 321}, {960, false, false, 0},
      {988, false, true, 330}, {991, false, true, 0},
  };
  for (const Case& c : cases) {
    const BarLine bar = BarLineOf(c.column, c.time44);
    EXPECT_EQ(bar.measure, c.measure) << c.column << (c.time44 ? " in 4/4" : " in 3/4");
    EXPECT_EQ(bar.number, c.number) << c.column << (c.time44 ? " in 4/4" : " in 3/4");
  }
}

}  // namespace
}  // namespace kestu::test
