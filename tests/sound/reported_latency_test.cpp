// The lead follows the latency a server reports once its stream runs: a made-up stream grants a
// short latency when it opens, then hears every block much later than that (a larger quantum, a
// sink far away). The clock model is fed as a device output feeds it, and stamped notes render
// through the offline output.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "sound/ddsd.h"
#include "sound/output/clock_model.h"
#include "sound/wave.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/made_up_stream.h"

namespace kestu::test {
namespace {

constexpr std::uint32_t kRate = 23160;
constexpr std::uint32_t kBlock = 128;  // 5.5 ms
constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kStartNs = 9'000 * kMs;

// Callbacks every block of `blockFrames` (woken up to `jitter` late); each block is heard
// `heardAfterNs` after its callback was due, whatever the stream said when it opened (blocks of
// kBlock frames, heard `grantedNs` after their callback).
class LateStream {
 public:
  // Each stream starts where the one before left off: time only runs forward.
  LateStream(OfflineOutput& output, std::int64_t grantedNs, std::int64_t heardAfterNs, ClockModel::Cycles cycles,
             std::int64_t startNs = kStartNs, std::uint32_t blockFrames = kBlock)
      : output_(output), startNs_(startNs), heardAfterNs_(heardAfterNs), blockFrames_(blockFrames) {
    clock_.Start(kRate, kBlock, grantedNs, cycles);
  }
  std::int64_t NextBlockNs() const { return startNs_ + std::llround(left_.size() * 1e9 / kRate); }
  std::int64_t FrameAt(std::int64_t heardNs) const {
    return static_cast<std::int64_t>(std::floor((heardNs - startNs_ - heardAfterNs_) * 1e-9 * kRate));
  }
  // `spikeNs`: the server's report of this one block is that much too late.
  void Render(std::int64_t jitterNs, std::int64_t spikeNs = 0) {
    const std::int64_t now = NextBlockNs() + jitterNs;
    const BlockTime time = clock_.OnBlock(NextBlockNs() + heardAfterNs_ + spikeNs, blockFrames_, now);
    std::vector<std::int16_t> stereo(2 * blockFrames_);
    output_.RenderInto(stereo.data(), blockFrames_, time);
    for (std::uint32_t i = 0; i < blockFrames_; ++i) left_.push_back(stereo[2 * i]);
  }
  const ClockModel& Clock() const { return clock_; }
  const std::vector<std::int16_t>& Left() const { return left_; }
  // From the next block on, each is heard `ns` after its callback was due.
  void HearAfter(std::int64_t ns) { heardAfterNs_ = ns; }
  // The stream ran dry for `ns`: the sink played silence, and every block from the next on,
  // and its callback, comes that much later.
  void Shift(std::int64_t ns) { startNs_ += ns; }

