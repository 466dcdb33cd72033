#include "tests/tools/pcm_wave_reader.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kestu::test {

namespace {

std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t U16(const std::vector<unsigned char>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

bool TagIs(const std::vector<unsigned char>& b, std::size_t at, const char* tag) {
  return std::memcmp(b.data() + at, tag, 4) == 0;
}

}  // namespace

PcmWave ReadPcmWave(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error(path + ": cannot be opened");
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || !TagIs(bytes, 0, "RIFF") || !TagIs(bytes, 8, "WAVE")) {
    throw std::runtime_error(path + ": not a RIFF WAVE file");
  }
  const std::size_t riff_end = 8 + static_cast<std::size_t>(U32(bytes, 4));
  if (riff_end > bytes.size()) throw std::runtime_error(path + ": RIFF size runs past the end of the file");
  PcmWave wave;
  bool have_format = false;
  for (std::size_t at = 12; at + 8 <= riff_end;) {
    const std::size_t size = U32(bytes, at + 4);
    const std::size_t payload = at + 8;
    if (payload + size > riff_end) throw std::runtime_error(path + ": a chunk runs past the RIFF form");
    if (TagIs(bytes, at, "fmt ")) {
      if (size < 16) throw std::runtime_error(path + ": format chunk too short");
      wave.format_chunk_size = static_cast<std::uint32_t>(size);
      wave.format_tag = U16(bytes, payload);
      wave.channels = U16(bytes, payload + 2);
      wave.samples_per_sec = U32(bytes, payload + 4);
      wave.avg_bytes_per_sec = U32(bytes, payload + 8);
      wave.block_align = U16(bytes, payload + 12);
      wave.bits_per_sample = U16(bytes, payload + 14);
      have_format = true;
    } else if (TagIs(bytes, at, "data") && have_format) {
      if (size % 2 != 0) throw std::runtime_error(path + ": data chunk of an odd size");
      wave.frames.resize(size / 2);
      for (std::size_t i = 0; i < wave.frames.size(); ++i) {
        wave.frames[i] = static_cast<std::int16_t>(U16(bytes, payload + 2 * i));
      }
      return wave;
    }
    at = payload + size + (size & 1);
  }
  throw std::runtime_error(path + (have_format ? ": no data chunk after the format chunk" : ": no format chunk"));
}

}  // namespace kestu::test
