// The score view's picture, pixel by pixel where a wrong pixel would be a wrong picture: the
// staff, the clef and the signs at the scroll limits, the bar lines and numbers by time signature,
// the notes and their ledger lines in drawing order, the end mark, the hover ghost and the
// running figure.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <ostream>

#include "tests/view/view_test_support.h"

namespace kestu::test {
namespace {

const QImage& Icon(int entry) { return assets::SoundImages().at(entry); }

TEST(RenderScore, MakesAnOpaqueImageOfTheViewsSize) {
  ScoreDocument doc;
  const QImage view = Render(doc, 0);
  EXPECT_EQ(view.size(), QSize(385, 144));
  EXPECT_EQ(view.format(), QImage::Format_RGB32);
  EXPECT_EQ(RenderScore(doc, {.viewSize = QSize(200, 144)}).size(), QSize(200, 144));
}

TEST(RenderScore, EveryPixelColumnAwayFromTheLinesShowsTheBackground) {
  ScoreDocument doc;
  const QImage view = Render(doc, 0);
  for (int x : {0, 30, 60, 290, 384}) ExpectBackgroundColumn(view, x, "x = " + std::to_string(x));
}

TEST(RenderScore, ScrollOffsetsOutsideTheBarsRangeDrawAsItsEnds) {
  ScoreDocument doc;
  Fill(doc, {{3, 1, 2}, {5, 960, 7}});
  EXPECT_EQ(Render(doc, -40), Render(doc, 0));
  EXPECT_EQ(Render(doc, 99999), Render(doc, 30435));
}

// --- clef and begin-repeat sign ---------------------------------------------------------------

class ClefAt : public testing::TestWithParam<int> {};

TEST_P(ClefAt, StandsAtOneMinusTheScrollOffset) {
  const int scroll = GetParam();
  ScoreDocument doc;
  const QImage view = Render(doc, scroll);
  ExpectKeyedOnBackground(view, assets::ToonImage(), 1 - scroll, 40, "clef");
  if (scroll == 0 || scroll >= 25) ExpectBackgroundColumn(view, 0, "left of the clef");
}

INSTANTIATE_TEST_SUITE_P(Offsets, ClefAt, testing::Values(0, 12, 24, 25));

TEST(RenderScore, BeginRepeatSignShowsOnlyWithTheLoopSwitchAndBeforeOffset55) {
  ScoreDocument doc;
  doc.SetLoop(true);
  const QImage atZero = Render(doc, 0);
  ExpectKeyedOnBackground(atZero, assets::LoopFImage(), 42, 46, "sign at s = 0");
  // Thick bar in x 42..45 through the whole staff.
  ExpectPixels(atZero, [](int, int) { return kBlack; }, QRect(42, 46, 4, 66), "thick bar");
  // s = 54: one pixel column, the dots' outer column, remains at x = 0; s = 55: none.
  const QImage at54 = Render(doc, 54);
  for (int y : {70, 71, 86, 87}) EXPECT_EQ(at54.pixel(0, y), kBlack) << y;
  ExpectKeyedOnBackground(at54, assets::LoopFImage(), -12, 46, "sign at s = 54");
  ExpectBackgroundColumn(Render(doc, 55), 0, "s = 55");

  doc.SetLoop(false);
  const QImage off = Render(doc, 0);
  for (int x = 42; x <= 54; ++x) ExpectBackgroundColumn(off, x, "loop off, x = " + std::to_string(x));
}

// --- bar lines and measure numbers ------------------------------------------------------------

// The line at view x: dotted in `colour` on even rows from y = 32, white on odd rows, to y = 138.
void ExpectBarLine(const QImage& view, int x, QRgb colour, const std::string& what) {
  ExpectPixels(
      view, [&](int, int y) { return y > 138 ? kStaffGreen : (y - 32) % 2 == 0 ? colour : kWhite; },
      QRect(x, 32, 1, 112), what);
}

// The number as black text on white, in a box the band's 12 rows high.
QImage NumberBox(const QString& text) {
  const QFont font = DefaultNumberFont();
  const QFontMetrics metrics(font);
  QImage box(metrics.horizontalAdvance(text), metrics.height() + 4, QImage::Format_RGB32);
  box.fill(Qt::white);
  QPainter painter(&box);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(0, metrics.ascent(), text);
  painter.end();
  ExpectPixels(box, [](int, int) { return kWhite; }, QRect(0, 12, box.width(), box.height() - 12),
               "digits below row 12");
  return box.copy(0, 0, box.width(), 12);
}

// The number's box, black text on white, with its top-left at (x - 5, 20).
void ExpectNumber(const QImage& view, int x, int number) {
  const QImage box = NumberBox(QString::number(number));
  QImage blank(box.size(), box.format());
  blank.fill(Qt::white);
  ASSERT_NE(box, blank) << "the reference text is blank";
  ASSERT_LE(x - 5 + box.width(), view.width()) << number;
  EXPECT_EQ(view.copy(x - 5, 20, box.width(), box.height()), box) << "number " << number << " at x " << x;
}

void ExpectNoNumber(const QImage& view, int x) {
  ExpectPixels(view, [](int, int) { return kWhite; }, QRect(x - 5, 0, 35, 32),
               "ink above column at x " + std::to_string(x));
}

TEST(RenderScore, NumberBoxesStayInTheWhiteBand) {
  ScoreDocument doc;
  const QImage view = Render(doc, 0);
  for (int x = 77; x < 82; ++x) EXPECT_EQ(view.pixel(x, 32), kStaffGreen) << x;  // left of column 1's line
}

TEST(RenderScore, MeasureNumbersAreBlackOnWhite) {
  ScoreDocument doc;
  for (bool time44 : {true, false}) {
    doc.SetTime44(time44);
    const QImage view = Render(doc, 0);
    int black = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < view.width(); ++x) {
        const QRgb p = view.pixel(x, y);
        black += p == qRgb(0, 0, 0);
        ASSERT_TRUE(p == qRgb(0, 0, 0) || p == kWhite) << "grey ink at " << x << ", " << y;
      }
    }
    EXPECT_GT(black, 10) << "no digits";
  }
}

