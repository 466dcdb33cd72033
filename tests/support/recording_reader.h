#pragma once
// The left channel of a 16-bit stereo WAV file as parec writes it, read with our own chunk reader.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/dsound/types.h"
#include "sound/riff.h"

namespace kestu::support {

inline std::vector<std::int16_t> ReadLeftChannel(const std::string& path, std::uint32_t& rate) {
  RiffReader reader;
  RiffChunk riff, chunk;
  std::vector<std::int16_t> left;
  if (!reader.Open(path) || !reader.FindRiff(MakeFourCC('W', 'A', 'V', 'E'), riff)) return left;
  if (!reader.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, chunk)) return left;
  ds::WAVEFORMATEX format{};
  reader.Read(&format, std::min<std::size_t>(chunk.size, sizeof format));
  reader.Ascend(chunk);
  if (!reader.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk) || format.nChannels != 2) return left;
  rate = format.nSamplesPerSec;
  // A recorder stopped by a signal may leave the sizes unwritten: the file's length counts.
  std::vector<std::int16_t> frames((reader.FileSize() - reader.Position()) / 2);
  frames.resize(reader.Read(frames.data(), frames.size() * 2) / 2);
  for (std::size_t i = 0; i + 1 < frames.size(); i += 2) left.push_back(frames[i]);
  return left;
}

}  // namespace kestu::support
