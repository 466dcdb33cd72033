#pragma once
// Writing 16-bit PCM WAV files as frames arrive, so a long render never sits whole in memory. The
// RIFF sizes are written when the file is finished. GUI thread (or whichever thread owns it).
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace kestu {

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

}  // namespace kestu
