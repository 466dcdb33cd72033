#pragma once
// Loads a sample file the way the program does, through the sound component's loader on a
// device with the offline output, and reads its sound data back out of the buffer.
#include <cstdint>
#include <string>
#include <vector>

#include "sound/dsound/types.h"

namespace kestu::test {

struct LoadedSample {
  bool loaded = false;  // the loader filled a buffer
  ds::WAVEFORMATEX format;  // as the loader read it (packed: compare its fields by value)
  std::uint32_t format_chunk_size = 0;
  std::vector<std::int16_t> frames;  // the buffer's data as 16-bit words
};

LoadedSample LoadAsTheProgramDoes(const std::string& path);

}  // namespace kestu::test
