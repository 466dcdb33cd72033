// The measuring tool's arithmetic: the recording's clock, finding sounds, pairing them with their
// events, and the summaries. A fault here would make every figure it prints wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "bench/latency/analysis.h"
#include "bench/latency/onsets.h"
#include "bench/latency/stats.h"
#include "bench/latency/timeline.h"

namespace kestu::latency {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr double kNsPerFrame = 1e9 / kRate;

// Blocks of `block` frames made by a server that renders `chunk` frames at a time, each chunk
// handed over when its first frame is due on the server's clock, `clock(frame)` ns, and arriving
// late by a random amount of up to `maxLateNs` (now and then much later, as on a busy machine).
template <typename Clock>
std::vector<ArrivedBlock> Arrivals(std::uint64_t frames, std::uint64_t block, std::uint64_t chunk,
                                   double maxLateNs, Clock clock) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> late(0, maxLateNs);
  std::bernoulli_distribution stall(0.01);
  std::vector<ArrivedBlock> blocks;
  for (std::uint64_t end = block; end <= frames; end += block) {
    const std::uint64_t chunkStart = (end - 1) / chunk * chunk;
    double arrival = clock(static_cast<double>(chunkStart)) + late(random);
    if (stall(random)) arrival += 5e6;
    blocks.push_back({static_cast<std::int64_t>(arrival), end});
  }
  return blocks;
}

auto Steady(double startNs, double ppm = 0) {
  return [=](double frame) { return startNs + frame * kNsPerFrame / (1 + ppm * 1e-6); };
}

TEST(FitTimeline, FollowsTheEarliestArrivalsNotTheTypicalOnes) {
  const double start = 5e12;
  const auto blocks = Arrivals(30 * kRate, 48, 48, 400e3, Steady(start));
  const auto line = FitTimeline(blocks, kRate);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->knots.size(), 30u);
  // A block of frames [e-48, e) is handed over when frame e-48 is due: the timeline at count e
  // lies one block before that, within the few microseconds the earliest arrivals are late.
  for (const double count : {48.0, 480000.0, 1439999.0}) EXPECT_NEAR(line->TimeNs(count), Steady(start)(count - 48), 20e3);
  EXPECT_NEAR(line->DriftPpm(kRate), 0, 5);
  EXPECT_LT(line->wanderNs, 30e3);
  for (const double late : Lateness(blocks, *line)) EXPECT_GT(late, -30e3);
}

TEST(FitTimeline, FollowsAServerClockThatRunsFastAndWanders) {
  // 400 ppm fast, and a millisecond back and forth over the minute.
  const auto clock = [](double frame) {
    const double seconds = frame / kRate;
    return 1e9 + frame * kNsPerFrame / 1.0004 + 1e6 * std::sin(seconds / 60 * 2 * M_PI);
  };
  const auto blocks = Arrivals(60 * kRate, 48, 48, 200e3, clock);
  const auto line = FitTimeline(blocks, kRate);
  ASSERT_TRUE(line.has_value());
  EXPECT_NEAR(line->DriftPpm(kRate), 400, 40);
  EXPECT_TRUE(line->steps.empty()) << "the wander and single late blocks are no steps";
  EXPECT_GT(line->wanderNs, 0.5e6);  // no straight line would do
  EXPECT_LT(line->roughnessNs, 30e3);
  // From the first block to the last, beyond the first and the last knot too.
  for (double seconds = 0.001; seconds <= 60; seconds += 3.7) {
    const double count = seconds * kRate;
    EXPECT_NEAR(line->TimeNs(count), clock(count - 48), 30e3) << seconds << " s";
  }
  EXPECT_NEAR(line->TimeNs(60.0 * kRate), clock(60.0 * kRate - 48), 30e3);
}

TEST(FitTimeline, SeesChunksLargerThanTheRecordersBlocks) {
  // Four blocks arrive together: the earliest for its count is the chunk's last block.
  const auto blocks = Arrivals(10 * kRate, 48, 192, 100e3, Steady(0));
  const auto line = FitTimeline(blocks, kRate);
  ASSERT_TRUE(line.has_value());
  EXPECT_NEAR(line->TimeNs(192), 0, 10e3);
  const Summary s = Summarize(Lateness(blocks, *line));
  EXPECT_NEAR(s.max, 5e6 + 3 * 48 * kNsPerFrame, 200e3);  // a stalled first block of a chunk
}

