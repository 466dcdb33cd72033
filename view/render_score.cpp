#include "view/render_score.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>

#include "assets/images.h"

namespace kestu::view {
namespace {

constexpr int kBarLineTop = 32;
constexpr int kSignTop = 46;  // the repeat signs and the final bar span the staff, y 46..111
constexpr int kLedgerTop = 128;
constexpr int kNumberTop = 20;
constexpr int kLedgerRows[] = {12, 13};  // below the staff: each note there brings its ledger line
constexpr int kLastRowOnStaff = 11;

// Draws `image` with its top-left at (x, y) unless it lies wholly outside the view. Positions are
// 64-bit so that a far-off pointer or column cannot overflow; anything drawn is on the view, so it
// fits an int.
class ViewPainter {
 public:
  ViewPainter(QImage& target) : painter_(&target), width_(target.width()), height_(target.height()) {}

  void Draw(std::int64_t x, std::int64_t y, const QImage& image) {
    if (x >= width_ || y >= height_ || x + image.width() <= 0 || y + image.height() <= 0) return;
    painter_.drawImage(static_cast<int>(x), static_cast<int>(y), image);
  }
  QPainter& Painter() { return painter_; }

 private:
  QPainter painter_;
  std::int64_t width_;
  std::int64_t height_;
};

void DrawMeasureNumber(QPainter& painter, const QFontMetrics& metrics, std::int64_t x, int number) {
  // Black text on an opaque white box whose top-left is at (x - 5, 20). The box stays in the white
  // band above the staff even when the font's line is taller than the band's 12 rows (IPAPGothic's
  // 12-pixel line is 13): digits have no descent, so only empty rows are cut off, and the bar lines
  // keep their first pixel at y = 32.
  const QString text = QString::number(number);
  const int height = std::min(metrics.height(), kBarLineTop - kNumberTop);
  const QRect box(static_cast<int>(x) - 5, kNumberTop, metrics.horizontalAdvance(text), height);
  painter.save();
  painter.setClipRect(box);
  painter.fillRect(box, Qt::white);
  painter.drawText(box.left(), box.top() + metrics.ascent(), text);
  painter.restore();
}

void DrawNote(ViewPainter& view, std::int64_t x, int row, int instrument) {
  const auto& icons = assets::SoundImages();
  if (instrument < 1 || instrument > kInstrumentCount) return;  // the document never holds others
  view.Draw(x - 8, NoteTop(row), icons[instrument - 1]);
}

void DrawColumns(ViewPainter& view, const ScoreDocument& document, int scroll, const QFont& numberFont) {
  const QFontMetrics metrics(numberFont, view.Painter().device());
  const std::int64_t stopAt = view.Painter().device()->width() + 8;
  const int endColumn = document.EndColumn();
  for (int column = FirstVisibleColumn(scroll);; ++column) {
    const std::int64_t x = ColumnX(column, scroll);
    if (x >= stopAt) break;

    const BarLine bar = BarLineOf(column, document.Time44());
    if (bar.measure) {
      view.Draw(x, kBarLineTop, assets::CounterImage());
      if (bar.number != 0) DrawMeasureNumber(view.Painter(), metrics, x, bar.number);
    } else {
      view.Draw(x, kBarLineTop, assets::LineImage());
    }

    if (column == endColumn) {
      if (document.Loop()) {
        view.Draw(x - 7, kSignTop, assets::LoopLImageKeyed());
      } else {
        view.Draw(x - 2, kSignTop, assets::LastImageKeyed());
      }
    }

    if (column >= endColumn || column > kColumns) continue;
    for (int row = 1; row <= kLastRowOnStaff; ++row) {
      if (document.Cell(row, column) != 0) DrawNote(view, x, row, document.Cell(row, column));
    }
    // Row 13's ledger line goes over a row-12 note: that is how both notes share the one line.
    for (int row : kLedgerRows) {
      if (document.Cell(row, column) == 0) continue;
      view.Draw(x - 12, kLedgerTop, assets::CLineImage());
      DrawNote(view, x, row, document.Cell(row, column));
    }
  }
}

void DrawHoverGhost(ViewPainter& view, const ScoreDocument& document, const ScoreViewInputs& in, int scroll) {
  const CellPosition cell = SnapToCell(scroll, in.x, in.y);
  const std::int64_t cellX = ColumnX(cell.column, scroll);
  const bool instrument = document.CurrentTool >= 1 && document.CurrentTool <= kInstrumentCount;
  if (instrument && (cell.row == 12 || cell.row == 13) && cell.column >= 1) {
    view.Draw(cellX - 12, kLedgerTop, assets::CLineImage());
  }
  const auto& icons = assets::SoundImages();
  if (cell.row >= 1 && cell.row <= kRows && cell.column >= 1 && cell.column <= kColumns) {
    view.Draw(cellX - 8, NoteTop(cell.row), icons[assets::kHoverMarker]);
  }
  // The tool follows the pointer everywhere, whether or not a press there would change anything.
  if (in.tool >= 1 && in.tool <= kEraserTool) {
    view.Draw(std::int64_t{in.x} - 8, std::int64_t{in.y} - 8, icons[in.tool - 1]);
  }
}

void DrawRunningFigure(ViewPainter& view, int playStep, int scroll) {
  // Half a column per step; the two frames alternate and bob by a pixel.
  const std::int64_t x = 16 * std::int64_t{playStep} - scroll + 50;
  const auto& frames = assets::KestuImages();
  if (playStep % 2 != 0) {
    view.Draw(x, 10, frames[1]);
  } else {
    view.Draw(x, 11, frames[0]);
  }
}

}  // namespace

QFont DefaultNumberFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
  font.setPixelSize(12);
  // Black digits on white, pixel for pixel: smoothed edges would turn the small digits grey.
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

QImage RenderScore(const ScoreDocument& document, const ScoreViewInputs& inputs) {
  return RenderScore(document, inputs, DefaultNumberFont());
}

QImage RenderScore(const ScoreDocument& document, const ScoreViewInputs& inputs, const QFont& numberFont) {
  const int scroll = std::clamp(inputs.scroll, 0, kScrollBarMax);
  QImage picture(inputs.viewSize.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  {
    ViewPainter view(picture);
    QPainter& painter = view.Painter();
    painter.setFont(numberFont);
    painter.setPen(Qt::black);

    // Every pixel column of the view gets the background's one column.
    painter.drawImage(picture.rect(), assets::BGImage());
    if (scroll < 25) view.Draw(1 - scroll, 40, assets::ToonImageKeyed());
    if (document.Loop() && scroll < 55) view.Draw(42 - scroll, kSignTop, assets::LoopFImageKeyed());
    DrawColumns(view, document, scroll, numberFont);
    if (inputs.x != -1) DrawHoverGhost(view, document, inputs, scroll);
    if (inputs.playing) DrawRunningFigure(view, inputs.playStep, scroll);
  }
  return picture;
}

}  // namespace kestu::view
