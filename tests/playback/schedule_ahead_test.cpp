// The transport on a made-up clock, voicing ahead into the real mixer through the offline output
// driven like a device stream: where each note lands when the window's thread is held up, what
// Stop, a tempo change, the loop's end and the end mark take back, and when the picture moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "playback/transport.h"
#include "sound/ddsd.h"
#include "tests/playback/playback_fixture.h"
#include "tests/support/made_up_stream.h"
#include "tests/support/loaded_device.h"

namespace kestu::test {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::uint32_t kRate = 23160;
constexpr std::uint32_t kBlock = 128;
constexpr std::int64_t kStartNs = 7'000 * kMs;  // an arbitrary steady_clock time

// A picture drawn with the running figure, by time and step.
struct Picture {
  std::int64_t ns;
  std::int32_t step;
};

struct Stall {
  std::int64_t beginNs, endNs;
};

class ScheduleAhead : public SampleFolderTest {
 protected:
  void SetUp() override {
    SampleFolderTest::SetUp();
    timer_.nowNs = kStartNs;
    WriteAllTones(0.02);  // half a column at the fastest tempo: each onset follows silence
    device_ = LoadedDevice(output_, kRate);
    samples_.LoadAll(device_.get());
    tables_.Fill();
    view_.onRenderPlain = [this] { pictures_.push_back({timer_.nowNs, transport_.PlayStep}); };
    transport_.ConnectSound(device_.get(), &samples_, &tables_);
    doc_.SetTempo(1500);  // a column every 40 ms
    transport_.SetTimerPeriodFromTempo(doc_.Tempo());
    for (int c = 1; c <= 60; ++c) doc_.PlaceNote(9, c, 3);
    doc_.MoveEndMark(61);
    stream_.RenderUntil(kStartNs + 500 * kMs);  // the clock model settles and the lead is known
    ASSERT_EQ(device_->StampLeadNs(), stream_.LeadNs());
  }

  void Play() {
    timer_.nowNs = stream_.NextBlockNs() + kMs / 3;
    playNs_ = timer_.nowNs;
    transport_.PlayBtnClick();
  }
  // Plays and runs `ns` on from the Play; returns that time.
  std::int64_t PlayFor(std::int64_t ns) {
    Play();
    RunUntil(playNs_ + ns);
    return playNs_ + ns;
  }
  // Time runs to `untilNs` in steps of a tenth of a millisecond: the stream renders its blocks as
  // they come, and the window's thread handles each wake as it comes, unless it is stalled.
  void RunUntil(std::int64_t untilNs, const std::vector<Stall>& stalls = {}) {
    for (; timer_.nowNs <= untilNs; timer_.nowNs += kMs / 10) {
      stream_.RenderUntil(timer_.nowNs);
      const bool stalled = std::any_of(stalls.begin(), stalls.end(), [&](const Stall& s) {
        return timer_.nowNs >= s.beginNs && timer_.nowNs < s.endNs;
      });
      if (!stalled && timer_.Enabled() && timer_.wake <= timer_.nowNs) transport_.TimerTimer();
    }
  }
  // When column c's tick is due at tempo 1500 (tick 2c, 20 ms apart) and on which frame it sounds.
  std::int64_t DueOfColumn(int column) const { return playNs_ + 2 * column * 20 * kMs; }
  std::int64_t FrameOf(std::int64_t dueNs) const { return stream_.FrameAt(dueNs + stream_.LeadNs()); }
  std::vector<std::int64_t> Heard() const { return Onsets(stream_.Left()); }
  // The onsets at or after the stream's frame for `fromNs`.
  std::vector<std::int64_t> HeardFrom(std::int64_t fromNs) const {
    std::vector<std::int64_t> all = Heard();
    const std::int64_t from = stream_.FrameAt(fromNs);
    all.erase(all.begin(), std::lower_bound(all.begin(), all.end(), from));
    return all;
  }

