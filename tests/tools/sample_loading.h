#pragma once
// Loads a sample file the way the program does, through the sound component's loader on a
// device with the offline output, and reads its sound data back out of the buffer.
#include <cstdint>
#include <string>
#include <vector>

namespace kestu::test {

// The loader's format record, copied field by field out of its packed layout.
struct SampleFormat {
  std::uint16_t format_tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samples_per_sec = 0;
  std::uint32_t avg_bytes_per_sec = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
  std::uint16_t cb_size = 0;
};

struct LoadedSample {
  bool loaded = false;  // the loader filled a buffer
  SampleFormat format;  // as the loader read it
  std::uint32_t format_chunk_size = 0;
  std::vector<std::int16_t> frames;  // the buffer's data as 16-bit words
};

LoadedSample LoadAsTheProgramDoes(const std::string& path);

}  // namespace kestu::test
