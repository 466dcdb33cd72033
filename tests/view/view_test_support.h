#pragma once
// Shared pieces of the score view and picture tests: the view's colours, documents built by hand,
// and pixel checks of a rendered view against the pictures that should show at given places.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>

#include "assets/images.h"
#include "score/document.h"
#include "tests/support/pixels.h"
#include "view/render_score.h"

namespace kestu::test {
using namespace view;

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kStaffGreen = qRgb(0xCE, 0xEF, 0xE7);
constexpr QRgb kMeasureOrange = qRgb(0xFF, 0x94, 0x00);
constexpr QRgb kBeatGreen = qRgb(0xA5, 0xC6, 0xB5);

inline bool IsStaffLineRow(int y) {
  for (int top : {46, 62, 78, 94, 110}) {
    if (y == top || y == top + 1) return true;
  }
  return false;
}
// What the background shows in pixel row y.
inline QRgb BackgroundAt(int y) {
  if (y < 32) return kWhite;
  return IsStaffLineRow(y) ? kBlack : kStaffGreen;
}

inline int X(int column, int scroll) { return 32 * column - scroll + 50; }

struct Placed {
  const QImage* image;
  int x;
  int y;
};

inline bool Covers(const Placed& p, int x, int y) {
  const int ix = x - p.x, iy = y - p.y;
  if (ix < 0 || iy < 0 || ix >= p.image->width() || iy >= p.image->height()) return false;
  return qAlpha(p.image->pixel(ix, iy)) == 255;
}

inline bool CoveredByAny(std::initializer_list<Placed> pictures, int x, int y) {
  return std::any_of(pictures.begin(), pictures.end(), [&](const Placed& p) { return Covers(p, x, y); });
}

// Every opaque pixel of an image-list entry placed at (x, y) shows on the view, except where one
// of `above` (drawn later) covers it. Returns the number of pixels checked on the view.
inline int ExpectIconAt(const QImage& view, const QImage& icon, int x, int y,
                        std::initializer_list<Placed> above = {}, const std::string& what = "icon") {
  const Placed self{&icon, x, y};
  return ExpectPixels(
      view,
      [&](int vx, int vy) -> std::optional<QRgb> {
        if (!Covers(self, vx, vy) || CoveredByAny(above, vx, vy)) return std::nullopt;
        return icon.pixel(vx - x, vy - y);
      },
      QRect(x, y, icon.width(), icon.height()), what);
}

// A two-colour picture drawn transparently at (x, y): its black pixels are black on the view and its
// white pixels show the background. Only for places where nothing else is drawn.
inline void ExpectKeyedOnBackground(const QImage& view, const QImage& picture, int x, int y,
                                    const std::string& what) {
  ExpectPixels(
      view, [&](int vx, int vy) { return picture.pixel(vx - x, vy - y) == kWhite ? BackgroundAt(vy) : kBlack; },
      QRect(x, y, picture.width(), picture.height()), what);
}

// View pixel column x shows nothing but the background.
inline void ExpectBackgroundColumn(const QImage& view, int x, const std::string& what) {
  ExpectPixels(view, [](int, int y) { return BackgroundAt(y); }, QRect(x, 0, 1, view.height()), what);
}

inline QImage Render(const ScoreDocument& doc, int scroll, int x = -1, int y = -1, int tool = -1) {
  return RenderScore(doc, {.scroll = scroll, .x = x, .y = y, .tool = tool});
}

// A document with these notes (row, column, instrument), end mark and switches.
struct Note {
  int row, column, instrument;
};
inline void Fill(ScoreDocument& doc, std::initializer_list<Note> notes) {
  for (const Note& n : notes) doc.PlaceNote(n.row, n.column, n.instrument);
}

}  // namespace kestu::test