TEST(FitTimeline, BreaksWhereTheRecordingSteppedAndNowhereElse) {
  // A quantum of the recording lost, the server stopped for 100 ms, and a server that caught up.
  struct Step {
    double seconds, jumpNs;
  };
  const std::vector<Step> steps = {{10, 256 * kNsPerFrame}, {20, 100e6}, {25.6, -3e6}};
  const auto clock = [&](double frame) {
    double ns = Steady(2e12, 300)(frame);
    for (const Step& s : steps) ns += frame >= s.seconds * kRate ? s.jumpNs : 0;
    return ns;
  };
  const auto blocks = Arrivals(30 * kRate, 256, 256, 400e3, clock);
  const auto line = FitTimeline(blocks, kRate);
  ASSERT_TRUE(line.has_value());
  ASSERT_EQ(line->steps.size(), steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(line->steps[i].count, steps[i].seconds * kRate);
    EXPECT_NEAR(line->steps[i].jumpNs, steps[i].jumpNs, 100e3);
  }
  EXPECT_NEAR(line->DriftPpm(kRate), 300, 20);
  EXPECT_LT(line->roughnessNs, 30e3);
  // Frame f arrives with its block, at TimeNs(f + 1): on each side of a step, right up to it.
  for (const Step& s : steps) {
    for (const double count : {s.seconds * kRate - 300, s.seconds * kRate, s.seconds * kRate + 1, s.seconds * kRate + 700}) {
      EXPECT_NEAR(line->TimeNs(count), clock(count - 1) - 255 * kNsPerFrame / 1.0003, 30e3) << count;
    }
  }
  for (const double late : Lateness(blocks, *line)) EXPECT_GT(late, -30e3);
}

TEST(FitTimeline, NeedsTwoBlocks) {
  EXPECT_FALSE(FitTimeline({}, kRate).has_value());
  EXPECT_FALSE(FitTimeline({{100, 48}}, kRate).has_value());
  const auto line = FitTimeline({{1000000, 48}, {2000000, 96}}, kRate);
  ASSERT_TRUE(line.has_value());
  EXPECT_DOUBLE_EQ(line->nsPerFrame, kNsPerFrame);  // too short for a pace of its own: the nominal one
  EXPECT_NEAR(line->TimeNs(48), 1000000, 1);
  EXPECT_NEAR(line->TimeNs(96), 1000000 + 48 * kNsPerFrame, 1);
}

std::vector<std::int16_t> Silence(std::size_t frames) { return std::vector<std::int16_t>(frames, 0); }

void Put(std::vector<std::int16_t>& samples, std::size_t at, std::initializer_list<int> values) {
  for (const int v : values) samples[at++] = static_cast<std::int16_t>(v);
}

TEST(FindOnsets, FirstFrameAboveTheFloorAfterSilence) {
  std::vector<std::int16_t> s = Silence(kRate);
  // A quiet start (the sample's own first values), then loud; a zero crossing inside the sound.
  Put(s, 10000, {1, 6, -22, 12, -900, 3000, 0, -2500, 0, 1, 2000});
  Put(s, 30000, {-3, 500});
  const auto onsets = FindOnsets(s, kRate);
  EXPECT_EQ(onsets, (std::vector<std::uint64_t>{10001, 30000}));
}

TEST(FindOnsets, IgnoresWhatIsNoSoundOrHasNoSilenceBefore) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::size_t, int>> samples;
    std::vector<std::uint64_t> expected;
  };
  const std::vector<Case> cases = {
      {"a click that never reaches 1 % of full scale", {{1000 + 2400, 200}}, {}},
      {"a sound whose loud part comes too late", {{3400, 10}, {3400 + 300, 5000}}, {}},
      {"a sound at the very start", {{0, 5000}}, {}},
      {"a second sound too soon after the first", {{3400, 5000}, {3400 + 1000, 5000}}, {3400}},
      {"negative samples count by their size", {{3400, -5000}}, {3400}},
      {"the most negative sample", {{3400, -32768}}, {3400}},
  };
  for (const Case& c : cases) {
    std::vector<std::int16_t> s = Silence(kRate / 2);
    for (const auto& [at, v] : c.samples) s[at] = static_cast<std::int16_t>(v);
    EXPECT_EQ(FindOnsets(s, kRate), c.expected) << c.what;
  }
}

