// Stamped channel calls land on the frame their time gives, whatever the output's callbacks do:
// a made-up stream of blocks, its callbacks read on a clock with jitter, a stall and a jump, feeds
// the same clock model as a device output and renders through the offline output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "sound/ddsd.h"
#include "sound/dsound/master_stage.h"
#include "sound/output/clock_model.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

constexpr std::uint32_t kRate = 23160;
constexpr std::uint32_t kBlock = 128;
constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kStartNs = 5'000 * kMs;  // an arbitrary steady_clock time

// A stream whose n-th block is truly due at start + n blocks (moved by `shiftNs_` after a jump),
// with its callbacks read `jitter` off that.
class MadeUpStream {
 public:
  explicit MadeUpStream(OfflineOutput& output) : output_(output) { clock_.Start(kRate, kBlock); }

  std::int64_t TrueTimeOfFrame(std::uint64_t frame) const {
    return kStartNs + shiftNs_ + static_cast<std::int64_t>(std::llround(frame * 1e9 / kRate));
  }
  // The frame whose time holds `ns` on the stream's true line.
  std::int64_t FrameAt(std::int64_t ns) const {
    return static_cast<std::int64_t>(std::floor((ns - kStartNs - shiftNs_) * 1e-9 * kRate));
  }
  // When the next block's callback runs, before any jitter.
  std::int64_t NextBlockNs() const { return TrueTimeOfFrame(left_.size()); }
  std::int64_t LeadNs() const { return clock_.LeadNs(); }
  void Shift(std::int64_t ns) { shiftNs_ += ns; }

  void Render(std::int64_t jitterNs) {
    const BlockTime time = clock_.OnBlock(NextBlockNs() + jitterNs, kBlock);
    std::vector<std::int16_t> stereo(2 * kBlock);
    output_.RenderInto(stereo.data(), kBlock, time);
    for (std::uint32_t i = 0; i < kBlock; ++i) left_.push_back(stereo[2 * i]);
  }

  const std::vector<std::int16_t>& Left() const { return left_; }
  const ClockModel& Clock() const { return clock_; }

 private:
  OfflineOutput& output_;
  ClockModel clock_;
  std::int64_t shiftNs_ = 0;
  std::vector<std::int16_t> left_;
};

// First frames of sounds that follow at least `quiet` silent frames.
std::vector<std::int64_t> Onsets(const std::vector<std::int16_t>& left, std::size_t quiet = 64) {
  std::vector<std::int64_t> onsets;
  std::size_t silent = quiet;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (std::abs(left[i]) > 200) {
      if (silent >= quiet) onsets.push_back(static_cast<std::int64_t>(i));
      silent = 0;
    } else {
      ++silent;
    }
  }
  return onsets;
}

// The offline output, with a server that can go away as a device output's can.
class VanishingOutput : public OfflineOutput {
 public:
  bool IsPulling() const override { return pulling_; }
  void SetPulling(bool pulling) { pulling_ = pulling; }

 private:
  bool pulling_ = true;
};

class TimedCommands : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    device_ = MakeDevice(output_, dsoDebugMessage);
    device_->SetPrimaryFormat(kRate, 16, true);
    // A short flat sound: its first frame is its onset, and it ends long before the next note.
    const std::string path = Write("flat.wav", MonoWave16(kRate, std::vector<std::int16_t>(200, 8000)));
    sample_ = std::make_unique<TDDSDWaveData>(device_.get(), path);
    for (const std::uint32_t channel : {0u, 1u, 2u, 3u, 5u, 6u, 7u}) {
      device_->GetChannel(channel)->setWaveData(sample_.get());
      device_->GetChannel(channel)->SetRateRatio(1.0);
    }
  }
  void TearDown() override {
    sample_.reset();
    device_.reset();
    SoundTest::TearDown();
  }

  // Plays `channel` as a playback tick due at `stampNs` does.
  void PlayStamped(std::uint32_t channel, std::int64_t stampNs) {
    const TimedSoundCalls timed(*device_, stampNs);
    device_->GetChannel(channel)->PlayFromStart();
  }

  VanishingOutput output_;
  std::unique_ptr<TDDSD> device_;
  std::unique_ptr<TDDSDWaveData> sample_;
};

// Notes every 40 ms (a column at the fastest tempo), sent as their tick comes, on a stream whose
// callbacks wake up to 0.4 ms late, once 25 ms late, and which later jumps 20 ms (the output
// stalled between two notes, and its frames are due later from then on).
TEST_F(TimedCommands, EachStampedNoteLandsOnItsFrameThroughJitterAStallAndAJump) {
  MadeUpStream stream(output_);
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

TEST_F(TimedCommands, AStampWhoseFramePassedStartsAtTheNextBlockAndCountsAsLate) {
  MadeUpStream stream(output_);
  for (int i = 0; i < 50; ++i) stream.Render(0);
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
  MadeUpStream stream(output_);
  for (int i = 0; i < 50; ++i) stream.Render(0);
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

TEST_F(TimedCommands, ACallAtOnceAfterAWaitingOneOnTheSameChannelFollowsIt) {
  MadeUpStream stream(output_);
  for (int i = 0; i < 50; ++i) stream.Render(0);
  PlayStamped(7, stream.NextBlockNs());
  device_->GetChannel(7)->Stop();  // at once: the waiting Play must not start after it
  for (int i = 0; i < 20; ++i) stream.Render(0);
  std::uint32_t status = 0;
  device_->GetChannel(7)->Buffer()->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  // At most the fade of the stop sounds, at the first block.
  const std::vector<std::int16_t>& left = stream.Left();
  const std::size_t loud = static_cast<std::size_t>(
      std::count_if(left.begin(), left.end(), [](std::int16_t s) { return std::abs(s) > 200; }));
  EXPECT_LT(loud, 150u);  // the fade lasts 6 ms, 139 frames
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