struct BarCase {
  const char* name;
  bool time44;
  int scroll;
  std::vector<int> measureColumns;
  std::vector<int> beatColumns;
  std::vector<std::pair<int, int>> numbers;  // column, number
  std::vector<int> unnumbered;               // measure columns without a number
};

class BarLines : public testing::TestWithParam<BarCase> {};

TEST_P(BarLines, FollowTheTimeSignature) {
  const BarCase& c = GetParam();
  ScoreDocument doc;
  doc.SetTime44(c.time44);
  const QImage view = Render(doc, c.scroll);
  for (int column : c.measureColumns)
    ExpectBarLine(view, X(column, c.scroll), kMeasureOrange, "measure line, column " + std::to_string(column));
  for (int column : c.beatColumns)
    ExpectBarLine(view, X(column, c.scroll), kBeatGreen, "beat line, column " + std::to_string(column));
  for (const auto& [column, number] : c.numbers) ExpectNumber(view, X(column, c.scroll), number);
  for (int column : c.unnumbered) ExpectNoNumber(view, X(column, c.scroll));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BarLines,
    testing::Values(
        BarCase{"FourFourStart", true, 0, {1, 5, 9}, {2, 3, 4, 6, 7, 8, 10}, {{1, 1}, {5, 2}, {9, 3}}, {}},
        BarCase{"ThreeFourStart", false, 0, {1, 4, 7, 10}, {2, 3, 5, 6, 8, 9}, {{1, 1}, {4, 2}, {7, 3}, {10, 4}}, {}},
        BarCase{"FourFourEnd", true, 30435, {953, 957, 961}, {950, 954, 958, 959, 960}, {{957, 240}}, {961}},
        BarCase{"ThreeFourEnd", false, 30435, {952, 955, 958, 961}, {950, 953, 959, 960},
                {{955, 319}, {958, 320}, {961, 321}}, {}}),
    [](const testing::TestParamInfo<BarCase>& info) { return info.param.name; });

