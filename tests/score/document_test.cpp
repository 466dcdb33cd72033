#include "score/document.h"

#include <gtest/gtest.h>

namespace kestu::test {
namespace {

int CountCells(const ScoreDocument& doc, int column) {
  int n = 0;
  for (int r = 1; r <= kRows; ++r) n += doc.Cell(r, column) != 0;
  return n;
}

TEST(PlaceNote, AddsReplacesAndKeepsTheColumnLimit) {
  ScoreDocument doc;
  doc.PlaceNote(2, 5, 3);
  EXPECT_EQ(doc.Cell(2, 5), 3);
  EXPECT_EQ(doc.NoteCount(5), 1);
  EXPECT_TRUE(doc.Modified);

  doc.PlaceNote(4, 5, 1);
  doc.PlaceNote(13, 5, 15);
  ASSERT_EQ(doc.NoteCount(5), 3);

  doc.Modified = false;
  doc.PlaceNote(7, 5, 2);  // a fourth note into an empty cell: nothing
  EXPECT_EQ(doc.Cell(7, 5), 0);
  EXPECT_EQ(doc.NoteCount(5), 3);
  EXPECT_FALSE(doc.Modified);

  doc.PlaceNote(4, 5, 9);  // replacing one of the three
  EXPECT_EQ(doc.Cell(4, 5), 9);
  EXPECT_EQ(doc.NoteCount(5), 3);
  EXPECT_TRUE(doc.Modified);
  EXPECT_EQ(CountCells(doc, 5), 3);
}

TEST(PlaceNote, SameInstrumentLeavesModifiedAlone) {
  ScoreDocument doc;
  doc.PlaceNote(1, 1, 5);
  doc.Modified = false;
  doc.PlaceNote(1, 1, 5);
  EXPECT_FALSE(doc.Modified);
  EXPECT_EQ(doc.NoteCount(1), 1);
}

TEST(PlaceNote, NothingAtOrAfterTheEndMarkOrOutsideTheGrid) {
  ScoreDocument doc;
  doc.MoveEndMark(10);
  doc.Modified = false;
  for (int column : {10, 11, 960, 961, 962, 0, -3}) {
    doc.PlaceNote(3, column, 1);
    EXPECT_FALSE(doc.Modified) << column;
  }
  doc.PlaceNote(0, 5, 1);
  doc.PlaceNote(14, 5, 1);
  EXPECT_FALSE(doc.Modified);
  doc.PlaceNote(3, 9, 1);
  EXPECT_TRUE(doc.Modified);
}

TEST(MoveEndMark, AlwaysModifiesAndClampsAbove961) {
  ScoreDocument doc;
  doc.MoveEndMark(961);  // where it already stands
  EXPECT_TRUE(doc.Modified);
  doc.MoveEndMark(962);
  EXPECT_EQ(doc.EndColumn(), 961);
  doc.MoveEndMark(1);
  EXPECT_EQ(doc.EndColumn(), 1);
}

TEST(EraseNote, HiddenNotesStayUntilTheEndMarkMovesRight) {
  ScoreDocument doc;
  doc.PlaceNote(6, 20, 4);
  doc.MoveEndMark(20);
  doc.Modified = false;
  doc.EraseNote(6, 20);
  EXPECT_EQ(doc.Cell(6, 20), 4);
  EXPECT_FALSE(doc.Modified);

  doc.MoveEndMark(21);
  doc.Modified = false;
  doc.EraseNote(6, 20);
  EXPECT_EQ(doc.Cell(6, 20), 0);
  EXPECT_EQ(doc.NoteCount(20), 0);
  EXPECT_TRUE(doc.Modified);

  doc.Modified = false;
  doc.EraseNote(6, 20);  // empty cell
  EXPECT_FALSE(doc.Modified);
  EXPECT_EQ(doc.NoteCount(20), 0);
}

TEST(Tempo, ClampsAndCountsAsAChangeOnlyWhenThePositionMoves) {
  ScoreDocument doc;
  int handlerRuns = 0;
  doc.onTempoChange = [&] { ++handlerRuns; };
  doc.SetTempo(250);
  EXPECT_EQ(handlerRuns, 0);
  EXPECT_FALSE(doc.Modified);
  doc.SetTempo(50);
  EXPECT_EQ(doc.Tempo(), 100);
  EXPECT_EQ(handlerRuns, 1);
  EXPECT_TRUE(doc.Modified);
  doc.SetTempo(99);  // clamps to the same position
  EXPECT_EQ(handlerRuns, 1);
  doc.SetTempo(99999);
  EXPECT_EQ(doc.Tempo(), 1500);
  EXPECT_EQ(handlerRuns, 2);
}

TEST(ResetToNew, KeepsLoopAndTimeSignature) {
  ScoreDocument doc;
  doc.SetLoop(true);
  doc.SetTime44(false);
  doc.PlaceNote(1, 1, 1);
  doc.MoveEndMark(30);
  doc.SetTempo(700);
  doc.CurrentFileName = "a.ksq";
  doc.ResetToNew();
  EXPECT_TRUE(doc.Loop());
  EXPECT_FALSE(doc.Time44());
  EXPECT_EQ(doc.EndColumn(), 961);
  EXPECT_EQ(doc.Tempo(), 250);
  EXPECT_EQ(doc.Cell(1, 1), 0);
  EXPECT_EQ(doc.NoteCount(1), 0);
  EXPECT_EQ(doc.CurrentFileName, "無題");
  EXPECT_FALSE(doc.Modified);
}

TEST(Switches, SetFromCodeNotifyWithoutModifying) {
  ScoreDocument doc;
  int notified = 0;
  doc.onSwitchesSet = [&] { ++notified; };
  doc.SetLoop(true);
  doc.SetTime44(false);
  EXPECT_EQ(notified, 2);
  EXPECT_FALSE(doc.Modified);
}

}  // namespace
}  // namespace kestu::test
