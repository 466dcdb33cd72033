#pragma once
// The 29 sample files the program loads, "waves/Sound" + N + ".wav", and what each one holds.
#include <cstdint>
#include <string>
#include <vector>

namespace kestu::synth {

inline constexpr int kSampleCount = 29;

// A short description of sample `number` (1..29), for the synthesizer's listing.
std::string DescribeSample(int number);

// The finished 16-bit mono samples of sample `number` (1..29) at kSampleRate.
// Throws std::out_of_range for any other number.
std::vector<std::int16_t> RenderSample(int number);

// "Sound7.wav" for 7.
std::string SampleFileName(int number);

}  // namespace kestu::synth
