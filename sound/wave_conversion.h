// Sample formats the mixer does not read itself (PCM of 24 or 32 bits, 32-bit float, the
// extensible format's PCM and float) converted when a sample is loaded into 16-bit PCM of the same
// channels and rate, so that users' own WAV files play without the mixing loop knowing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sound/dsound/types.h"

namespace kestu {

// How a file's sample data is to be taken.
struct SampleEncoding {
  enum class Kind { AsItStands, Pcm, Float };
  Kind kind = Kind::AsItStands;
  unsigned bytesPerSample = 0;  // of the file's data, for Pcm and Float
  unsigned channels = 0;
  std::size_t FrameBytes() const { return bytesPerSample * channels; }
};

// Decides from the format chunk's bytes (`chunk`, `size` of them). AsItStands for 8- and 16-bit
// plain PCM, which the mixer reads, and for anything that cannot be converted (more than two
// channels, other encodings), which then goes to the sound system as the file states it.
SampleEncoding EncodingOf(const ds::WAVEFORMATEX& format, const unsigned char* chunk, std::size_t size);

// The format converted data has: 16-bit PCM, the file's channels and rate.
ds::WAVEFORMATEX ConvertedFormat(const ds::WAVEFORMATEX& format);

// Converts `frames` frames of the file's data to 16-bit samples, rounding, clipping float data
// outside -1..1.
void ConvertToPcm16(const SampleEncoding& encoding, const unsigned char* source, std::size_t frames,
                    std::int16_t* destination);

// Why the sound system may refuse a format, in words for a person; empty when it should not.
std::string FormatProblem(const ds::WAVEFORMATEX& format, std::uint32_t dataBytes);

}  // namespace kestu
