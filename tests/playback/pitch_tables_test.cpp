#include "playback/pitch_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/playback/playback_fixture.h"

namespace kestu::test {
namespace {

TEST(PitchTables, ElevenSemitonesApartAndAMajorScale) {
  PitchTables t;
  t.Fill();
  for (int r = 1; r <= 7; ++r) EXPECT_NEAR(t.HighPitchRatio[r] * 1.888, t.PitchRatio[r], 0.002) << r;
  for (int r = 1; r <= 13; ++r) EXPECT_NEAR(t.PitchRatio[r], std::pow(2.0, kSemitones[r] / 12.0), 0.0015) << r;
  EXPECT_EQ(t.PitchRatio[8], 1.123);
  EXPECT_EQ(t.PitchRatio[9], 1.0);
}

TEST(VoiceOf, HighRegisterRule) {
  PitchTables t;
  t.Fill();
  const VoiceCase cases[] = {
      {1, 5, 21, 0.794},  {1, 6, 1, 1.414},   {1, 2, 21, 1.059},  {1, 9, 1, 1.0},
      {2, 1, 28, 1.189},  {4, 3, 22, 1.0},    {5, 5, 23, 0.794},  {5, 6, 5, 1.414},
      {6, 4, 24, 0.891},  {12, 1, 25, 1.189}, {14, 5, 26, 0.794}, {15, 2, 27, 1.059},
      {13, 7, 29, 0.667}, {13, 8, 13, 1.123}, {13, 6, 29, 0.749}, {3, 1, 3, 2.245},
      {7, 13, 7, 0.707},  {11, 1, 11, 2.245}, {10, 5, 10, 1.498}, {8, 12, 8, 0.749},
  };
  for (const VoiceCase& c : cases) {
    const Voice v = VoiceOf(t, c.instrument, c.row);
    EXPECT_EQ(v.sample, c.sample) << c.instrument << "/" << c.row;
    EXPECT_EQ(v.ratio, c.ratio) << c.instrument << "/" << c.row;
  }
}

}  // namespace
}  // namespace kestu::test
