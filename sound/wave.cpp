#include "sound/wave.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "sound/ddsd.h"
#include "sound/diagnostics.h"
#include "sound/riff.h"
#include "sound/wave_conversion.h"

namespace kestu {

namespace {

constexpr std::uint32_t kPlainSampleFlags =
    ds::DSBCAPS_STATIC | ds::DSBCAPS_CTRLFREQUENCY | ds::DSBCAPS_CTRLPAN | ds::DSBCAPS_CTRLVOLUME;
constexpr std::uint32_t k3DSampleFlags =
    ds::DSBCAPS_STATIC | ds::DSBCAPS_CTRL3D | ds::DSBCAPS_CTRLFREQUENCY | ds::DSBCAPS_CTRLVOLUME;

constexpr std::size_t kExtensibleChunkBytes = 40;

// A failure that halts the program (the default for its samples) says first, on standard error,
// which file could not be used and why: otherwise the program would just be gone.
void SayBeforeHalting(const std::string& fileName, const std::string& reason) {
  if (HaltSwitch) std::fprintf(stderr, "%s: %s\n", fileName.c_str(), reason.c_str());
}

}  // namespace

TDDSDGenWave::TDDSDGenWave(TDDSD* device, bool is3D, const std::string& fileName) : device_(device) {
  if (device_ != nullptr) device_->samples_.push_back(this);
  try {
    LoadWAV(is3D, fileName);
  } catch (...) {
    // A raised message ends the construction: nothing may stay behind.
    if (buffer_ != nullptr) buffer_->Release();
    if (device_ != nullptr) std::erase(device_->samples_, this);
    throw;
  }
}

TDDSDGenWave::~TDDSDGenWave() {
  if (buffer_ != nullptr) {
    const std::uint32_t left = buffer_->Release();
    buffer_ = nullptr;
    if (device_ != nullptr && device_->DeviceOpen()) {
      try {
        CheckResult(static_cast<std::int32_t>(left), "二次バッファの解放に失敗しました");
      } catch (const std::exception&) {
        // A destructor cannot pass the raise on; the message has been logged.
      }
    }
  }
  if (device_ != nullptr) std::erase(device_->samples_, this);
}

void TDDSDGenWave::FileError(const std::string& message) {
  loadError_ = message;
  DebugMessage(message);
}

void TDDSDGenWave::LoadWAV(bool is3D, const std::string& fileName) {
  buffer_ = nullptr;
  if (device_ == nullptr || !device_->DeviceOpen()) return;

  RiffReader file;  // closed on every way out; refuses what is not a regular file
  if (!file.Open(fileName)) {
    FileError(fileName + "が、見つかりません");
    return;
  }
  RiffChunk riff;
  if (!file.FindRiff(MakeFourCC('W', 'A', 'V', 'E'), riff)) {
    file.Close();
    FileError(fileName + "は、WAVEファイルではありません");
    return;
  }
  RiffChunk chunk;
  if (!file.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, chunk)) {
    file.Close();
    FileError(fileName + "には、fmtチャンクが有りません");
    return;
  }
  // The record takes the chunk's first 18 bytes; the extensible format's sub-format is kept
  // beside it, and anything longer is skipped.
  std::array<unsigned char, kExtensibleChunkBytes> chunkBytes{};
  const std::size_t kept = std::min<std::size_t>(chunk.size, chunkBytes.size());
  std::size_t read = file.Read(chunkBytes.data(), kept);
  if (read == kept) read += file.Skip(chunk.size - kept);
  if (read != chunk.size) {
    file.Close();
    FileError(fileName + "のfmtチャンクが不正です");
    return;
  }
  std::memcpy(&format_, chunkBytes.data(), std::min(kept, sizeof format_));
  file.Ascend(chunk);
  if (!file.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk)) {
    file.Close();
    FileError(fileName + "には、dataチャンクが有りません");
    return;
  }
  // A data chunk that claims more bytes than the file holds (a cut-off or damaged file) gets a
  // buffer of what is there: a header is no reason to allocate gigabytes of silence.
  const std::uint64_t inFile = file.FileSize() > file.Position() ? file.FileSize() - file.Position() : 0;
  const std::uint64_t dataBytes = std::min<std::uint64_t>(chunk.size, inFile);
  std::string problem = RateProblem(format_);
  if (problem.empty()) problem = FrameSizeProblem(format_, chunkBytes.data(), kept);
  if (!problem.empty()) {
    file.Close();
    FileError(fileName + "：" + problem);
    return;
  }
  const SampleEncoding encoding = EncodingOf(format_, chunkBytes.data(), kept);
  if (encoding.kind == SampleEncoding::Kind::AsItStands) {
    dataSize_ = static_cast<std::uint32_t>(dataBytes);
  } else {
    const std::uint64_t frames = ResampledFrames(dataBytes / encoding.FrameBytes(), format_.nSamplesPerSec, encoding.rate);
    fileRate_ = format_.nSamplesPerSec;
    format_ = ConvertedFormat(format_, encoding);
    dataSize_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames * format_.nBlockAlign, UINT32_MAX));
  }
  // A format the sound system cannot play is reported as a missing file is: the sample stays
  // empty, and the program carries on without its notes.
  const std::string formatProblem = FormatProblem(format_, dataSize_);
  if (!formatProblem.empty()) {
    file.Close();
    FileError(fileName + "：" + formatProblem);
    return;
  }

  ds::DSBUFFERDESC desc{};
  desc.dwSize = ds::kBufferDescSize;
  desc.dwFlags = (is3D ? k3DSampleFlags : kPlainSampleFlags) | (device_->StickyFocus ? ds::DSBCAPS_STICKYFOCUS : 0);
  desc.dwBufferBytes = dataSize_;
  desc.lpwfxFormat = &format_;
  const ds::HRESULT created = device_->DirectSound()->CreateSoundBuffer(&desc, &buffer_, nullptr);
  if (created != ds::DS_OK) SayBeforeHalting(fileName, "サウンドバッファの作成に失敗しました");
  CheckResult(created, "サウンドバッファの作成に失敗しました");
  if (buffer_ == nullptr) return;

  void* region1 = nullptr;
  void* region2 = nullptr;
  std::uint32_t bytes1 = 0, bytes2 = 0;
  const ds::HRESULT locked = buffer_->Lock(0, dataSize_, &region1, &bytes1, &region2, &bytes2, 0);
  if (locked != ds::DS_OK) SayBeforeHalting(fileName, "サウンドバッファのロックが失敗しました");
  CheckResult(locked, "LoadWAV中に、サウンドバッファのロックが失敗しました");
  ds::HRESULT unlocked = ds::DSERR_INVALIDCALL;
  if (locked == ds::DS_OK) {
    if (encoding.kind != SampleEncoding::Kind::AsItStands && fileRate_ != format_.nSamplesPerSec) {
      FillBufferResampled(file, encoding, dataBytes, region1, bytes1, region2, bytes2);
    } else {
      FillBuffer(file, encoding, region1, bytes1, region2, bytes2);
    }
    unlocked = buffer_->Unlock(region1, bytes1, region2, bytes2);
    if (unlocked != ds::DS_OK) SayBeforeHalting(fileName, "サウンドバッファのアンロックが失敗しました");
    CheckResult(unlocked, "LoadWAV中に、サウンドバッファのアンロックが失敗しました");
  }
  if (locked != ds::DS_OK || unlocked != ds::DS_OK) {
    // Carrying on after a refused lock or unlock: the sample ends up empty
    // rather than holding a buffer that was never filled.
    buffer_->Release();
    buffer_ = nullptr;
    file.Close();
    return;
  }
  buffer_->SetFrequency(format_.nSamplesPerSec);
  file.Close();
}

