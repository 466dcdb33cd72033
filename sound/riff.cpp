#include "sound/riff.h"

#include <algorithm>
#include <array>

namespace kestu {

namespace {

constexpr std::uint32_t kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t kList = MakeFourCC('L', 'I', 'S', 'T');

std::uint32_t LittleEndian32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A chunk occupies its header, its payload and a pad byte when the size is odd.
std::uint64_t ChunkEnd(std::uint64_t payload, std::uint32_t size) {
  return payload + size + (size & 1u);
}

}  // namespace

bool RiffReader::Open(const std::string& path) {
  Close();
  file_.open(path, std::ios::binary);
  if (!file_.is_open()) return false;
  file_.seekg(0, std::ios::end);
  const auto end = file_.tellg();
  if (end < 0) {
    Close();
    return false;
  }
  size_ = static_cast<std::uint64_t>(end);
  Seek(0);
  return true;
}

void RiffReader::Close() {
  if (file_.is_open()) file_.close();
  file_.clear();
  position_ = 0;
  size_ = 0;
}

void RiffReader::Seek(std::uint64_t position) {
  position_ = std::min(position, size_);
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(position_));
}

bool RiffReader::ReadHeader(std::uint32_t& id, std::uint32_t& size) {
  std::array<unsigned char, 8> header{};
  if (Read(header.data(), header.size()) != header.size()) return false;
  id = LittleEndian32(header.data());
  size = LittleEndian32(header.data() + 4);
  return true;
}

bool RiffReader::FindRiff(std::uint32_t formType, RiffChunk& riff) {
  if (!IsOpen()) return false;
  Seek(0);
  for (;;) {
    const std::uint64_t start = position_;
    std::uint32_t id = 0, size = 0;
    if (!ReadHeader(id, size)) return false;
    if (id == kRiff) {
      std::array<unsigned char, 4> form{};
      if (Read(form.data(), form.size()) != form.size()) return false;
      if (LittleEndian32(form.data()) == formType) {
        riff = {id, size, formType, start + 12};
        return true;
      }
    }
    const std::uint64_t next = ChunkEnd(start + 8, size);
    if (next >= size_) return false;
    Seek(next);
  }
}

bool RiffReader::FindChunk(std::uint32_t id, const RiffChunk& parent, RiffChunk& chunk) {
  if (!IsOpen()) return false;
  // The parent's payload starts 4 bytes before its first subchunk when it has a form type.
  const std::uint64_t parentStart =
      (parent.id == kRiff || parent.id == kList) ? parent.payload - 4 : parent.payload;
  const std::uint64_t parentEnd = parentStart + parent.size;
  for (;;) {
    const std::uint64_t start = position_;
    if (start + 8 > parentEnd) return false;
    std::uint32_t foundId = 0, size = 0;
    if (!ReadHeader(foundId, size)) return false;
    if (foundId == id) {
      chunk = {foundId, size, 0, start + 8};
      return true;
    }
    const std::uint64_t next = ChunkEnd(start + 8, size);
    if (next >= parentEnd || next >= size_) {
      Seek(std::min(parentEnd, size_));
      return false;
    }
    Seek(next);
  }
}

void RiffReader::Ascend(const RiffChunk& chunk) { Seek(ChunkEnd(chunk.payload, chunk.size)); }

std::size_t RiffReader::Read(void* destination, std::size_t bytes) {
  if (!IsOpen() || bytes == 0) return 0;
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(bytes, size_ - position_));
  file_.read(static_cast<char*>(destination), static_cast<std::streamsize>(wanted));
  const auto got = static_cast<std::size_t>(std::max<std::streamsize>(file_.gcount(), 0));
  position_ += got;
  if (got < wanted) Seek(position_);
  return got;
}

std::size_t RiffReader::Skip(std::size_t bytes) {
  const std::uint64_t target = std::min<std::uint64_t>(position_ + bytes, size_);
  const auto skipped = static_cast<std::size_t>(target - position_);
  Seek(target);
  return skipped;
}

}  // namespace kestu
