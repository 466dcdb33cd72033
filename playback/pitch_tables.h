#pragma once
// The playback-rate ratios by row, and the voice of a note: which sample sounds an instrument in a
// row, and at which ratio of the sample's own rate. Playback, the editing preview and the palette
// preview all take their sounds from here.
#include <array>

namespace kestu {

// Rows 1..13 (PitchRatio) and 1..7 (HighPitchRatio); index 0 is unused so rows index directly.
struct PitchTables {
  std::array<double, 14> PitchRatio{};
  std::array<double, 8> HighPitchRatio{};

  // Fills both tables with their fixed values; the window does this at start-up.
  void Fill();
};

// Sample numbers of the sample bank, 1..29.
inline constexpr int kEndMarkSample = 16;
inline constexpr int kEraserSample = 20;
inline constexpr int kSampleCount = 29;

struct Voice {
  int sample;    // 1..29
  double ratio;  // multiplies the sample's own rate
};

// The high-register sample of an instrument, or 0 when it has none.
int HighRegisterSample(int instrument);
// The lowest row (largest number) in which an instrument with a high-register sample uses it.
int LastHighRegisterRow(int instrument);

// The voice of a note of instrument 1..15 in row 1..13.
Voice VoiceOf(const PitchTables& tables, int instrument, int row);

}  // namespace kestu
