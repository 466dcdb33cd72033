// The transport tick by tick, on a timer with a virtual clock and a view that records what it is
// asked to do. No sound is connected: a voiced column shows as PlayColumn moving on.
#include "playback/transport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tests/playback/playback_fixture.h"

namespace kestu::test {
namespace {

// One voicing seen by the test: the column and the tick and time it sounded at.
struct Voicing {
  std::int32_t column;
  int tick;
  std::int64_t ms;
};

class TransportTicks : public ::testing::Test {
 protected:
  TransportTicks() { transport.SetTimerPeriodFromTempo(doc.Tempo()); }

  // Fires every tick due up to `ms`, noting each voiced column.
  void RunUntil(std::int64_t ms) {
    while (timer.Enabled() && timer.next <= ms) {
      timer.now = timer.next;
      timer.next += timer.Interval();
      ++ticks;
      const std::int32_t before = transport.PlayColumn;
      const std::int32_t stepBefore = transport.PlayStep;
      transport.TimerTimer();
      if (stepBefore % 2 == 0) voiced.push_back({before, ticks, timer.now});
    }
    timer.now = ms;
  }
  void RunTicks(int n) {
    for (int i = 0; i < n && timer.Enabled(); ++i) RunUntil(timer.next);
  }

  ScoreDocument doc;
  FakeTimer timer;
  FakeView view;
  Transport transport{doc, timer, view};
  int ticks = 0;
  std::vector<Voicing> voiced;
};

TEST(TransportInterval, ThirtyThousandOverTheTempoTruncated) {
  const int cases[][2] = {{100, 300}, {250, 120}, {700, 42}, {1000, 30}, {1500, 20}, {0, 30000}};
  for (const auto& c : cases) EXPECT_EQ(Transport::IntervalForTempo(c[0]), c[1]) << c[0];
}

TEST_F(TransportTicks, PlayArmsTheTimerWithoutDrawingAndColumnsSoundEveryTwoIntervals) {
  transport.PlayBtnClick();
  EXPECT_TRUE(transport.Playing);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(view.playFace, kPlayFaceRunning);
  EXPECT_EQ(view.stopFace, kStopFaceIdle);
  EXPECT_EQ(view.plainRenders, 0);

  RunUntil(119);
  EXPECT_EQ(ticks, 0);
  RunUntil(120);
  EXPECT_EQ(ticks, 1);
  EXPECT_TRUE(voiced.empty());  // PlayStep 1 voices nothing
  RunUntil(480);
  ASSERT_EQ(voiced.size(), 2u);
  EXPECT_EQ(voiced[0].column, 1);
  EXPECT_EQ(voiced[0].tick, 2);
  EXPECT_EQ(voiced[0].ms, 240);
  EXPECT_EQ(voiced[1].column, 2);
  EXPECT_EQ(voiced[1].ms, 480);
  EXPECT_EQ(view.plainRenders, 4);
}

TEST_F(TransportTicks, FollowScrollClampsTheEarlyNegativePositions) {
  transport.PlayBtnClick();
  for (int step = 1; step <= 8; ++step) {
    RunTicks(1);
    EXPECT_EQ(view.scroll, std::max(0, step * 16 - 100)) << step;
  }
  EXPECT_EQ(view.redrawsByScroll, 2);  // steps 7 and 8: the first positions inside the range
}

TEST_F(TransportTicks, WithoutLoopTheLastColumnAndTheStopShareATick) {
  transport.PlayBtnClick();
  RunTicks(3000);
  ASSERT_FALSE(voiced.empty());
  EXPECT_EQ(voiced.back().column, 960);
  EXPECT_EQ(voiced.back().tick, 1920);
  EXPECT_EQ(ticks, 1920);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_FALSE(transport.Playing);
  EXPECT_TRUE(view.stopDown);
  EXPECT_EQ(view.playFace, kPlayFaceIdle);
  EXPECT_EQ(view.stopFace, kStopFaceActive);
  EXPECT_EQ(view.scroll, kScrollBarMax);  // 1920 x 16 - 100 lies past the end of the bar
  EXPECT_EQ(transport.PlayColumn, 961);  // kept until the next Play
}

TEST_F(TransportTicks, LoopIsSeamlessWithPeriodTwoIntervalsPerColumn) {
  doc.SetLoop(true);
  doc.MoveEndMark(5);
  transport.PlayBtnClick();
  RunTicks(18);
  std::vector<std::int32_t> columns;
  for (const Voicing& v : voiced) columns.push_back(v.column);
  EXPECT_EQ(columns, (std::vector<std::int32_t>{1, 2, 3, 4, 1, 2, 3, 4, 1}));
  EXPECT_EQ(voiced[4].tick, 10);
  EXPECT_EQ(voiced[4].ms - voiced[0].ms, 2 * 120 * (5 - 1));
  EXPECT_EQ(voiced[3].ms + 240, voiced[4].ms);  // column 1 follows column E-1 after one column
  EXPECT_TRUE(transport.Playing);
}

TEST_F(TransportTicks, EndColumnOneStopsAtOnceOrLoopsSilently) {
  doc.MoveEndMark(1);
  transport.PlayBtnClick();
  RunTicks(5);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(transport.Playing);
  EXPECT_TRUE(view.stopDown);

  doc.SetLoop(true);
  view.stopDown = false;
  transport.PlayBtnClick();
  RunTicks(50);
  EXPECT_EQ(ticks, 51);
  EXPECT_TRUE(voiced.empty());
  EXPECT_TRUE(transport.Playing);
  EXPECT_EQ(transport.PlayStep, 1);
  EXPECT_FALSE(view.stopDown);
  transport.StopBtnClick();
  EXPECT_FALSE(timer.Enabled());
}

TEST_F(TransportTicks, ATempoChangeReArmsOnlyWhenTheIntervalChanges) {
  transport.PlayBtnClick();
  RunUntil(300);  // ticks at 120 and 240; the next is due at 360
  doc.SetTempo(251);  // 30000 / 251 = 119.5: 119 ms
  doc.Modified = false;
  transport.TempoBarChange();
  EXPECT_TRUE(doc.Modified);
  EXPECT_EQ(timer.Interval(), 119);
  EXPECT_EQ(timer.next, 300 + 119);

  RunUntil(350);
  const int sets = timer.intervalSets;
  doc.SetTempo(252);  // 30000 / 252 = 119 as well: the timer is left alone
  doc.Modified = false;
  transport.TempoBarChange();
  EXPECT_TRUE(doc.Modified);
  EXPECT_EQ(timer.intervalSets, sets);
  EXPECT_EQ(timer.next, 300 + 119);
}

TEST_F(TransportTicks, PlayWhilePlayingOnlySetsTheFaces) {
  transport.PlayBtnClick();
  RunTicks(7);
  const std::int64_t next = timer.next;
  view.playFace = view.stopFace = -1;
  transport.PlayBtnClick();
  EXPECT_EQ(view.playFace, kPlayFaceRunning);
  EXPECT_EQ(view.stopFace, kStopFaceIdle);
  EXPECT_EQ(transport.PlayColumn, 4);
  EXPECT_EQ(transport.PlayStep, 8);
  EXPECT_EQ(timer.next, next);
}

TEST_F(TransportTicks, StopKeepsThePositionAndTheNextPlayStartsAtColumnOne) {
  transport.PlayBtnClick();
  RunTicks(9);
  transport.StopBtnClick();
  EXPECT_FALSE(transport.Playing);
  EXPECT_EQ(transport.PlayColumn, 5);
  EXPECT_EQ(transport.PlayStep, 10);
  EXPECT_FALSE(view.stopDown);  // a click has put it down already; the transport does not
  transport.PlayBtnClick();
  EXPECT_EQ(transport.PlayColumn, 1);
  EXPECT_EQ(transport.PlayStep, 1);
}

TEST_F(TransportTicks, LightModeNeitherScrollsNorRedrawsExceptTheLoopRestart) {
  view.light = true;
  view.scroll = 700;
  doc.SetLoop(true);
  doc.MoveEndMark(3);
  transport.PlayBtnClick();
  RunTicks(3);
  EXPECT_EQ(view.scroll, 700);
  EXPECT_EQ(view.plainRenders, 0);
  RunTicks(1);  // tick 4 voices column 2, the last, and restarts
  EXPECT_EQ(view.scroll, 0);
  EXPECT_EQ(view.plainRenders, 0);
  EXPECT_EQ(voiced.size(), 2u);
}

}  // namespace
}  // namespace kestu::test
