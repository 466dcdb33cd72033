#pragma once
// Writing 16-bit PCM WAV files: whole (WavFileBytes) or as frames arrive (WavFileWriter), so a long
// render never sits whole in memory. Either thread that owns the writer. The format itself is
// inline, so the sample synthesizer writes it without linking the sound library.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestu {

// The 44 bytes before the data: RIFF header, a 16-byte "fmt " chunk, the "data" chunk's header.
inline std::vector<std::uint8_t> WavHeader(std::uint32_t rate, std::uint16_t channels, std::uint32_t dataBytes) {
  std::vector<std::uint8_t> out;
  const auto put = [&out](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const auto id = [&out](const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
  };
  const std::uint32_t blockAlign = 2u * channels;
  id("RIFF");
  put(36 + dataBytes, 4);
  id("WAVE");
  id("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(channels, 2);
  put(rate, 4);
  put(rate * blockAlign, 4);
  put(blockAlign, 2);
  put(16, 2);
  id("data");
  put(dataBytes, 4);
  return out;
}

// Appends interleaved samples little-endian, whatever the machine's order.
inline void AppendPcm16(std::vector<std::uint8_t>& out, const std::int16_t* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint16_t>(samples[i]);
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
}

// The whole file of interleaved `samples`. 16-bit samples keep the data chunk even: no pad byte.
inline std::vector<std::uint8_t> WavFileBytes(std::uint32_t rate, std::uint16_t channels,
                                              const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> out = WavHeader(rate, channels, static_cast<std::uint32_t>(2 * samples.size()));
  out.reserve(out.size() + 2 * samples.size());
  AppendPcm16(out, samples.data(), samples.size());
  return out;
}

// The data would pass what a RIFF file's 32-bit sizes can describe.
class WavTooLongError : public std::runtime_error {
 public:
  WavTooLongError();
};

class WavFileWriter {
 public:
  // Creates `path` (replacing what was there). Throws EFCreateError when it cannot be created.
  WavFileWriter(const std::string& path, std::uint32_t rate, std::uint16_t channels);
  ~WavFileWriter();  // closes without finishing when Finish was not reached
  WavFileWriter(const WavFileWriter&) = delete;
  WavFileWriter& operator=(const WavFileWriter&) = delete;

  // Appends `count` interleaved samples. Throws EFCreateError when writing fails and
  // WavTooLongError before the data would pass the RIFF limit.
  void Append(const std::int16_t* samples, std::size_t count);
  // Writes the sizes and closes the file; throws EFCreateError when that fails.
  void Finish();

  std::uint64_t DataBytes() const { return dataBytes_; }
  // The largest data chunk a RIFF file can hold beside our 36 bytes of header.
  static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

 private:
  void WriteHeader();

  std::string path_;
  std::FILE* file_ = nullptr;
  std::uint32_t rate_;
  std::uint16_t channels_;
  std::uint64_t dataBytes_ = 0;
};

// The whole file written at once; throws as WavFileWriter does.
void WriteWavFile(const std::string& path, std::uint32_t rate, std::uint16_t channels,
                  const std::vector<std::int16_t>& samples);

}  // namespace kestu