  OfflineOutput output_;
  MadeUpStream stream_{output_, kRate, kBlock, kStartNs};
  std::unique_ptr<TDDSD> device_;
  SampleBank samples_;
  PitchTables tables_;
  ScoreDocument doc_;
  FakeTimer timer_;
  std::vector<Picture> pictures_;
  FakeView view_;
  Transport transport_{doc_, timer_, view_};
  std::int64_t playNs_ = 0;
};

class StalledThread : public ScheduleAhead, public ::testing::WithParamInterface<int> {};

// The window's thread is held up once, mid-song, for 30, 100, 150 or 500 ms, and handles the
// tick it owes late. Up to the window every note keeps its frame; beyond it the song moves on
// later once: no note is lost, none comes early, none bunches up.
TEST_P(StalledThread, NotesKeepTheirFramesUpToTheWindowAndShiftOnceBeyond) {
  const std::int64_t stallNs = GetParam() * kMs;
  Play();
  const std::int64_t stallAt = playNs_ + 1003 * kMs;
  RunUntil(playNs_ + 3500 * kMs, {{stallAt, stallAt + stallNs}});

  const std::vector<std::int64_t> heard = Heard();
  ASSERT_EQ(heard.size(), 60u) << "every column sounds once";
  const auto columnFrames = static_cast<std::int64_t>(40e-3 * kRate);
  std::int64_t shift = 0;
  for (int c = 1; c <= 60; ++c) {
    const std::int64_t off = heard[c - 1] - FrameOf(DueOfColumn(c));
    if (shift == 0 && std::abs(off) > 1) shift = off;  // from here on the song is that much later
    EXPECT_NEAR(off, shift, 1) << "column " << c;
    if (c > 1) {
      EXPECT_GE(heard[c - 1] - heard[c - 2], columnFrames - 1) << "no burst at column " << c;
    }
  }
  if (stallNs < kScheduleAheadNs) {
    EXPECT_EQ(shift, 0) << "inaudible";
  } else {
    // Once, by what the stall outlasted the window, give or take a column.
    EXPECT_GE(shift, static_cast<std::int64_t>((stallNs - kScheduleAheadNs - 40 * kMs) * 1e-9 * kRate));
    EXPECT_LE(shift, static_cast<std::int64_t>((stallNs - kScheduleAheadNs + 40 * kMs) * 1e-9 * kRate));
  }
  EXPECT_EQ(device_->LateStarts(), 0u);
  EXPECT_EQ(device_->DroppedStarts(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Milliseconds, StalledThread, ::testing::Values(30, 100, 150, 500));

// The picture moves as the sound is heard: each tick is drawn at its due time plus the output's
// lead, not when it was voiced.
TEST_F(ScheduleAhead, ThePictureShowsEachTickAsItIsHeard) {
  PlayFor(1000 * kMs);
  ASSERT_GE(pictures_.size(), 45u);
  for (const Picture& p : pictures_) {
    const std::int64_t heard = playNs_ + p.step * 20 * kMs + stream_.LeadNs();
    EXPECT_GE(p.ns, heard) << "step " << p.step;
    EXPECT_LT(p.ns, heard + kMs / 5) << "step " << p.step;
  }
  EXPECT_EQ(pictures_.front().step, 1);
  EXPECT_EQ(pictures_.back().step, transport_.PlayStep - 1);
}

TEST_F(ScheduleAhead, StopTakesBackWhatWasVoicedForLater) {
  const std::int64_t stopAt = PlayFor(515 * kMs);
  const std::int32_t shownStep = transport_.PlayStep;
  transport_.StopBtnClick();
  RunUntil(stopAt + 1000 * kMs);
  // What was heard by the Stop, and at most the frames the mixer had rendered ahead of it.
  const std::vector<std::int64_t> heard = Heard();
  ASSERT_FALSE(heard.empty());
  EXPECT_LE(heard.back(), stream_.FrameAt(stopAt) + static_cast<std::int64_t>(kBlock));
  EXPECT_EQ(heard.size(), 12u);  // columns 1..12, due by 480 ms: heard by 499 ms
  EXPECT_EQ(transport_.PlayStep, shownStep);
  EXPECT_FALSE(transport_.Playing);
}

// At tempo 1500 ticks come every 20 ms; at 515 ms the tempo becomes 750 (40 ms). The ticks voiced
// for after the change go back, and the next one comes one new interval after the change.
TEST_F(ScheduleAhead, ATempoChangeTakesBackWhatWasVoicedAndReArmsFromTheChange) {
  const std::int64_t changeAt = PlayFor(515 * kMs);
  const std::int64_t changedNs = timer_.nowNs;
  doc_.SetTempo(750);
  transport_.TempoBarChange();
  RunUntil(changeAt + 2000 * kMs);
  // Tick 25, due at 500 ms, is the last one kept.
  std::vector<std::int64_t> expected;
  for (int c = 1; c <= 60; ++c) {
    const int tick = 2 * c;
    const std::int64_t due = tick <= 25 ? playNs_ + tick * 20 * kMs : changedNs + (tick - 25) * 40 * kMs;
    if (due + stream_.LeadNs() < changeAt + 2000 * kMs - 5 * kMs) expected.push_back(FrameOf(due));
  }
  const std::vector<std::int64_t> heard = Heard();
  ASSERT_EQ(heard.size(), expected.size());
  for (std::size_t i = 0; i < heard.size(); ++i) EXPECT_NEAR(heard[i], expected[i], 1) << "column " << i + 1;
}

// Loop on, end mark 5: the wrap is voiced up to a window before it is heard. The loop switch goes
// off in between: what was voiced after the end goes back and playback stops as the end is heard.
// The other way round, playback goes on from column 1 without a gap.
TEST_F(ScheduleAhead, TheLoopSwitchIsReadAsTheEndIsHeard) {
  doc_.MoveEndMark(5);
  for (const bool loopAtFirst : {true, false}) {
    doc_.SetLoop(loopAtFirst);
    view_.stopDown = false;
    PlayFor(100 * kMs);  // column 4 and the end, at 160 ms, are voiced, not heard
    doc_.SetLoop(!loopAtFirst);
    RunUntil(playNs_ + 160 * kMs + stream_.LeadNs() - kMs);
    EXPECT_TRUE(transport_.Playing) << "the end is not heard yet";
    RunUntil(playNs_ + 1000 * kMs);
    const std::vector<std::int64_t> heard = HeardFrom(playNs_);
    if (loopAtFirst) {
      EXPECT_FALSE(transport_.Playing);
      EXPECT_TRUE(view_.stopDown);
      EXPECT_EQ(transport_.PlayColumn, 5) << "as the end without loop leaves it";
      EXPECT_EQ(transport_.PlayStep, 9);
      ASSERT_EQ(heard.size(), 4u) << "columns 1..4, then nothing";
    } else {
      EXPECT_TRUE(transport_.Playing);
      // Columns 1..4 every 40 ms, the wrap tick, and on round and round.
      ASSERT_GE(heard.size(), 20u);
      for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_NEAR(heard[i], FrameOf(playNs_ + 40 * kMs * static_cast<std::int64_t>(i + 1)), 1) << "note " << i;
      }
      transport_.StopBtnClick();
      RunUntil(timer_.nowNs + 500 * kMs);
    }
  }
}

// The end mark without loop: the stop comes as the last column is heard, not as it is voiced,
// and nothing was voiced beyond it.
TEST_F(ScheduleAhead, TheEndMarkStopsAsTheLastColumnIsHeard) {
  doc_.MoveEndMark(5);
  PlayFor(160 * kMs + stream_.LeadNs() - kMs);
  EXPECT_TRUE(transport_.Playing);
  EXPECT_EQ(transport_.PlayColumn, 4);
  RunUntil(playNs_ + 160 * kMs + stream_.LeadNs() + kMs);
  EXPECT_FALSE(transport_.Playing);
  EXPECT_TRUE(view_.stopDown);
  EXPECT_EQ(transport_.PlayColumn, 5);
  RunUntil(playNs_ + 1000 * kMs);
  EXPECT_EQ(Heard().size(), 4u);
}

}  // namespace
}  // namespace kestu::test