TEST(MatchOnsets, PairsEachEventWithItsOwnSound) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<double> events, onsets, expected;
  };
  const std::vector<Case> cases = {
      {"one each", {0, 100, 200}, {20, 125, 230}, {20, 125, 230}},
      {"a lost sound leaves its event unpaired, not the next one's sound", {0, 100, 200}, {20, 230}, {20, nan, 230}},
      {"a stray sound before the events is skipped", {100}, {10, 120}, {120}},
      {"one sound serves one event", {0, 10}, {15}, {15, nan}},
      {"a sound a little early is taken within the slack", {100}, {99.5}, {99.5}},
      {"nothing in the window", {0}, {60}, {nan}},
  };
  for (const Case& c : cases) {
    const auto matched = MatchOnsets(c.events, c.onsets, 1.0, 50.0);
    ASSERT_EQ(matched.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < matched.size(); ++i) {
      if (std::isnan(c.expected[i])) {
        EXPECT_TRUE(std::isnan(matched[i])) << c.what << " #" << i;
      } else {
        EXPECT_DOUBLE_EQ(matched[i], c.expected[i]) << c.what << " #" << i;
      }
    }
  }
}

TEST(Summarize, MedianAndPercentilesLeaveOutWhatWasNotFound) {
  std::vector<double> values;
  for (int i = 100; i >= 1; --i) values.push_back(i);
  values.push_back(std::nan(""));
  const Summary s = Summarize(values);
  EXPECT_EQ(s.count, 100u);
  EXPECT_DOUBLE_EQ(s.min, 1);
  EXPECT_DOUBLE_EQ(s.max, 100);
  EXPECT_DOUBLE_EQ(s.median, 50.5);
  EXPECT_DOUBLE_EQ(s.p99, 99.01);
  EXPECT_EQ(Summarize({std::nan("")}).count, 0u);
  EXPECT_DOUBLE_EQ(Summarize({7}).p99, 7);
}

TEST(Summarize, DeviationsAndDifferences) {
  const auto deviations = DeviationsFromMedian({10, 12, 11, std::nan(""), 20});
  EXPECT_DOUBLE_EQ(deviations[0], 1.5);  // the median of 10, 11, 12, 20 is 11.5
  EXPECT_DOUBLE_EQ(deviations[4], 8.5);
  EXPECT_TRUE(std::isnan(deviations[3]));
  const auto differences = Differences({1, 4, std::nan(""), 10});
  ASSERT_EQ(differences.size(), 3u);
  EXPECT_DOUBLE_EQ(differences[0], 3);
  EXPECT_TRUE(std::isnan(differences[1]));
  EXPECT_TRUE(Differences({5}).empty());
}

// A run made up to the frame: the recorder's blocks arrive exactly on the server's clock, which
// starts at kStartNs; the mixer renders 256 frames at each request, every 10 ms.
constexpr double kStartNs = 1e12;
constexpr std::uint32_t kMixRate = 23160;
constexpr double kRequestNs = 10e6;

struct MadeUpRun {
  RunData data;
  explicit MadeUpRun(double seconds) {
    data.recordRate = kRate;
    data.recording.assign(static_cast<std::size_t>(seconds * kRate), 0);
    for (std::uint64_t end = 48; end <= data.recording.size(); end += 48) {
      data.arrivals.push_back({static_cast<std::int64_t>(kStartNs + static_cast<double>(end) * kNsPerFrame), end});
    }
    data.mixRate = kMixRate;
    data.mixed.assign(static_cast<std::size_t>(seconds * kMixRate), 0);
    for (std::uint64_t first = 0; first + 256 <= data.mixed.size(); first += 256) {
      data.rendered.push_back({static_cast<std::int64_t>(kStartNs + static_cast<double>(first / 256) * kRequestNs),
                               first, 256});
    }
    data.session.intervalMs = 120;
  }
  // A sound rendered at request `request` and heard at `heardNs` on the server's clock.
  void Sound(std::size_t request, double heardNs) {
    data.mixed[request * 256 + 1] = 5000;
    const auto frame = static_cast<std::size_t>((heardNs - kStartNs) / kNsPerFrame) - 1;
    data.recording[frame] = 5000;
  }
};

TEST(Analyse, SplitsEachDelayAtTheRequestThatRenderedTheSound) {
  MadeUpRun run(10);
  // Presses at 1 s and 2 s: the first waits 4 ms for its request, the sound comes 20 ms after the
  // press; the second just misses a request and waits 9.9 ms, heard 25 ms after.
  run.data.session.presses = {{static_cast<std::int64_t>(kStartNs + 1.006e9), static_cast<std::int64_t>(kStartNs + 1.006e9 + 5e4)},
                              {static_cast<std::int64_t>(kStartNs + 2.0001e9), static_cast<std::int64_t>(kStartNs + 2.0002e9)}};
  run.Sound(101, kStartNs + 1.026e9);
  run.Sound(201, kStartNs + 2.0251e9);
  const Analysis a = Analyse(run.data, 2);
  ASSERT_TRUE(a.timeline.has_value());
  EXPECT_EQ(a.recordedSounds, 2u);
  EXPECT_EQ(a.renderedSounds, 2u);
  ASSERT_EQ(a.presses.toSound.size(), 2u);
  EXPECT_NEAR(a.presses.toRender[0], 4.0, 0.01);
  EXPECT_NEAR(a.presses.toSound[0], 20.0, 0.03);
  EXPECT_NEAR(a.presses.toRender[1], 9.9, 0.01);
  EXPECT_NEAR(a.presses.toSound[1], 25.0, 0.03);
  EXPECT_NEAR(a.presses.handler[0], 0.05, 1e-6);
  for (const double late : a.arrivalLatenessMs) EXPECT_NEAR(late, 0, 1e-3);
}

