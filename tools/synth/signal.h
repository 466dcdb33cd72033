#pragma once
// Shared basics of the sample synthesizer: the file rate, the two registers and their pitches.
#include <cmath>
#include <cstddef>
#include <vector>

namespace kestu::synth {

inline constexpr int kSampleRate = 22050;
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// A sound under construction: full scale is +-1, the final stage normalises it.
using Signal = std::vector<double>;

// Row 9 plays a base sample at its own rate and stands for F4; a high-register sample is played
// from row 3 at its own rate, eleven semitones up, which is E5.
inline constexpr double kBasePitchHz = 349.2282314330039;  // F4
inline constexpr double kHighPitchHz = 659.2551138257398;  // E5

enum class Register { kBase, kHigh };

inline double PitchOf(Register reg) { return reg == Register::kHigh ? kHighPitchHz : kBasePitchHz; }

inline std::size_t FramesFor(double seconds) {
  return static_cast<std::size_t>(std::lround(seconds * kSampleRate));
}

inline double TimeOf(std::size_t frame) { return static_cast<double>(frame) / kSampleRate; }

inline double CentsToRatio(double cents) { return std::exp2(cents / 1200.0); }

}  // namespace kestu::synth
