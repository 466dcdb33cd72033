// A RIFF chunk reader that searches the way the sample loader needs: the RIFF
// form from the start of the file, then chunks forward from the current
// position inside a parent chunk; leaving a chunk goes behind its pad byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestu {

// Four characters packed into 32 bits, the first in the lowest byte.
constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

// The 32-bit little-endian number in four bytes, as every RIFF field is stored.
inline std::uint32_t LittleEndian32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

struct RiffChunk {
  std::uint32_t id = 0;
  std::uint32_t size = 0;      // payload bytes as the header states them
  std::uint32_t formType = 0;  // RIFF and LIST chunks only
  std::uint64_t payload = 0;   // file offset of the payload (behind the form type for RIFF)
};

// Reads through a buffer of large blocks, so that a search stepping over thousands of small or
// empty chunks costs no system call each; runs of zero bytes (empty headers) are passed over whole,
// holes of a sparse file without reading them. GUI thread (or whichever thread owns it).
class RiffReader {
 public:
  RiffReader() = default;
  ~RiffReader() { Close(); }
  RiffReader(const RiffReader&) = delete;
  RiffReader& operator=(const RiffReader&) = delete;

  // Regular files only (links followed): a FIFO or a device could block or never end.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // From the start of the file, the first top-level "RIFF" chunk of form
  // `formType`; the position is then just behind the form type.
  bool FindRiff(std::uint32_t formType, RiffChunk& riff);
  // The next chunk `id` between the current position and the end of
  // `parent`; the position is then at its payload. On failure the position
  // is left at the end of the search.
  bool FindChunk(std::uint32_t id, const RiffChunk& parent, RiffChunk& chunk);
  // Moves behind `chunk` and its pad byte.
  void Ascend(const RiffChunk& chunk);
  // Reads up to `bytes` from the current position; returns the count read.
  std::size_t Read(void* destination, std::size_t bytes);
  // Skips up to `bytes`, not past the end of the file; returns the count skipped.
  std::size_t Skip(std::size_t bytes);

  std::uint64_t Position() const { return position_; }
  std::uint64_t FileSize() const { return size_; }

 private:
  bool ReadHeader(std::uint32_t& id, std::uint32_t& size);
  void Seek(std::uint64_t position);
  // Makes the block buffer hold `position` (if it lies in the file); false on a read error.
  bool Fill(std::uint64_t position);
  // From a header position, steps 8 bytes at a time over headers that are all zero bytes (an
  // empty chunk of id 0, which no search looks for) while the next header starts before `limit`.
  std::uint64_t SkipEmptyHeaders(std::uint64_t position, std::uint64_t limit);

  int fd_ = -1;
  std::uint64_t position_ = 0;
  std::uint64_t size_ = 0;
  std::vector<unsigned char> block_;
  std::uint64_t blockStart_ = 0;
  std::size_t blockLength_ = 0;
};

}  // namespace kestu
