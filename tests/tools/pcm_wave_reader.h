#pragma once
// Reads a RIFF WAVE file of 16-bit PCM for the sample tests, checking its structure on the way.
#include <cstdint>
#include <string>
#include <vector>

namespace kestu::test {

struct PcmWave {
  std::uint16_t format_tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samples_per_sec = 0;
  std::uint32_t avg_bytes_per_sec = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
  std::uint32_t format_chunk_size = 0;
  std::vector<std::int16_t> frames;  // the data chunk as 16-bit words
};

// Throws std::runtime_error naming what is wrong: unreadable file, no RIFF WAVE form, no format
// chunk, no data chunk behind it, a chunk running past the end of the file or the RIFF form.
PcmWave ReadPcmWave(const std::string& path);

}  // namespace kestu::test
