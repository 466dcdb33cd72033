#include "sound/riff.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace kestu {

namespace {

constexpr std::uint32_t kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t kList = MakeFourCC('L', 'I', 'S', 'T');
constexpr std::size_t kBlockBytes = 256 * 1024;

bool IsZeroHeader(const unsigned char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  return word == 0;
}

// A chunk occupies its header, its payload and a pad byte when the size is odd.
std::uint64_t ChunkEnd(std::uint64_t payload, std::uint32_t size) {
  return payload + size + (size & 1u);
}

}  // namespace

bool RiffReader::Open(const std::string& path) {
  Close();
  // O_NONBLOCK: a FIFO must not hold the open until a writer comes.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
  block_.resize(kBlockBytes);
  Seek(0);
  return true;
}

void RiffReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  position_ = 0;
  size_ = 0;
  blockStart_ = 0;
  blockLength_ = 0;
}

void RiffReader::Seek(std::uint64_t position) { position_ = std::min(position, size_); }

bool RiffReader::Fill(std::uint64_t position) {
  if (position >= blockStart_ && position < blockStart_ + blockLength_) return true;
  blockStart_ = position;
  blockLength_ = 0;
  while (blockLength_ < block_.size()) {
    const ssize_t n = ::pread(fd_, block_.data() + blockLength_, block_.size() - blockLength_,
                              static_cast<off_t>(position + blockLength_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return blockLength_ > 0;
    if (n == 0) break;
    blockLength_ += static_cast<std::size_t>(n);
  }
  return blockLength_ > 0;
}

bool RiffReader::ReadHeader(std::uint32_t& id, std::uint32_t& size) {
  std::array<unsigned char, 8> header{};
  if (Read(header.data(), header.size()) != header.size()) return false;
  id = LittleEndian32(header.data());
  size = LittleEndian32(header.data() + 4);
  return true;
}

std::uint64_t RiffReader::SkipEmptyHeaders(std::uint64_t position, std::uint64_t limit) {
  for (;;) {
    // How many more steps the search may take: each needs the next header to start before limit.
    if (position + 8 >= limit) return position;
    const std::uint64_t stepsAllowed = (limit - position - 1) / 8;
    std::uint64_t zeroEnd = position;  // bytes [position, zeroEnd) are known to be zero
    const off_t data = ::lseek(fd_, static_cast<off_t>(position), SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
      zeroEnd = size_;  // a hole up to the end of the file
    } else if (data > static_cast<off_t>(position)) {
      zeroEnd = static_cast<std::uint64_t>(data);
    } else if (Fill(position)) {
      const unsigned char* at = block_.data() + (position - blockStart_);
      const unsigned char* end = block_.data() + blockLength_;
      while (end - at >= 8 && IsZeroHeader(at)) at += 8;
      zeroEnd = position + static_cast<std::uint64_t>(at - (block_.data() + (position - blockStart_)));
    }
    const std::uint64_t steps = std::min((zeroEnd - position) / 8, stepsAllowed);
    if (steps == 0) return position;
    position += 8 * steps;
  }
}

bool RiffReader::FindRiff(std::uint32_t formType, RiffChunk& riff) {
  if (!IsOpen()) return false;
  Seek(SkipEmptyHeaders(0, size_));
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
    Seek(SkipEmptyHeaders(next, size_));
  }
}

bool RiffReader::FindChunk(std::uint32_t id, const RiffChunk& parent, RiffChunk& chunk) {
  if (!IsOpen()) return false;
  // The parent's payload starts 4 bytes before its first subchunk when it has a form type.
  const std::uint64_t parentStart =
      (parent.id == kRiff || parent.id == kList) ? parent.payload - 4 : parent.payload;
  const std::uint64_t parentEnd = parentStart + parent.size;
  const std::uint64_t limit = std::min(parentEnd, size_);
  if (id != 0) Seek(SkipEmptyHeaders(position_, limit));
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
      Seek(limit);
      return false;
    }
    Seek(id != 0 ? SkipEmptyHeaders(next, limit) : next);
  }
}

void RiffReader::Ascend(const RiffChunk& chunk) { Seek(ChunkEnd(chunk.payload, chunk.size)); }

std::size_t RiffReader::Read(void* destination, std::size_t bytes) {
  if (!IsOpen() || bytes == 0) return 0;
  auto* out = static_cast<unsigned char*>(destination);
  std::size_t done = 0;
  std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, size_ - position_));
  while (done < wanted) {
    if (wanted - done >= block_.size() && !(position_ >= blockStart_ && position_ < blockStart_ + blockLength_)) {
      // A large read (sample data) goes straight to its destination.
      const ssize_t n = ::pread(fd_, out + done, wanted - done, static_cast<off_t>(position_));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
      position_ += static_cast<std::uint64_t>(n);
      continue;
    }
    if (!Fill(position_)) break;
    const std::size_t offset = static_cast<std::size_t>(position_ - blockStart_);
    const std::size_t n = std::min(wanted - done, blockLength_ - offset);
    std::memcpy(out + done, block_.data() + offset, n);
    done += n;
    position_ += n;
  }
  return done;
}

std::size_t RiffReader::Skip(std::size_t bytes) {
  const std::uint64_t target = std::min<std::uint64_t>(position_ + bytes, size_);
  const auto skipped = static_cast<std::size_t>(target - position_);
  Seek(target);
  return skipped;
}

}  // namespace kestu
