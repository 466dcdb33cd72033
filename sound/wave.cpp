#include "sound/wave.h"

#include <algorithm>
#include <filesystem>

#include "sound/ddsd.h"
#include "sound/diagnostics.h"
#include "sound/riff.h"

namespace kestu {

namespace {

constexpr std::uint32_t kPlainSampleFlags =
    ds::DSBCAPS_STATIC | ds::DSBCAPS_CTRLFREQUENCY | ds::DSBCAPS_CTRLPAN | ds::DSBCAPS_CTRLVOLUME;
constexpr std::uint32_t k3DSampleFlags =
    ds::DSBCAPS_STATIC | ds::DSBCAPS_CTRL3D | ds::DSBCAPS_CTRLFREQUENCY | ds::DSBCAPS_CTRLVOLUME;

// Only regular files: opening a FIFO or a device node could block or never end.
bool OpenRegularFile(RiffReader& reader, const std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error)) return false;
  return reader.Open(fileName);
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

void TDDSDGenWave::LoadWAV(bool is3D, const std::string& fileName) {
  buffer_ = nullptr;
  if (device_ == nullptr || !device_->DeviceOpen()) return;

  RiffReader file;  // closed on every way out
  if (!OpenRegularFile(file, fileName)) {
    DebugMessage(fileName + "が、見つかりません");
    return;
  }
  RiffChunk riff;
  if (!file.FindRiff(MakeFourCC('W', 'A', 'V', 'E'), riff)) {
    file.Close();
    DebugMessage(fileName + "は、WAVEファイルではありません");
    return;
  }
  RiffChunk chunk;
  if (!file.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, chunk)) {
    file.Close();
    DebugMessage(fileName + "には、fmtチャンクが有りません");
    return;
  }
  // A longer format chunk (the extensible format) fills the record; the rest is skipped.
  const std::size_t recordBytes = std::min<std::size_t>(chunk.size, sizeof format_);
  std::size_t read = file.Read(&format_, recordBytes);
  if (read == recordBytes) read += file.Skip(chunk.size - recordBytes);
  if (read != chunk.size) {
    file.Close();
    DebugMessage(fileName + "のfmtチャンクが不正です");
    return;
  }
  file.Ascend(chunk);
  if (!file.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk)) {
    file.Close();
    DebugMessage(fileName + "には、dataチャンクが有りません");
    return;
  }
  // A data chunk that claims more bytes than the file holds (a cut-off or damaged file) gets a
  // buffer of what is there: a header is no reason to allocate gigabytes of silence.
  const std::uint64_t inFile = file.FileSize() > file.Position() ? file.FileSize() - file.Position() : 0;
  dataSize_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk.size, inFile));

  ds::DSBUFFERDESC desc{};
  desc.dwSize = ds::kBufferDescSize;
  desc.dwFlags = (is3D ? k3DSampleFlags : kPlainSampleFlags) | (device_->StickyFocus ? ds::DSBCAPS_STICKYFOCUS : 0);
  desc.dwBufferBytes = dataSize_;
  desc.lpwfxFormat = &format_;
  CheckResult(device_->DirectSound()->CreateSoundBuffer(&desc, &buffer_, nullptr), "サウンドバッファの作成に失敗しました");
  if (buffer_ == nullptr) return;

  void* region1 = nullptr;
  void* region2 = nullptr;
  std::uint32_t bytes1 = 0, bytes2 = 0;
  const ds::HRESULT locked = buffer_->Lock(0, dataSize_, &region1, &bytes1, &region2, &bytes2, 0);
  CheckResult(locked, "LoadWAV中に、サウンドバッファのロックが失敗しました");
  ds::HRESULT unlocked = ds::DSERR_INVALIDCALL;
  if (locked == ds::DS_OK) {
    file.Read(region1, bytes1);
    if (bytes2 != 0) file.Read(region2, bytes2);
    unlocked = buffer_->Unlock(region1, bytes1, region2, bytes2);
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

TDDSDWaveData::TDDSDWaveData(TDDSD* device, const std::string& fileName) : TDDSDGenWave(device, false, fileName) {}

TDDSDWave3D::TDDSDWave3D(TDDSD* device, const std::string& fileName) : TDDSDGenWave(device, true, fileName) {}

}  // namespace kestu
