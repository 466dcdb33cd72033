// Sample formats the mixer does not read itself (PCM of 24 or 32 bits, 32-bit float, the
// extensible format's PCM and float) converted when a sample is loaded into 16-bit PCM of the same
// channels, so that users' own WAV files play without the mixing loop knowing. A sample faster
// than 48 kHz is brought down to 48 kHz or less on the way: the top row plays a sample at 2.245
// times its rate, and a channel takes at most 200 kHz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/dsound/types.h"

namespace kestu {

// How a file's sample data is to be taken.
struct SampleEncoding {
  enum class Kind { AsItStands, Pcm, Float };
  Kind kind = Kind::AsItStands;
  unsigned bytesPerSample = 0;  // of the file's data, for Pcm and Float
  unsigned channels = 0;
  std::uint32_t rate = 0;  // the rate of the loaded sound: the file's, or what it is brought down to
  std::size_t FrameBytes() const { return bytesPerSample * channels; }
  bool Resamples(const ds::WAVEFORMATEX& format) const { return rate != format.nSamplesPerSec; }
};

// The fastest rate a sample keeps as it is.
inline constexpr std::uint32_t kHighestKeptRate = 48000;

// The rate a sample of `rate` is loaded at: itself up to kHighestKeptRate; above, an exact half,
// third or quarter of it where that is 44.1 kHz or more, else kHighestKeptRate.
std::uint32_t LoadedRate(std::uint32_t rate);

// Decides from the format chunk's bytes (`chunk`, `size` of them). AsItStands for 8- and 16-bit
// plain PCM at up to kHighestKeptRate, which the mixer reads, and for anything that cannot be
// converted (more than two channels, other encodings), which FormatProblem then refuses.
SampleEncoding EncodingOf(const ds::WAVEFORMATEX& format, const unsigned char* chunk, std::size_t size);

// Why the frame size (block align) of a PCM or float format disagrees with its channels and bits,
// in words for a person; empty when it agrees or the encoding is not one whose frames we know.
// Reading such data as the fields say would play noise.
std::string FrameSizeProblem(const ds::WAVEFORMATEX& format, const unsigned char* chunk, std::size_t size);

// The fastest rate a file may have: what it is brought down from is read whole, and the filter's
// width grows with it.
inline constexpr std::uint32_t kFastestFileRate = 384000;

// Why the file's rate cannot be loaded (none, or faster than kFastestFileRate), in words for a
// person; empty when it can.
std::string RateProblem(const ds::WAVEFORMATEX& format);

// The format converted data has: 16-bit PCM, the file's channels, the encoding's rate.
ds::WAVEFORMATEX ConvertedFormat(const ds::WAVEFORMATEX& format, const SampleEncoding& encoding);

// The number of frames `frames` frames at `from` Hz become at `to` Hz.
std::size_t ResampledFrames(std::size_t frames, std::uint32_t from, std::uint32_t to);

// Interleaved 16-bit frames at `from` Hz brought down to `to` Hz (to < from) through a low-pass
// windowed-sinc filter at 45 % of the new rate; ResampledFrames(frames, from, to) frames out.
std::vector<std::int16_t> Downsample(const std::vector<std::int16_t>& interleaved, unsigned channels,
                                     std::uint32_t from, std::uint32_t to);

// Converts `frames` frames of the file's data to 16-bit samples, rounding, clipping float data
// outside -1..1.
void ConvertToPcm16(const SampleEncoding& encoding, const unsigned char* source, std::size_t frames,
                    std::int16_t* destination);

// Why the sound system may refuse a format, in words for a person; empty when it should not.
std::string FormatProblem(const ds::WAVEFORMATEX& format, std::uint32_t dataBytes);

}  // namespace kestu
