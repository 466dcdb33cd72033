// The filters of the band-limited resampler: windowed-sinc low-passes, each
// stored as a polyphase table (one row of taps per fraction of a frame), for
// a ladder of cutoffs a quarter tone apart. A voice that plays its sample
// slower than the output rate uses the full-band table, whose stop band
// begins at the sample's Nyquist frequency (no images); a voice that plays
// faster uses the table whose cutoff lies at or just below the output's
// Nyquist frequency, seen from the sample (no aliases).
// Built once, on the GUI thread, before any mixer reads it; read-only after.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kestu::ds {

class SincTables {
 public:
  // The span of every filter in frames of the lower of the two rates.
  static constexpr std::uint32_t kLowerRateTaps = 32;
  // Cutoffs fall a quarter tone apart, from full band down to 1/8 of it:
  // steps up to 8 sample frames per output frame are band-limited; beyond
  // that the narrowest table is used and some aliasing remains.
  static constexpr std::uint32_t kCutoffsPerOctave = 24;
  static constexpr std::uint32_t kOctaves = 3;
  static constexpr std::uint32_t kTableCount = kCutoffsPerOctave * kOctaves + 1;
  // Frames a filter may reach on either side of the read position.
  static constexpr std::uint32_t kReach = (kLowerRateTaps << kOctaves) / 2 + 8;

  struct Table {
    const float* rows = nullptr;  // (phases + 1) rows of `taps` floats
    std::uint32_t taps = 0;       // a multiple of 8
    std::uint32_t phases = 0;     // rows per frame; row `phases` is the next frame's row 0
  };

  // The process-wide tables, built on the first call. Call it first from the
  // GUI thread (the mixer's constructor does), never first from the callback.
  static const SincTables& Shared();

  // The table for a voice that reads `step` sample frames per output frame.
  // Real-time safe.
  const Table& ForStep(double step) const noexcept;
  const Table& At(std::uint32_t index) const noexcept { return tables_[index]; }

 private:
  SincTables();

  std::vector<float> coefficients_;
  Table tables_[kTableCount];
};

// The filtered value at a position between two rows of a table: both rows'
// dot products with `frames` (the first frame the filter reaches), then
// interpolated by where the position lies between them. Real-time safe.
inline float FilterBetweenRows(const float* frames, const float* row, std::uint32_t taps, float between) noexcept {
  using Vec8 = float __attribute__((vector_size(32)));
  const float* next = row + taps;
  Vec8 a = {}, b = {};
  for (std::uint32_t k = 0; k < taps; k += 8) {
    Vec8 x, low, high;  // unaligned loads
    std::memcpy(&x, frames + k, sizeof x);
    std::memcpy(&low, row + k, sizeof low);
    std::memcpy(&high, next + k, sizeof high);
    a += x * low;
    b += x * high;
  }
  const float lowSum = ((a[0] + a[4]) + (a[1] + a[5])) + ((a[2] + a[6]) + (a[3] + a[7]));
  const float highSum = ((b[0] + b[4]) + (b[1] + b[5])) + ((b[2] + b[6]) + (b[3] + b[7]));
  return lowSum + (highSum - lowSum) * between;
}

// A filtered or mixed value back on the 16-bit scale, rounded and held inside it. Real-time safe.
inline std::int16_t SaturateToInt16(float value) noexcept {
  return static_cast<std::int16_t>(std::clamp<long>(std::lrintf(value), -32768, 32767));
}

}  // namespace kestu::ds
