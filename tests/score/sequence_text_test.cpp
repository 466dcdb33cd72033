#include "score/sequence_text.h"

#include <gtest/gtest.h>

#include "score/errors.h"
#include "tests/support/score_texts.h"
#include "tests/support/thrown.h"

namespace kestu::test {
namespace {

struct Reader {
  ScoreDocument doc;
  std::vector<std::string> shown;
  ReadResult Read(const std::string& text) {
    return ReadSequenceText(doc, text, [&](const std::string& m) { shown.push_back(m); });
  }
};

TEST(WriteSequenceText, NewDocument) {
  ScoreDocument doc;
  EXPECT_EQ(WriteSequenceText(doc), SequenceText(EmptyScore()));
}

TEST(WriteSequenceText, ColumnGroupsPadFirstThenPairsByRow) {
  ScoreDocument doc;
  doc.PlaceNote(11, 1, 12);
  doc.PlaceNote(2, 1, 3);
  doc.PlaceNote(13, 2, 10);
  doc.PlaceNote(1, 2, 15);
  doc.PlaceNote(5, 2, 1);
  doc.SetTempo(1500);
  doc.SetLoop(true);
  doc.MoveEndMark(500);
  doc.SetTime44(false);
  const std::string expected = "SCORE=023BC1F51DA" + std::string(2880 - 6, '0') +
                               "\r\nTEMPO=1500\r\nLOOP=TRUE\r\nEND=500\r\nTIME44=FALSE\r\n";
  EXPECT_EQ(WriteSequenceText(doc), expected);
}

TEST(ReadSequenceText, RoundTripsABusyDocument) {
  ScoreDocument doc;
  for (int c = 1; c <= kColumns; ++c) {
    for (int k = 0; k < (c % 4); ++k) doc.PlaceNote(1 + (c * 7 + k * 5) % 13, c, 1 + (c + k) % 15);
  }
  doc.MoveEndMark(777);
  doc.SetTempo(333);
  doc.SetLoop(true);
  const std::string text = WriteSequenceText(doc);

  Reader r;
  EXPECT_EQ(r.Read(text), ReadResult::Loaded);
  EXPECT_TRUE(r.shown.empty());
  EXPECT_FALSE(r.doc.Modified);
  EXPECT_EQ(WriteSequenceText(r.doc), text);
  for (int c = 1; c <= kColumns; ++c) ASSERT_EQ(r.doc.NoteCount(c), doc.NoteCount(c)) << c;
}

TEST(ReadSequenceText, SettingsFollowTheirValues) {
  struct Case {
    std::string tempo, loop, end, time44;
    int32_t wantTempo;
    bool wantLoop;
    int32_t wantEnd;
    bool wantTime44;
  };
  const Case cases[] = {
      {"250", "FALSE", "961", "TRUE", 250, false, 961, true},
      {"50", "false", "0", "FALSE", 100, true, 961, false},
      {"99999", "", "-5", "false", 1500, true, 961, true},
      {"$FA", "0", "2000", "", 250, true, 961, true},
      {" 250", "TRUE", "500", "TRUE", 250, true, 500, true},
      {"0x3E8", "FALSE ", "1", "FALSE", 1000, true, 1, false},
  };
  for (const Case& c : cases) {
    Reader r;
    EXPECT_EQ(r.Read(SequenceText(EmptyScore(), c.tempo, c.loop, c.end, c.time44)), ReadResult::Loaded);
    EXPECT_EQ(r.doc.Tempo(), c.wantTempo) << c.tempo;
    EXPECT_EQ(r.doc.Loop(), c.wantLoop) << c.loop;
    EXPECT_EQ(r.doc.EndColumn(), c.wantEnd) << c.end;
    EXPECT_EQ(r.doc.Time44(), c.wantTime44) << c.time44;
    EXPECT_FALSE(r.doc.Modified);
  }
}

TEST(ReadSequenceText, KeysAnyCaseAnyOrderLineEndsOfAllKinds) {
  const std::string lf = "tempo=300\nscore=" + EmptyScore() + "\nLoop=FALSE\nEnd=42\nTime44=FALSE\n";
  std::string cr = lf;
  for (char& ch : cr) ch = ch == '\n' ? '\r' : ch;
  for (const std::string& text : {lf, cr}) {
    Reader r;
    EXPECT_EQ(r.Read(text), ReadResult::Loaded);
    EXPECT_EQ(r.doc.Tempo(), 300);
    EXPECT_FALSE(r.doc.Loop());
    EXPECT_EQ(r.doc.EndColumn(), 42);
    EXPECT_FALSE(r.doc.Time44());
  }
}

TEST(ReadSequenceText, SlotOrderDoesNotMatterAndExtraCharactersAreIgnored) {
  Reader a, b;
  ASSERT_EQ(a.Read(SequenceText(ScoreStartingWith("0015"))), ReadResult::Loaded);
  ASSERT_EQ(b.Read(SequenceText("1500" + std::string(2877, '0') + "ZZZ")), ReadResult::Loaded);
  EXPECT_EQ(a.doc.Cell(1, 1), 5);
  EXPECT_EQ(WriteSequenceText(a.doc), WriteSequenceText(b.doc));
}

TEST(ReadSequenceText, BadScoresAreRefused) {
  const std::string bad[] = {
      ScoreStartingWith("1a0"),         // lower-case instrument digit
      ScoreStartingWith("E10"),         // row 14
      ScoreStartingWith("F10"),         // row 15
      ScoreStartingWith("a10"),         // lower-case row digit
      ScoreStartingWith("1000"),        // instrument "0"
      ScoreStartingWith("15150"),       // row 1 twice in one column
      ScoreStartingWith(" 15"),         // any other sign
      std::string(2879, '0'),           // one character short
      std::string(2877, '0') + "001",   // the last pair cut off by the end
      "",
  };
  for (const std::string& score : bad) {
    Reader r;
    r.doc.Modified = true;
    EXPECT_EQ(r.Read(SequenceText(score, "300", "TRUE", "40", "FALSE")), ReadResult::BadScore) << score.substr(0, 8);
    EXPECT_EQ(r.shown, std::vector<std::string>{"データが不正です"});
    EXPECT_FALSE(r.doc.Modified);
    // The settings before the score stay as read; the caller makes the document a new one.
    EXPECT_TRUE(r.doc.Loop());
    EXPECT_FALSE(r.doc.Time44());
    EXPECT_EQ(r.doc.EndColumn(), 40);
    for (int c = 1; c <= kColumns; ++c) {
      int cells = 0;
      for (int row = 1; row <= kRows; ++row) cells += r.doc.Cell(row, c) != 0;
      ASSERT_EQ(cells, r.doc.NoteCount(c));
    }
  }
}

TEST(ReadSequenceText, MissingScoreLineIsBadButSettingsAreRead) {
  Reader r;
  EXPECT_EQ(r.Read("TEMPO=250\r\nLOOP=TRUE\r\nEND=961\r\nTIME44=FALSE\r\n"), ReadResult::BadScore);
  EXPECT_TRUE(r.doc.Loop());
  EXPECT_FALSE(r.doc.Time44());
}

TEST(ReadSequenceText, BadTempoChangesNothing) {
  Reader r;
  r.doc.PlaceNote(1, 1, 1);
  r.doc.Modified = false;
  for (const std::string tempo : {"250 ", ""}) {
    EXPECT_THROW(r.Read(SequenceText(EmptyScore(), tempo, "TRUE", "5", "FALSE")), EConvertError);
    EXPECT_EQ(r.doc.Tempo(), 250);
    EXPECT_FALSE(r.doc.Loop());
    EXPECT_EQ(r.doc.EndColumn(), 961);
    EXPECT_EQ(r.doc.Cell(1, 1), 1);
    EXPECT_FALSE(r.doc.Modified);
  }
  // A TEMPO key with a space before its "=" is not the TEMPO key.
  EXPECT_THROW(r.Read("SCORE=" + EmptyScore() + "\r\nTEMPO =250\r\nEND=961\r\n"), EConvertError);
}

TEST(ReadSequenceText, BadEndLeavesTempoAndLoopSet) {
  Reader r;
  r.doc.PlaceNote(1, 1, 1);
  EXPECT_EQ(ThrownMessage<EConvertError>([&r] { r.Read(SequenceText(EmptyScore(), "500", "TRUE", "x", "FALSE")); }),
            "'x' は整数ではありません");
  EXPECT_EQ(r.doc.Tempo(), 500);
  EXPECT_TRUE(r.doc.Loop());
  EXPECT_TRUE(r.doc.Time44());
  EXPECT_EQ(r.doc.Cell(1, 1), 1);
  EXPECT_TRUE(r.doc.Modified);  // the tempo moved
}

TEST(ReadSequenceText, TempoChangeRunsTheBarHandlerOnlyWhenItMoves) {
  Reader r;
  int runs = 0;
  r.doc.onTempoChange = [&] { ++runs; };
  r.Read(SequenceText(EmptyScore(), "250"));
  EXPECT_EQ(runs, 0);
  r.Read(SequenceText(EmptyScore(), "700"));
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace kestu::test