TEST(Analyse, TicksThatVoiceNotesAgainstTheirSoundsFromWhenTheyWereDueAndThePicture) {
  MadeUpRun run(10);
  // Ticks every 120 ms from 1 s, a note on every fourth; the third note's tick comes 3 ms late.
  const double late = 3e6;
  for (int i = 0; i < 16; ++i) {
    Tick t{};
    t.dueNs = static_cast<std::int64_t>(kStartNs + 1e9 + i * 120e6);
    t.beginNs = t.dueNs + (i == 9 ? static_cast<std::int64_t>(late) : 0);
    t.endNs = t.beginNs + 400000;
    t.step = i + 1;
    t.column = t.step % 2 == 0 ? t.step / 2 : 0;
    t.sounds = t.step % 4 == 2;
    run.data.session.ticks.push_back(t);
  }
  std::vector<double> expected;
  for (const Tick& t : run.data.session.ticks) {
    if (!t.sounds) continue;
    const auto request = static_cast<std::size_t>((static_cast<double>(t.beginNs) - kStartNs) / kRequestNs) + 1;
    run.Sound(request, static_cast<double>(t.beginNs) + 22e6);
    expected.push_back(static_cast<double>(request) * kRequestNs + kStartNs - static_cast<double>(t.dueNs));
    // The picture of each note's column is drawn 20 ms after its tick was due.
    run.data.session.drawn.push_back({t.dueNs + 20'000'000, t.step});
  }
  const Analysis a = Analyse(run.data, 2);
  ASSERT_EQ(a.columns.toSound.size(), 4u);
  ASSERT_EQ(a.pictureToSoundMs.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    // Paired by when each tick was due: the late tick's sound is late by as much.
    EXPECT_NEAR(a.columns.toSound[i], i == 2 ? 25.0 : 22.0, 0.03) << i;
    EXPECT_NEAR(a.pictureToSoundMs[i], i == 2 ? 5.0 : 2.0, 0.03) << i;
    EXPECT_NEAR(a.columns.toRender[i], expected[i] / 1e6, 0.01) << i;
    EXPECT_NEAR(a.columns.handler[i], 0.4, 1e-6);
    // From when the tick was due, the late tick's sound is late by as much.
    EXPECT_NEAR(a.columnsFromDueMs[i], i == 2 ? 25.0 : 22.0, 0.03) << i;
  }
  // Onset to onset: the late tick's note comes 3 ms late against the score's 480 ms, and the next
  // one 3 ms early.
  ASSERT_EQ(a.soundIntervalErrorMs.size(), 3u);
  EXPECT_NEAR(a.soundIntervalErrorMs[0], 0, 0.05);
  EXPECT_NEAR(a.soundIntervalErrorMs[1], 3, 0.05);
  EXPECT_NEAR(a.soundIntervalErrorMs[2], -3, 0.05);
  ASSERT_EQ(a.tickIntervalErrorMs.size(), 15u);
  EXPECT_NEAR(a.tickIntervalErrorMs[8], 3, 1e-6);
  EXPECT_NEAR(a.tickIntervalErrorMs[9], -3, 1e-6);
  EXPECT_NEAR(a.requestIntervalMs.front(), 10, 1e-6);
}

TEST(Analyse, AnEventWithoutASoundStaysUnheard) {
  MadeUpRun run(5);
  run.data.session.presses = {{static_cast<std::int64_t>(kStartNs + 1e9), static_cast<std::int64_t>(kStartNs + 1e9)},
                              {static_cast<std::int64_t>(kStartNs + 2e9), static_cast<std::int64_t>(kStartNs + 2e9)}};
  run.Sound(201, kStartNs + 2.02e9);  // only the second press was heard
  const Analysis a = Analyse(run.data, 2);
  EXPECT_TRUE(std::isnan(a.presses.toSound[0]));
  EXPECT_TRUE(std::isnan(a.presses.toRender[0]));
  EXPECT_NEAR(a.presses.toSound[1], 20, 0.03);
}

}  // namespace
}  // namespace kestu::latency
