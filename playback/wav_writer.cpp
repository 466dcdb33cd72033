#include "playback/wav_writer.h"

#include <array>
#include <vector>

#include "score/errors.h"

namespace kestu {

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutId(std::vector<std::uint8_t>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(id[i]));
}

}  // namespace

WavTooLongError::WavTooLongError()
    : std::runtime_error("演奏が長すぎて、WAVファイルに書ききれません") {}

WavFileWriter::WavFileWriter(const std::string& path, std::uint32_t rate, std::uint16_t channels)
    : path_(path), rate_(rate), channels_(channels) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) throw EFCreateError(path);
  WriteHeader();
}

WavFileWriter::~WavFileWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

void WavFileWriter::WriteHeader() {
  const std::uint32_t blockAlign = 2u * channels_;
  const auto data = static_cast<std::uint32_t>(dataBytes_);
  std::vector<std::uint8_t> header;
  PutId(header, "RIFF");
  PutU32(header, 36 + data);
  PutId(header, "WAVE");
  PutId(header, "fmt ");
  PutU32(header, 16);
  PutU16(header, 1);  // PCM
  PutU16(header, channels_);
  PutU32(header, rate_);
  PutU32(header, rate_ * blockAlign);
  PutU16(header, blockAlign);
  PutU16(header, 16);
  PutId(header, "data");
  PutU32(header, data);
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) throw EFCreateError(path_);
}

void WavFileWriter::Append(const std::int16_t* samples, std::size_t count) {
  if (file_ == nullptr) throw EFCreateError(path_);
  const std::uint64_t bytes = 2ull * count;
  if (dataBytes_ + bytes > kMaxDataBytes) throw WavTooLongError();
  // Little-endian on disk whatever the machine's order.
  std::array<std::uint8_t, 4096> chunk;
  std::size_t done = 0;
  while (done < count) {
    std::size_t n = 0;
    for (; n < chunk.size() / 2 && done + n < count; ++n) {
      const auto v = static_cast<std::uint16_t>(samples[done + n]);
      chunk[2 * n] = static_cast<std::uint8_t>(v);
      chunk[2 * n + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    if (std::fwrite(chunk.data(), 1, 2 * n, file_) != 2 * n) throw EFCreateError(path_);
    done += n;
  }
  dataBytes_ += bytes;
}

void WavFileWriter::Finish() {
  if (file_ == nullptr) throw EFCreateError(path_);
  // 16-bit samples keep the data chunk even: no pad byte is ever needed.
  bool ok = std::fseek(file_, 0, SEEK_SET) == 0;
  if (ok) {
    try {
      WriteHeader();
    } catch (const EFCreateError&) {
      ok = false;
    }
  }
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (!ok) throw EFCreateError(path_);
}

}  // namespace kestu
