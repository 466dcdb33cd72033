#include "sound/wave_writer.h"

#include <algorithm>

#include "score/errors.h"

namespace kestu {

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
  const std::vector<std::uint8_t> header = WavHeader(rate_, channels_, static_cast<std::uint32_t>(dataBytes_));
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) throw EFCreateError(path_);
}

void WavFileWriter::Append(const std::int16_t* samples, std::size_t count) {
  if (file_ == nullptr) throw EFCreateError(path_);
  const std::uint64_t bytes = 2ull * count;
  if (dataBytes_ + bytes > kMaxDataBytes) throw WavTooLongError();
  std::vector<std::uint8_t> chunk;
  chunk.reserve(4096);
  for (std::size_t done = 0; done < count; done += 2048) {
    chunk.clear();
    AppendPcm16(chunk, samples + done, std::min<std::size_t>(2048, count - done));
    if (std::fwrite(chunk.data(), 1, chunk.size(), file_) != chunk.size()) throw EFCreateError(path_);
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

void WriteWavFile(const std::string& path, std::uint32_t rate, std::uint16_t channels,
                  const std::vector<std::int16_t>& samples) {
  WavFileWriter writer(path, rate, channels);
  writer.Append(samples.data(), samples.size());
  writer.Finish();
}

}  // namespace kestu
