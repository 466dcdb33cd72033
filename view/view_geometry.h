#pragma once
// Where things stand in the score view, and which cell a pointer position picks. Plain arithmetic,
// shared by the drawing and the press handler so that the hover ghost and the click always agree.
#include <cstdint>

#include "playback/scroll_range.h"

namespace kestu::view {

inline constexpr int kViewWidth = 385;
inline constexpr int kViewHeight = 144;
inline constexpr int kColumnPitch = 32;
inline constexpr int kRowPitch = 8;

// The x of column c's line at scroll offset s. 64-bit so that no pointer position or column the
// callers may compute can overflow.
constexpr std::int64_t ColumnX(std::int64_t column, std::int64_t scroll) {
  return kColumnPitch * column - scroll + 50;
}
// The top edge of a note of row r (its left edge is ColumnX - 8).
constexpr int NoteTop(int row) { return kRowPitch * row + 24; }

// Nearest integer, ties to the even one, whatever the floating-point rounding mode is.
double RoundHalfToEven(double value);

struct CellPosition {
  int column;  // may be below 1 or above 960: the callers decide what applies
  int row;     // may be below 1 or above 13
};

// column = R((s + X - 82) / 32) + 1, row = R((Y - 32) / 8), in floating point, R rounding half to even.
CellPosition SnapToCell(int scroll, int x, int y);

// The first column the drawing visits: T((s - 82) / 32) - 1, T truncating, but at least 1.
int FirstVisibleColumn(int scroll);

// The bar line of a column: a measure line (with or without its number) or a beat line.
struct BarLine {
  bool measure;      // true: measure line; false: beat line
  int number;        // the measure number to write, or 0 when none is written
};
BarLine BarLineOf(int column, bool time44);

}  // namespace kestu::view
