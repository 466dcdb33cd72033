// Stamped channel calls land on the frame their time gives, whatever the output's callbacks do:
// a made-up stream of blocks, its callbacks read on a clock with jitter, a stall and a jump, feeds
// the same clock model as a device output and renders through the offline output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "sound/ddsd.h"
#include "sound/mixer/master_stage.h"
#include "sound/mixer/mixer.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/made_up_stream.h"

namespace kestu::test {
namespace {

constexpr std::uint32_t kRate = 23160;
constexpr std::uint32_t kBlock = 128;
constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kStartNs = 5'000 * kMs;  // an arbitrary steady_clock time

// The made-up stream at this suite's rate and block size, run for `settle` blocks woken on time.
class Stream : public MadeUpStream {
 public:
  explicit Stream(OfflineOutput& output, int settle = 0) : MadeUpStream(output, kRate, kBlock, kStartNs) {
    for (int i = 0; i < settle; ++i) Render(0);
  }
};

// The offline output, with a server that can go away as a device output's can.
class VanishingOutput : public OfflineOutput {
 public:
  bool IsPulling() const override { return pulling_; }
  void SetPulling(bool pulling) { pulling_ = pulling; }

 private:
  bool pulling_ = true;
};

class TimedCommands : public OfflineDeviceTest<VanishingOutput> {
 protected:
  void SetUp() override { SetUpFlatNotes({0u, 1u, 2u, 3u, 5u, 6u, 7u}); }
};

// Notes every 40 ms (a column at the fastest tempo), sent as their tick comes, on a stream whose
// callbacks wake up to 0.4 ms late, once 25 ms late, and which later jumps 20 ms (the output
// stalled between two notes, and its frames are due later from then on).
TEST_F(TimedCommands, EachStampedNoteLandsOnItsFrameThroughJitterAStallAndAJump) {
  Stream stream(output_);
  std::mt19937 random(7);
  std::uniform_int_distribution<std::int64_t> wake(0, 400'000);
  for (int i = 0; i < 400; ++i) stream.Render(wake(random));  // the clock model settles

  constexpr int kNotes = 60;
  constexpr int kStallNote = 20;
  constexpr int kJumpNote = 40;  // the first note after the jump
  const std::int64_t firstStamp = stream.NextBlockNs() + 10 * kMs;
  const auto stampOf = [&](int note) { return firstStamp + note * 40 * kMs; };
  std::vector<std::int64_t> expected;
  int sent = 0;
  bool stalled = false;
  bool jumped = false;
  while (sent < kNotes || stream.Left().size() < static_cast<std::size_t>(expected.back() + 2000)) {
    const std::int64_t now = stream.NextBlockNs();
    // Once the last note before it has sounded, well before the next one is due.
    if (!jumped && sent == kJumpNote && now >= stampOf(sent - 1) + stream.LeadNs() + 6 * kMs) {
      stream.Shift(20 * kMs);
      jumped = true;
    }
    // The GUI thread sends each note as its tick comes.
    for (; sent < kNotes && stampOf(sent) <= now && (sent != kJumpNote || jumped); ++sent) {
      PlayStamped(1 + sent % 3, stampOf(sent));
      expected.push_back(stream.FrameAt(stampOf(sent) + stream.LeadNs()));
    }
    std::int64_t jitter = wake(random);
    if (sent == kStallNote && !stalled) {
      jitter = 25 * kMs;
      stalled = true;
    }
    stream.Render(jitter);
  }

  const std::vector<std::int64_t> onsets = Onsets(stream.Left());
  ASSERT_EQ(onsets.size(), expected.size());
  // The callbacks wake 0.2 ms late on average: a constant the loop rightly keeps.
  std::vector<std::int64_t> offsets;
  for (int i = 0; i < kStallNote; ++i) offsets.push_back(onsets[i] - expected[i]);
  std::nth_element(offsets.begin(), offsets.begin() + kStallNote / 2, offsets.end());
  const std::int64_t offset = offsets[kStallNote / 2];
  EXPECT_NEAR(offset, -0.2e-3 * kRate, 0.1e-3 * kRate);
  for (int i = 0; i < kNotes; ++i) {
    // A frame of rounding either way, and a frame of the loop's own noise. After the jump the
    // loop seats itself on two jittered readings and settles again.
    const double tolerance = i >= kJumpNote && i < kJumpNote + 20 ? 0.5e-3 * kRate : 2.0;
    EXPECT_NEAR(onsets[i], expected[i] + offset, tolerance) << "note " << i;
  }
  for (int i = 1; i < kNotes; ++i) {
    if (i >= kJumpNote && i < kJumpNote + 20) continue;
    EXPECT_NEAR(onsets[i] - onsets[i - 1], 40e-3 * kRate, 2.5) << "between notes " << i - 1 << " and " << i;
  }
  EXPECT_EQ(device_->LateStarts(), 0u);
  EXPECT_EQ(stream.Clock().Reseats(), 1u);
}

// The stream ran dry (as PulseAudio reports it) and the loop seats itself on the first reading
// after it. That reading may be stale: read while the server refills, or by a callback woken late.
// The notes right after it still land on their frames.
TEST_F(TimedCommands, NotesRightAfterARunDryLandOnTheirFramesWhateverTheFirstReadingSaid) {
  struct Case {
    const char* name;
    std::int64_t firstReadingOffNs;
  };
  const Case cases[] = {
      {"read 4 ms late", 4 * kMs},
      {"read 8 ms late", 8 * kMs},
      {"read 3 ms early", -3 * kMs},
  };
  std::int64_t startNs = kStartNs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MadeUpStream stream(output_, kRate, kBlock, startNs);
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int64_t> wake(0, 400'000);
    for (int i = 0; i < 400; ++i) stream.Render(wake(random));
    stream.Shift(15 * kMs);  // the sink played silence meanwhile
    stream.Reseat();
    stream.Render(0, c.firstReadingOffNs);
    const std::uint64_t lateBefore = device_->LateStarts();
    const std::size_t heardBefore = Onsets(stream.Left()).size();

    const std::vector<std::int64_t> expected =
        PlayTicks(stream, stream.NextBlockNs() + 10 * kMs, 10, [&] { return wake(random); },
                  [&](std::int64_t stamp) { return stream.FrameAt(stamp + stream.LeadNs()); });
    // The callbacks wake up to 0.4 ms late, and the loop keeps what they read.
    ASSERT_NO_FATAL_FAILURE(ExpectOnsetsAt(stream.Left(), heardBefore, expected, 0.5e-3 * kRate));
    EXPECT_EQ(device_->LateStarts(), lateBefore);
    startNs = stream.NextBlockNs() + 1000 * kMs;
  }
}

TEST_F(TimedCommands, AStampWhoseFramePassedStartsAtTheNextBlockAndCountsAsLate) {
  Stream stream(output_, 50);
  const std::size_t blockStart = stream.Left().size();
  PlayStamped(5, stream.NextBlockNs() - stream.LeadNs() - 20 * kMs);
  stream.Render(0);
  const std::vector<std::int64_t> onsets = Onsets(stream.Left());
  ASSERT_EQ(onsets.size(), 1u);
  // Started with the block, heard the master stage's look-ahead later.
  EXPECT_EQ(onsets[0], static_cast<std::int64_t>(blockStart + output_.LatencyFrames()));
  EXPECT_EQ(device_->LateStarts(), 1u);
}

TEST_F(TimedCommands, APreviewStartsWithTheNextBlockAndStampsWaitBlocksAhead) {
  Stream stream(output_, 50);
  const std::int64_t stamp = stream.NextBlockNs() + 2 * kMs;
  PlayStamped(6, stamp);
  const std::size_t previewFrame = stream.Left().size();
  device_->GetChannel(0)->PlayFromStart();  // no stamp: at once
  // The stamped note waits through several blocks, each rendered on its own.
  const std::int64_t due = stream.FrameAt(stamp + stream.LeadNs());
  ASSERT_GT(due, static_cast<std::int64_t>(previewFrame + 3 * kBlock));
  while (stream.Left().size() < static_cast<std::size_t>(due) + 1000) stream.Render(0);

  const std::vector<std::int64_t> onsets = Onsets(stream.Left());
  ASSERT_EQ(onsets.size(), 2u);
  EXPECT_EQ(onsets[0], static_cast<std::int64_t>(previewFrame + output_.LatencyFrames()));
  EXPECT_NEAR(onsets[1], due, 1);  // a stamped note is mixed that much ahead and heard on time
  EXPECT_EQ(device_->LateStarts(), 0u);
}

// Play's stop of both banks comes within the lead after a tick: the tick's start on that channel
// is neither pulled forward into a fragment nor played after the stop; another channel's waits.
TEST_F(TimedCommands, ACallAtOnceSupersedesWhatItsChannelHadWaitingAndPullsNothingForward) {
  Stream stream(output_, 50);
  const std::size_t sent = stream.Left().size();
  const std::int64_t stamp = stream.NextBlockNs() + 2 * kMs;
  PlayStamped(7, stamp);
  PlayStamped(6, stamp);
  device_->GetChannel(7)->Stop();  // at once
  const std::int64_t due = stream.FrameAt(stamp + stream.LeadNs());
  while (stream.Left().size() < static_cast<std::size_t>(due) + 2000) stream.Render(0);
  std::uint32_t status = 0;
  device_->GetChannel(7)->Buffer()->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  const std::vector<std::int16_t>& left = stream.Left();
  EXPECT_TRUE(std::all_of(left.begin() + static_cast<std::ptrdiff_t>(sent), left.begin() + due,
                          [](std::int16_t s) { return s == 0; }))
      << "nothing sounds before the stamped note's frame";
  ASSERT_NO_FATAL_FAILURE(ExpectOnsetsAt(left, 0, {due}, 1));
  // Channel 6's note alone: 200 frames.
  EXPECT_LT(std::count_if(left.begin(), left.end(), [](std::int16_t s) { return std::abs(s) > 200; }), 260);
}

// Stop, a tempo change or the loop's wrap takes back what a tick sent for later: the starts after
// the cut never sound, while a sample let go of after it rings out until its channel is next used.
TEST_F(TimedCommands, AWithdrawTakesBackTheStartsAfterItsTimeAndLetsAReleasedSoundRingOut) {
  const std::string path = Write("long.wav", MonoWave16(kRate, FlatNote(4000)));
  TDDSDWaveData longSample(device_.get(), path);
  // Left alone, the first note rings out whole; a stop of its channel (as the next Play sends)
  // still cuts it, as it would have had the re-attach never been sent.
  Stream stream(output_, 50);
  for (const bool stoppedAfter : {false, true}) {
    const std::size_t from = stream.Left().size();
    const std::int64_t first = stream.NextBlockNs() + 10 * kMs;
    const std::int64_t second = first + 40 * kMs;
    {
      const TimedSoundCalls timed(*device_, first);
      device_->GetChannel(1)->setWaveData(&longSample);
      device_->GetChannel(1)->PlayFromStart();
    }
    {
      // The next column of the same bank: channel 1 re-attached, the other bank stopped and started.
      const TimedSoundCalls timed(*device_, second);
      device_->GetChannel(1)->setWaveData(&longSample);
      device_->GetChannel(1)->SetRateRatio(1.5);
      device_->GetChannel(5)->Stop();
      device_->GetChannel(1)->PlayFromStart();
      device_->GetChannel(5)->PlayFromStart();
    }
    stream.RenderUntil(first + stream.LeadNs() + 5 * kMs);
    device_->WithdrawCommandsAfter(first);
    stream.RenderUntil(second + stream.LeadNs() + 20 * kMs);
    if (stoppedAfter) device_->GetChannel(1)->Stop();
    stream.RenderUntil(second + stream.LeadNs() + 400 * kMs);

    const std::vector<std::int16_t> left(stream.Left().begin() + static_cast<std::ptrdiff_t>(from), stream.Left().end());
    const std::vector<std::int64_t> onsets = Onsets(left);
    ASSERT_EQ(onsets.size(), 1u);
    EXPECT_NEAR(onsets[0] + static_cast<std::int64_t>(from), stream.FrameAt(first + stream.LeadNs()), 1);
    // The first note at its own rate, never re-pitched: whole, or up to the stop and its fade.
    const auto loud = std::count_if(left.begin(), left.end(), [](std::int16_t s) { return std::abs(s) > 200; });
    if (stoppedAfter) {
      EXPECT_LT(loud, 2500) << "the stop of its channel cuts it";
    } else {
      EXPECT_NEAR(loud, 4000, 40);
    }
    for (const std::uint32_t channel : {1u, 5u}) {
      std::uint32_t status = 1;
      device_->GetChannel(channel)->Buffer()->GetStatus(&status);
      EXPECT_EQ(status, 0u) << "channel " << channel << " is seen as it really is";
    }
  }
  EXPECT_EQ(device_->LateStarts(), 0u);
  EXPECT_EQ(device_->DroppedStarts(), 0u);
}

// The server pauses (a stopped process, a suspended sink) for a second and a half while ticks
// go on sending a note every 200 ms. When it resumes, the notes whose time has passed are dropped
// and counted, but for one less than 50 ms late: no pile-up, no burst, no loud first note; the
// notes sent after it land on their frames.
TEST_F(TimedCommands, AStalledStreamsBacklogIsDroppedAndCountedNotPlayedInABurst) {
  Stream stream(output_, 400);
  constexpr std::int64_t kSpacing = 200 * kMs;
  constexpr int kNotes = 20;
  const std::int64_t firstStamp = stream.NextBlockNs() + 10 * kMs;
  const std::int64_t pauseAt = firstStamp + 5 * kSpacing + 100 * kMs;  // between two notes
  const std::int64_t resumeAt = pauseAt + 1500 * kMs;
  bool resumed = false;
  std::vector<std::int64_t> expectedAfter;  // the notes sent once the stream runs again
  int sent = 0;
  for (std::int64_t now = firstStamp; sent < kNotes || now < resumeAt + 5000 * kMs; now += kMs) {
    for (; sent < kNotes && firstStamp + sent * kSpacing <= now; ++sent) {
      PlayStamped(1 + sent % 3, firstStamp + sent * kSpacing);
      if (resumed) expectedAfter.push_back(stream.FrameAt(firstStamp + sent * kSpacing + stream.LeadNs()));
    }
    if (now >= pauseAt && now < resumeAt) continue;  // no callback comes
    if (!resumed && now >= resumeAt) {
      stream.Shift(resumeAt - pauseAt);
      resumed = true;
    }
    stream.RenderUntil(now);
  }

  const std::vector<std::int16_t>& left = stream.Left();
  const std::vector<std::int64_t> onsets = Onsets(left);
  const std::uint64_t dropped = device_->DroppedStarts();
  EXPECT_EQ(onsets.size() + dropped, static_cast<std::size_t>(kNotes));
  EXPECT_GE(dropped, 6u);  // the 7 or 8 of the paused 1.5 s, but for at most one
  EXPECT_LE(dropped, 8u);
  const auto spacingFrames = static_cast<std::int64_t>(200e-3 * kRate);
  // The pause itself is no frames of the stream: the pair around it is a pause apart.
  const std::int64_t resumeFrame = stream.FrameAt(resumeAt);
  int closer = 0;
  for (std::size_t i = 1; i < onsets.size(); ++i) {
    if (onsets[i - 1] < resumeFrame && onsets[i] >= resumeFrame) continue;
    const std::int64_t gap = onsets[i] - onsets[i - 1];
    if (gap < spacingFrames - 3) ++closer;
    EXPECT_GE(gap, spacingFrames - static_cast<std::int64_t>(50e-3 * kRate)) << "onsets " << i - 1 << " and " << i;
  }
  EXPECT_LE(closer, 1) << "only a note that was late by less than 50 ms comes early on the next";
  ASSERT_GE(onsets.size(), expectedAfter.size());
  ASSERT_GE(expectedAfter.size(), 5u);
  for (std::size_t i = 0; i < expectedAfter.size(); ++i) {
    // The loop seats itself anew on the resumed stream within a frame or two.
    EXPECT_NEAR(onsets[onsets.size() - expectedAfter.size() + i], expectedAfter[i], 2) << i;
  }
  const auto loudest = *std::max_element(left.begin(), left.end());
  EXPECT_LE(loudest, std::lrint(8000 * ds::MasterStage::kHeadroomGain) + 1) << "one note at a time";
}

// Notes sent 200 ms ahead, as the transport voices them. For a tenth of a second the server's
// timing reports are stale, 60 ms off, and the clock model, seeing two readings agree, follows
// them. No note may start before its own time for that: the block asked for is the bound.
TEST_F(TimedCommands, AClockModelMisledByStaleReadingsNeverStartsANoteBeforeItsTime) {
  Stream stream(output_, 400);
  // The lead the notes before the stale reports are placed with; those reports may make it grow.
  const std::int64_t leadBefore = stream.LeadNs();
  constexpr int kNotes = 30;
  const std::int64_t firstStamp = stream.NextBlockNs() + 210 * kMs;
  const std::int64_t staleFrom = firstStamp + 400 * kMs;
  const std::int64_t staleUntil = staleFrom + 110 * kMs;
  int sent = 0;
  std::vector<std::int64_t> stamps;
  for (std::int64_t now = stream.NextBlockNs(); sent < kNotes || now < firstStamp + kNotes * 40 * kMs + 500 * kMs;
       now += kMs) {
    for (; sent < kNotes && firstStamp + sent * 40 * kMs <= now + 200 * kMs; ++sent) {
      stamps.push_back(firstStamp + sent * 40 * kMs);
      PlayStamped(1 + sent % 3, stamps.back());
    }
    while (stream.NextBlockNs() <= now) {
      const std::int64_t at = stream.NextBlockNs();
      stream.Render(0, at >= staleFrom && at < staleUntil ? 60 * kMs : 0);
    }
  }
  const std::vector<std::int64_t> onsets = Onsets(stream.Left());
  ASSERT_EQ(onsets.size(), static_cast<std::size_t>(kNotes));
  for (int i = 0; i < kNotes; ++i) {
    EXPECT_GE(onsets[i], stream.FrameAt(stamps[i] - ds::Mixer::kEarlyToleranceNs) - 1) << "note " << i << " before its time";
    if (stamps[i] + leadBefore < staleFrom - 10 * kMs) {
      EXPECT_NEAR(onsets[i], stream.FrameAt(stamps[i] + leadBefore), 1);
    }
  }
  EXPECT_EQ(device_->DroppedStarts(), 0u);
}

// After a late callback an output asks for a long block at once. Each note in it still starts on
// its own frame: the later part of the block is heard later, so no note there is early.
TEST_F(TimedCommands, NotesInALongBlockKeepTheirFrames) {
  Stream stream(output_, 400);
  const std::int64_t blockNs = stream.NextBlockNs();
  std::vector<std::int64_t> expected;
  for (int i = 0; i < 4; ++i) {
    // Heard 5, 25, 45 and 65 ms into a block of 88 ms.
    const std::int64_t stamp = blockNs + (5 + 20 * i) * kMs - stream.LeadNs();
    PlayStamped(1 + i % 3, stamp);
    expected.push_back(stream.FrameAt(stamp + stream.LeadNs()));
  }
  stream.Render(0, 0, 16 * kBlock);
  for (int i = 0; i < 20; ++i) stream.Render(0);
  ASSERT_NO_FATAL_FAILURE(ExpectOnsetsAt(stream.Left(), 0, expected, 1));
  EXPECT_EQ(device_->LateStarts(), 0u);
}

// A thousand commands wait for 100 ms from now, filling the list; a start for 230 ms from now
// then waits behind them in order, and sounds on its own frame, not at once.
TEST_F(TimedCommands, AFullWaitingListNeverStartsALaterCommandEarly) {
  Stream stream(output_, 50);
  const std::int64_t now = stream.NextBlockNs();
  {
    const TimedSoundCalls timed(*device_, now + 100 * kMs);
    for (std::size_t i = 0; i < ds::Mixer::kWaitingCapacity; ++i) device_->GetChannel(2)->SetRateRatio(1.0);
  }
  PlayStamped(5, now + 230 * kMs);
  stream.RenderUntil(now + 500 * kMs);
  ASSERT_NO_FATAL_FAILURE(ExpectOnsetsAt(stream.Left(), 0, {stream.FrameAt(now + 230 * kMs + stream.LeadNs())}, 1));
  EXPECT_EQ(device_->LateStarts(), 0u);
  EXPECT_EQ(device_->DroppedStarts(), 0u);
}

TEST_F(TimedCommands, AStampFarAheadWaitsAtMostAFewSeconds) {
  Stream stream(output_, 50);
  const std::int64_t now = stream.NextBlockNs();
  PlayStamped(5, now + 3600'000 * kMs);
  stream.RenderUntil(now + 5000 * kMs);
  const std::vector<std::int64_t> onsets = Onsets(stream.Left());
  ASSERT_EQ(onsets.size(), 1u);
  const double after = (onsets[0] - stream.FrameAt(now)) / static_cast<double>(kRate);
  EXPECT_NEAR(after, ds::Mixer::kMaxAheadNs * 1e-9, 0.05);
}

TEST_F(TimedCommands, WithoutTimeStampsTakeEffectAtTheBlocksStart) {
  PlayStamped(2, kStartNs + 777 * kMs);
  const std::vector<std::int16_t> out = output_.Render(kBlock);
  const std::size_t heard = output_.LatencyFrames();
  EXPECT_EQ(out[2 * heard], std::lrint(8000 * ds::MasterStage::kHeadroomGain));
  EXPECT_EQ(device_->LateStarts(), 0u);
}

// The server goes away with commands still on their way to the mixer: a note just sent and a
// sound just let go, whose voice is freed on the close. When an output comes back, the note is
// not heard late and the freed voice is never touched.
TEST_F(TimedCommands, WhatWasOnItsWayWhenTheOutputWentIsNotPlayedWhenItComesBack) {
  output_.Render(256);
  device_->GetChannel(0)->PlayFromStart();
  device_->GetChannel(1)->setWaveData(nullptr);
  output_.SetPulling(false);
  ASSERT_TRUE(device_->RestoreOutput()) << "closes the output that went, then opens it again";
  output_.SetPulling(true);
  const std::vector<std::int16_t> after = output_.Render(2048);
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](std::int16_t s) { return s == 0; }));
}

}  // namespace
}  // namespace kestu::test