 private:
  OfflineOutput& output_;
  std::int64_t startNs_;
  std::int64_t heardAfterNs_;
  std::uint32_t blockFrames_;
  ClockModel clock_;
  std::vector<std::int16_t> left_;
};

class ReportedLatency : public OfflineDeviceTest<> {
 protected:
  void SetUp() override { SetUpFlatNotes({1u, 2u, 3u}); }
};

struct Case {
  const char* name;
  ClockModel::Cycles cycles;
  std::int64_t grantedNs;
  std::int64_t heardAfterNs;
  std::uint32_t blockFrames;
};

// Notes every 40 ms, each sent as its tick comes, on streams that report more than they granted.
TEST_F(ReportedLatency, EveryStampedNoteLandsOnItsFrameWhenTheServerKeepsMoreThanItGranted) {
  const Case cases[] = {
      {"a sink further away than granted", ClockModel::Cycles::kRegular, 5 * kMs, 43 * kMs, kBlock},
      {"a quantum four times the one asked for", ClockModel::Cycles::kRegular, 5 * kMs, 22 * kMs, 4 * kBlock},
      {"a sink far away behind a buffered stream", ClockModel::Cycles::kIrregular, 12 * kMs, 160 * kMs, kBlock},
  };
  std::int64_t startNs = kStartNs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LateStream stream(output_, c.grantedNs, c.heardAfterNs, c.cycles, startNs, c.blockFrames);
    const std::int64_t grantedLead = stream.Clock().LeadNs();
    ASSERT_LT(grantedLead, c.heardAfterNs) << "the granted lead alone would make notes late";
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int64_t> wake(0, 400'000);
    for (int i = 0; i < 200; ++i) stream.Render(wake(random));

    // What the lead grew to covers the wait for the blocks as they are and what the server keeps.
    const std::int64_t lead = stream.Clock().LeadNs();
    const double waited = c.cycles == ClockModel::Cycles::kRegular ? 1.0 : 2.0;
    const auto needed = static_cast<std::int64_t>(waited * c.blockFrames * 1e9 / kRate) + c.heardAfterNs;
    EXPECT_GE(lead, needed);
    EXPECT_LE(lead, needed + ClockModel::kLeadMarginNs + kMs) << "grows by what is needed, no more";

    const std::size_t heardBefore = Onsets(stream.Left()).size();
    const std::uint64_t lateBefore = device_->LateStarts();
    const std::vector<std::int64_t> expected =
        PlayTicks(stream, stream.NextBlockNs() + 3 * kMs, 30, [&] { return wake(random); },
                  [&](std::int64_t stamp) { return stream.FrameAt(stamp + lead); });
    // A frame of rounding and the loop's own noise: the mixer makes up for its look-ahead.
    ASSERT_NO_FATAL_FAILURE(ExpectOnsetsAt(stream.Left(), heardBefore, expected, 0.5e-3 * kRate));
    EXPECT_EQ(device_->LateStarts(), lateBefore);
    EXPECT_EQ(stream.Clock().LeadNs(), lead) << "a steady server moves the lead once";
    startNs = stream.NextBlockNs() + 1000 * kMs;
  }
}

// A late wake-up or one report far off is not the server's latency: the lead stays.
TEST_F(ReportedLatency, ALateWakeUpOrOneOddReportDoesNotMoveTheLead) {
  LateStream stream(output_, 10 * kMs, 10 * kMs, ClockModel::Cycles::kRegular);
  for (int i = 0; i < 100; ++i) stream.Render(0);
  const std::int64_t lead = stream.Clock().LeadNs();
  stream.Render(4 * kMs);
  stream.Render(0, 30 * kMs);
  for (int i = 0; i < 100; ++i) stream.Render(0);
  EXPECT_EQ(stream.Clock().LeadNs(), lead);
}

// A callback woken so late that its block should already have been heard (a loaded machine): the
// stream ran dry, and the sink played silence until the block came. The output may not have been
// told of the underrun yet, but the block's reading, taken as it is asked for, says when it is
// heard; the notes around it still land on their frames.
TEST_F(ReportedLatency, NotesAroundACallbackThatCameAfterItsBlocksTimeLandOnTheirFrames) {
  LateStream stream(output_, 12 * kMs, 12 * kMs, ClockModel::Cycles::kIrregular);
  for (int i = 0; i < 200; ++i) stream.Render(0);
  const std::int64_t lead = stream.Clock().LeadNs();
  const std::size_t heardBefore = Onsets(stream.Left()).size();
  constexpr int kNotes = 12;
  constexpr int kDryAfterNote = 4;
  const std::int64_t first = stream.NextBlockNs() + 3 * kMs;
  std::vector<std::int64_t> heardNs;  // when each note is to be heard
  std::vector<std::int64_t> expected;  // its frame, once known
  bool ranDry = false;
  int sent = 0;
  while (sent < kNotes || stream.NextBlockNs() < heardNs.back() + 100 * kMs) {
    for (; sent < kNotes && first + sent * 40 * kMs <= stream.NextBlockNs(); ++sent) {
      const std::int64_t stamp = first + sent * 40 * kMs;
      PlayStamped(1 + sent % 3, stamp);
      heardNs.push_back(stamp + lead);
    }
    if (!ranDry && sent == kDryAfterNote + 1 && stream.NextBlockNs() > heardNs.back() + 2 * kMs) {
      // The notes heard so far keep their frames.
      for (const std::int64_t ns : heardNs) expected.push_back(stream.FrameAt(ns));
      // Woken 20 ms late, 8 ms after its block was due to be heard; the block is heard 1 ms
      // after the callback: the stream lost 9 ms.
      stream.Shift(9 * kMs);
      stream.Render(11 * kMs);
      ranDry = true;
      continue;
    }
    stream.Render(0);
  }
  ASSERT_TRUE(ranDry);
  for (std::size_t i = expected.size(); i < heardNs.size(); ++i) expected.push_back(stream.FrameAt(heardNs[i]));
  ASSERT_NO_FATAL_FAILURE(ExpectOnsetsAt(stream.Left(), heardBefore, expected, 0.5e-3 * kRate));
  EXPECT_EQ(stream.Clock().Reseats(), 1u);
}

// A passing episode (a server that held its blocks back for a while) grows the lead. Once the
// blocks have been heard as soon as before for a few seconds it comes back down to what the stream
// began with, rather than keeping every note that much later for as long as the stream is open.
TEST_F(ReportedLatency, ALeadGrownByAPassingEpisodeComesBackDown) {
  LateStream stream(output_, 10 * kMs, 10 * kMs, ClockModel::Cycles::kRegular);
  for (int i = 0; i < 100; ++i) stream.Render(0);
  const std::int64_t lead = stream.Clock().LeadNs();
  stream.HearAfter(40 * kMs);
  for (int i = 0; i < 40; ++i) stream.Render(0);
  ASSERT_GE(stream.Clock().LeadNs(), lead + 30 * kMs) << "the episode grows the lead";
  stream.HearAfter(10 * kMs);
  const std::int64_t over = stream.NextBlockNs();
  while (stream.NextBlockNs() < over + 1500 * kMs) stream.Render(0);
  EXPECT_GT(stream.Clock().LeadNs(), lead) << "not at the first blocks that say so";
  while (stream.NextBlockNs() < over + 3000 * kMs) stream.Render(0);
  // Back to what the stream began with, rounded up to the lead's step.
  const std::int64_t leadAfter = stream.Clock().LeadNs();
  EXPECT_GE(leadAfter, lead);
  EXPECT_LT(leadAfter, lead + kMs);

  const std::size_t heardBefore = Onsets(stream.Left()).size();
  const std::int64_t first = stream.NextBlockNs() + 3 * kMs;
  std::vector<std::int64_t> expected;
  for (int note = 0; note < 5; ++note) {
    const std::int64_t stamp = first + note * 40 * kMs;
    while (stream.NextBlockNs() < stamp) stream.Render(0);
    PlayStamped(1 + note % 3, stamp);
    expected.push_back(stream.FrameAt(stamp + leadAfter));
  }
  while (static_cast<std::int64_t>(stream.Left().size()) < expected.back() + 2000) stream.Render(0);
  ExpectOnsetsAt(stream.Left(), heardBefore, expected, 2);
}

// A sink that really keeps more than it granted holds the lead up, whatever single wake-ups do: a
// callback 4 ms late once a second shortens that one block's wait, and must not pull the lead
// down for a moment (every note then sounds early) only for the next blocks to push it back up.
TEST_F(ReportedLatency, AWakeUpLateNowAndThenDoesNotPullAGrownLeadDown) {
  LateStream stream(output_, 10 * kMs, 10 * kMs, ClockModel::Cycles::kRegular);
  for (int i = 0; i < 100; ++i) stream.Render(0);
  stream.HearAfter(40 * kMs);
  for (int i = 0; i < 40; ++i) stream.Render(0);
  const std::int64_t grown = stream.Clock().LeadNs();
  const std::int64_t from = stream.NextBlockNs();
  std::int64_t lastLate = from;
  while (stream.NextBlockNs() < from + 6000 * kMs) {
    const bool late = stream.NextBlockNs() >= lastLate + 1000 * kMs;
    if (late) lastLate = stream.NextBlockNs();
    stream.Render(late ? 4 * kMs : 0);
    ASSERT_EQ(stream.Clock().LeadNs(), grown) << (stream.NextBlockNs() - from) / kMs << " ms on";
  }
}

}  // namespace
}  // namespace kestu::test