void TDDSDGenWave::FillBuffer(RiffReader& file, const SampleEncoding& encoding, void* region1,
                              std::uint32_t bytes1, void* region2, std::uint32_t bytes2) {
  if (encoding.kind == SampleEncoding::Kind::AsItStands) {
    // Straight into the buffer's memory, in file order.
    file.Read(region1, bytes1);
    if (bytes2 != 0) file.Read(region2, bytes2);
    return;
  }
  // Converted a block of frames at a time; frames the file lacks stay silent.
  const std::size_t frameBytes = encoding.FrameBytes();
  const std::size_t outFrameBytes = 2 * encoding.channels;
  std::vector<unsigned char> source(4096 * frameBytes);
  std::vector<std::int16_t> converted(4096 * encoding.channels);
  for (auto [region, bytes] : {std::pair{static_cast<unsigned char*>(region1), bytes1},
                               std::pair{static_cast<unsigned char*>(region2), bytes2}}) {
    std::size_t done = 0;
    while (region != nullptr && done < bytes) {
      const std::size_t frames = std::min<std::size_t>(4096, (bytes - done) / outFrameBytes);
      if (frames == 0) break;
      const std::size_t got = file.Read(source.data(), frames * frameBytes) / frameBytes;
      ConvertToPcm16(encoding, source.data(), got, converted.data());
      std::memcpy(region + done, converted.data(), got * outFrameBytes);
      done += frames * outFrameBytes;
      if (got < frames) break;
    }
  }
}

void TDDSDGenWave::FillBufferResampled(RiffReader& file, const SampleEncoding& encoding, std::uint64_t dataBytes,
                                       void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2) {
  // The whole sound at once: the filter reaches across any block boundary.
  std::vector<unsigned char> source(static_cast<std::size_t>(dataBytes / encoding.FrameBytes() * encoding.FrameBytes()));
  const std::size_t inFrames = file.Read(source.data(), source.size()) / encoding.FrameBytes();
  std::vector<std::int16_t> decoded(inFrames * encoding.channels);
  ConvertToPcm16(encoding, source.data(), inFrames, decoded.data());
  const std::vector<std::int16_t> resampled = Downsample(decoded, encoding.channels, fileRate_, format_.nSamplesPerSec);
  const auto* from = reinterpret_cast<const unsigned char*>(resampled.data());
  const std::size_t available = resampled.size() * sizeof(std::int16_t);
  const std::size_t first = std::min<std::size_t>(bytes1, available);
  std::memcpy(region1, from, first);
  std::memset(static_cast<unsigned char*>(region1) + first, 0, bytes1 - first);
  if (region2 != nullptr && bytes2 != 0) {
    const std::size_t second = std::min<std::size_t>(bytes2, available - first);
    std::memcpy(region2, from + first, second);
    std::memset(static_cast<unsigned char*>(region2) + second, 0, bytes2 - second);
  }
}

TDDSDWaveData::TDDSDWaveData(TDDSD* device, const std::string& fileName) : TDDSDGenWave(device, false, fileName) {}

TDDSDWave3D::TDDSDWave3D(TDDSD* device, const std::string& fileName) : TDDSDGenWave(device, true, fileName) {}

}  // namespace kestu