// --- notes and ledger lines -------------------------------------------------------------------

struct NoteCase {
  int row, column, instrument, scroll;
};
std::ostream& operator<<(std::ostream& out, const NoteCase& c) {
  return out << "row " << c.row << ", column " << c.column << ", instrument " << c.instrument << ", s " << c.scroll;
}

class NoteAt : public testing::TestWithParam<NoteCase> {};

TEST_P(NoteAt, IsItsInstrumentsIconCentredOnTheColumnLine) {
  const NoteCase& c = GetParam();
  ScoreDocument doc;
  Fill(doc, {{c.row, c.column, c.instrument}});
  const QImage view = Render(doc, c.scroll);
  const int x = X(c.column, c.scroll);
  const QImage& icon = Icon(c.instrument - 1);
  EXPECT_GT(ExpectIconAt(view, icon, x - 8, 8 * c.row + 24), 0);
  const QImage& ledger = assets::CLineImage();
  if (c.row >= 12) {
    EXPECT_GT(ExpectIconAt(view, ledger, x - 12, 128, {{&icon, x - 8, 8 * c.row + 24}}, "ledger"), 0);
  } else if (x - 12 >= 0) {
    EXPECT_EQ(view.pixel(x - 12, 128), kStaffGreen) << "a ledger line without a note below the staff";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, NoteAt,
                         testing::Values(NoteCase{1, 1, 1, 0}, NoteCase{2, 3, 4, 0}, NoteCase{11, 10, 15, 0},
                                         NoteCase{12, 2, 9, 0}, NoteCase{13, 4, 13, 0},
                                         NoteCase{6, 960, 6, 30435}, NoteCase{13, 960, 11, 30435},
                                         NoteCase{7, 500, 8, 15800}));

TEST(RenderScore, LowerRowsAreDrawnOverHigherOnes) {
  ScoreDocument doc;
  Fill(doc, {{3, 2, 1}, {4, 2, 12}});
  const QImage view = Render(doc, 0);
  const int x = X(2, 0);
  const Placed lower{&Icon(11), x - 8, 56};
  EXPECT_GT(ExpectIconAt(view, Icon(11), x - 8, 56), 0);
  EXPECT_GT(ExpectIconAt(view, Icon(0), x - 8, 48, {lower}, "row 3 under row 4"), 0);
}

TEST(RenderScore, RowThirteensLedgerLineGoesOverTheRowTwelveNote) {
  // Order: ledger, row-12 note, ledger again, row-13 note.
  for (int high = 1; high <= 15; ++high) {
    for (int low : {1, 4, 13}) {
      ScoreDocument doc;
      Fill(doc, {{12, 3, high}, {13, 3, low}});
      const QImage view = Render(doc, 0);
      const int x = X(3, 0);
      const Placed lowNote{&Icon(low - 1), x - 8, 128};
      const Placed ledger{&assets::CLineImage(), x - 12, 128};
      SCOPED_TRACE("row 12: " + std::to_string(high) + ", row 13: " + std::to_string(low));
      ExpectIconAt(view, Icon(low - 1), x - 8, 128, {}, "row-13 note");
      ExpectIconAt(view, assets::CLineImage(), x - 12, 128, {lowNote}, "second ledger line");
      ExpectIconAt(view, Icon(high - 1), x - 8, 120, {ledger, lowNote}, "row-12 note");
    }
  }
  // The case must be able to fail: some row-12 icon has non-black pixels where the second ledger
  // line goes and the row-13 icon leaves it uncovered.
  int telling = 0;
  for (int high = 0; high < 15; ++high) {
    for (int dy = 8; dy <= 9; ++dy) {
      for (int dx = 0; dx < 16; ++dx) {
        const QRgb p = Icon(high).pixel(dx, dy);
        telling += qAlpha(p) == 255 && p != kBlack && qAlpha(Icon(0).pixel(dx, dy - 8)) < 255;
      }
    }
  }
  EXPECT_GT(telling, 0);
}

TEST(RenderScore, ColumnsPartlyInViewAreDrawnAndNoneFromWPlusEight) {
  ScoreDocument doc;
  Fill(doc, {{12, 5, 1}, {12, 20, 1}});
  // Column 5's line at x = -11: its ledger line (x - 12 .. x + 11) reaches pixel column 0.
  EXPECT_EQ(Render(doc, 32 * 5 + 61).pixel(0, 128), kBlack);
  // Column 20's line at x = 392 = W + 7 is still visited: its ledger line shows from x = 380.
  const QImage visited = Render(doc, 32 * 20 - 342);
  for (int x = 380; x <= 383; ++x) EXPECT_EQ(visited.pixel(x, 128), kBlack) << x;
  // At x = 393 = W + 8 the column is not drawn, though its ledger line would show from 381.
  const QImage stopped = Render(doc, 32 * 20 - 343);
  for (int x = 381; x <= 384; ++x) EXPECT_EQ(stopped.pixel(x, 128), kStaffGreen) << x;
}

// --- end mark ---------------------------------------------------------------------------------

struct EndCase {
  int endColumn, scroll;
  bool loop;
};
std::ostream& operator<<(std::ostream& out, const EndCase& c) {
  return out << "end " << c.endColumn << ", s " << c.scroll << (c.loop ? ", loop" : "");
}

class EndMark : public testing::TestWithParam<EndCase> {};

TEST_P(EndMark, IsTheFinalBarOrWithTheLoopTheEndRepeatSign) {
  const EndCase& c = GetParam();
  ScoreDocument doc;
  doc.SetEndColumn(c.endColumn);
  doc.SetLoop(c.loop);
  const QImage view = Render(doc, c.scroll);
  const int x = X(c.endColumn, c.scroll);
  for (int y = 46; y <= 111; ++y) {
    ASSERT_EQ(view.pixel(x - 2, y), kBlack) << "thin bar, y " << y;
    for (int t = x + 2; t <= x + 5; ++t) ASSERT_EQ(view.pixel(t, y), kBlack) << "thick bar " << t << ", " << y;
    for (int gap : {x - 1, x + 1}) ASSERT_EQ(view.pixel(gap, y), BackgroundAt(y)) << "gap " << gap << ", " << y;
  }
  for (int y : {45, 112}) EXPECT_EQ(view.pixel(x + 3, y), BackgroundAt(y)) << "sign ends, y " << y;
  for (int y : {70, 71, 86, 87}) {
    for (int d : {x - 7, x - 6}) {
      EXPECT_EQ(view.pixel(d, y), c.loop ? kBlack : kStaffGreen) << "dot column " << d << ", y " << y;
    }
  }
  EXPECT_EQ(view.pixel(x - 7, 60), kStaffGreen);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndMark,
                         testing::Values(EndCase{5, 0, false}, EndCase{5, 0, true}, EndCase{1, 0, false},
                                         EndCase{1, 0, true}, EndCase{961, 30435, false},
                                         EndCase{961, 30435, true}, EndCase{300, 9300, true}));

TEST(RenderScore, NotesAtOrAfterTheEndMarkAreNotDrawnButStayInTheScore) {
  ScoreDocument busy;
  ScoreDocument shown;
  for (int column = 1; column <= 12; ++column) {
    Fill(busy, {{2, column, 3}, {7, column, 5}, {13, column, 9}});
    if (column < 6) Fill(shown, {{2, column, 3}, {7, column, 5}, {13, column, 9}});
  }
  busy.MoveEndMark(6);
  shown.MoveEndMark(6);
  EXPECT_EQ(Render(busy, 0), Render(shown, 0));
  EXPECT_EQ(busy.Cell(7, 9), 5);

  busy.MoveEndMark(1);
  ScoreDocument empty;
  empty.MoveEndMark(1);
  EXPECT_EQ(Render(busy, 0), Render(empty, 0));
}

// --- hover ghost ------------------------------------------------------------------------------

TEST(HoverGhost, InstrumentBelowTheStaffShowsLedgerMarkerAndTool) {
  ScoreDocument doc;  // CurrentTool 1
  const QImage view = Render(doc, 0, 150, 128, 1);  // column 3 (x 146), row 12
  const Placed marker{&Icon(17), 138, 120};
  const Placed tool{&Icon(0), 142, 120};
  EXPECT_GT(ExpectIconAt(view, assets::CLineImage(), 134, 128, {marker, tool}, "ledger preview"), 0);
  EXPECT_GT(ExpectIconAt(view, Icon(17), 138, 120, {tool}, "marker"), 0);
  EXPECT_GT(ExpectIconAt(view, Icon(0), 142, 120, {}, "tool"), 0);
}

// Outside the given pictures the ghosted view equals the plain one.
void ExpectOnlyThese(const QImage& view, const QImage& plain, std::initializer_list<Placed> ghost) {
  ExpectPixels(view, [&](int x, int y) -> std::optional<QRgb> {
    if (CoveredByAny(ghost, x, y)) return std::nullopt;
    return plain.pixel(x, y);
  });
}

TEST(HoverGhost, EraserAndEndMarkToolsShowMarkerAndToolButNoLedger) {
  for (int toolNumber : {16, 17}) {
    ScoreDocument doc;
    doc.CurrentTool = toolNumber;
    const QImage view = Render(doc, 0, 150, 128, toolNumber);
    const Placed marker{&Icon(17), 138, 120};
    const Placed tool{&Icon(toolNumber - 1), 142, 120};
    SCOPED_TRACE(toolNumber);
    EXPECT_GT(ExpectIconAt(view, Icon(17), 138, 120, {tool}, "marker"), 0);
    EXPECT_GT(ExpectIconAt(view, Icon(toolNumber - 1), 142, 120, {}, "tool"), 0);
    ExpectOnlyThese(view, Render(doc, 0), {marker, tool});
  }
}

struct ToolOnlyCase {
  const char* name;
  int scroll, x, y;
};

class HoverToolOnly : public testing::TestWithParam<ToolOnlyCase> {};

TEST_P(HoverToolOnly, ShowsNoMarkerWhereNoCellIs) {
  const ToolOnlyCase& c = GetParam();
  ScoreDocument doc;
  doc.CurrentTool = 2;
  const QImage view = Render(doc, c.scroll, c.x, c.y, 2);
  const Placed tool{&Icon(1), c.x - 8, c.y - 8};
  ExpectIconAt(view, Icon(1), c.x - 8, c.y - 8);
  ExpectOnlyThese(view, Render(doc, c.scroll), {tool});
}

INSTANTIATE_TEST_SUITE_P(Cases, HoverToolOnly,
                         testing::Values(ToolOnlyCase{"BottomRows", 0, 150, 140},
                                         ToolOnlyCase{"LastPixelRow", 0, 150, 143},
                                         ToolOnlyCase{"BandEdge", 0, 150, 36},
                                         ToolOnlyCase{"BandTop", 0, 150, 3},
                                         ToolOnlyCase{"LeftOfColumnOne", 0, 40, 80},
                                         ToolOnlyCase{"Column961", 30435, 367, 80},
                                         ToolOnlyCase{"Column962", 30435, 384, 80}),
                         [](const testing::TestParamInfo<ToolOnlyCase>& info) { return info.param.name; });

TEST(HoverGhost, LedgerPreviewHasNoUpperColumnLimit) {
  // Column 961 takes no note and shows no marker, but a ledger preview.
  ScoreDocument doc;
  const QImage view = Render(doc, 30435, 367, 136, 1);  // row 13
  const Placed tool{&Icon(0), 359, 128};
  EXPECT_GT(ExpectIconAt(view, assets::CLineImage(), 355, 128, {tool}, "ledger preview"), 0);
  const Placed ledger{&assets::CLineImage(), 355, 128};
  ExpectOnlyThese(view, Render(doc, 30435), {tool, ledger});
}

TEST(HoverGhost, DoesNotDependOnWhetherAPressWouldChangeAnything) {
  ScoreDocument doc;
  Fill(doc, {{2, 3, 5}, {6, 3, 6}, {9, 3, 7}});  // a full column
  doc.MoveEndMark(8);
  for (auto [x, y] : {std::pair{146, 96}, std::pair{146, 48}, std::pair{306, 96}}) {  // empty, occupied, after the end
    const QImage view = Render(doc, 0, x + 3, y + 2, 4);
    const int cellX = X((x - 82) / 32 + 1, 0);
    const Placed tool{&Icon(3), x - 5, y - 6};
    EXPECT_GT(ExpectIconAt(view, Icon(17), cellX - 8, y - 8, {tool}, "marker"), 0) << x << ", " << y;
    ExpectIconAt(view, Icon(3), x - 5, y - 6, {}, "tool");
  }
}

TEST(HoverGhost, APlainRedrawHasNone) {
  ScoreDocument doc;
  EXPECT_EQ(RenderScore(doc, {.y = 80, .tool = 3}), Render(doc, 0));
}

TEST(HoverGhost, PointersFarOffOrUnknownToolsDrawNothingWrong) {
  ScoreDocument doc;
  doc.CurrentTool = 1;
  const QImage plain = Render(doc, 0);
  EXPECT_EQ(Render(doc, 0, 2147483647, 128, 1), plain);
  EXPECT_EQ(Render(doc, 0, -2147483647, -2147483647, 1), plain);
  EXPECT_EQ(Render(doc, 0, 20, 20, 0), plain);   // band, no tool icon for tool 0
  EXPECT_EQ(Render(doc, 0, 20, 20, 18), plain);  // nor for a number past the eraser
}

// --- running figure ---------------------------------------------------------------------------

TEST(RunningFigure, AlternatesFramesAndBobsByAPixel) {
  const auto& frames = assets::KestuImages();
  ASSERT_NE(frames[0], frames[1]);
  ScoreDocument doc;
  struct Case {
    int step, scroll, x, frame, y;
  } cases[] = {{3, 0, 98, 1, 10}, {4, 0, 114, 0, 11}, {2, 0, 82, 0, 11}, {1000, 15900, 150, 0, 11},
               {1001, 15916, 150, 1, 10}};
  for (const Case& c : cases) {
    const QImage view = RenderScore(doc, {.scroll = c.scroll, .playing = true, .playStep = c.step});
    SCOPED_TRACE("PlayStep " + std::to_string(c.step));
    EXPECT_GT(ExpectIconAt(view, frames[c.frame], c.x, c.y), 0);
    const Placed figure{&frames[c.frame], c.x, c.y};
    ExpectOnlyThese(view, Render(doc, c.scroll), {figure});
  }
}

TEST(RunningFigure, IsDrawnOverTheGhost) {
  ScoreDocument doc;
  // The figure at (114, 11).
  const QImage view = RenderScore(doc, {.playing = true, .playStep = 4, .x = 120, .y = 20, .tool = 5});
  EXPECT_GT(ExpectIconAt(view, assets::KestuImages()[0], 114, 11), 0);
}

}  // namespace
}  // namespace kestu::test
