// Shared pieces of the sound tests: a private folder for the debug log and
// test files, the process-wide switches reset, WAV files built byte by byte,
// and a device on the offline output.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sound/ddsd.h"
#include "sound/diagnostics.h"
#include "sound/output/offline_output.h"
#include "sound/riff.h"
#include "sound/wave.h"

namespace kestu::test {

// A RIFF file put together chunk by chunk, so tests can break it any way.
class RiffBytes {
 public:
  RiffBytes& Chunk(const std::string& id, const std::vector<std::uint8_t>& payload) {
    Id(id);
    U32(static_cast<std::uint32_t>(payload.size()));
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) bytes_.push_back(0);
    return *this;
  }
  RiffBytes& Raw(const std::vector<std::uint8_t>& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  // The whole as a RIFF form of `form` type.
  std::vector<std::uint8_t> Form(const std::string& form = "WAVE") const {
    RiffBytes out;
    out.Id("RIFF");
    out.U32(static_cast<std::uint32_t>(bytes_.size() + 4));
    out.Id(form);
    out.Raw(bytes_);
    return out.bytes_;
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  static std::vector<std::uint8_t> Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                          std::uint16_t bits, std::size_t size = 16, std::uint16_t cbSize = 0) {
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    RiffBytes f;
    f.U16(tag).U16(channels).U32(rate).U32(rate * align).U16(align).U16(bits);
    if (size >= 18) f.U16(cbSize);
    while (f.bytes_.size() < size) f.bytes_.push_back(0xEE);
    f.bytes_.resize(size);
    return f.bytes_;
  }
  static std::vector<std::uint8_t> Pcm16(const std::vector<std::int16_t>& samples) {
    RiffBytes d;
    for (std::int16_t s : samples) d.U16(static_cast<std::uint16_t>(s));
    return d.bytes_;
  }

  RiffBytes& Id(const std::string& id) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(id[i]));
    return *this;
  }
  RiffBytes& U16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
  }
  RiffBytes& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

inline std::vector<std::uint8_t> MonoWave16(std::uint32_t rate, const std::vector<std::int16_t>& samples) {
  return RiffBytes().Chunk("fmt ", RiffBytes::Format(1, 1, rate, 16)).Chunk("data", RiffBytes::Pcm16(samples)).Form();
}

// A note at one level whose sign flips every frame: it carries no DC, so the master stage's DC
// blocker leaves it whole and no slow tail follows it, and each frame is as loud as the first.
inline std::vector<std::int16_t> FlatNote(std::size_t frames, std::int16_t level = 8000) {
  std::vector<std::int16_t> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>(i % 2 == 0 ? level : -level);
  return samples;
}

// A sawtooth-like ramp that makes every frame distinct.
inline std::vector<std::int16_t> Ramp(std::size_t frames, int step = 7) {
  std::vector<std::int16_t> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>((i * step) % 20000 + 100);
  return samples;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("kestu-sound-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    SetDebugLogFolder(folder_.string());
    ApplyDebugOption(0);
    LogLineCount = 0;
  }
  void TearDown() override {
    SetDebugLogFolder("");
    ApplyDebugOption(0);
    LogLineCount = 0;
    std::error_code ignored;  // a helper thread may still be writing there
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string LogPath() const { return (folder_ / "ddsd.debug").string(); }
  bool LogExists() const { return std::filesystem::exists(LogPath()); }
  // The log as written, CR LF and all.
  std::string LogText() const {
    std::ifstream in(LogPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // A device on `output`, loaded as the program loads it, with these options.
  std::unique_ptr<TDDSD> MakeDevice(OfflineOutput& output, TDDSDDebugOption options = 0,
                                    std::shared_ptr<ds::FaultPlan> faults = nullptr, bool blockDc = true) {
    auto device =
        std::make_unique<TDDSD>(nullptr, ds::SoundSystemConfig{UseOutput(output), std::move(faults), blockDc});
    device->SetDebugOption(options);
    device->Loaded();
    return device;
  }

  std::filesystem::path folder_;
};

// A device on the offline output at the program's rate, with a short flat note on some of its
// channels: the note's first frame is its onset, and it ends long before the next one. `Output`:
// the offline output, or one made from it.
template <class Output = OfflineOutput>
class FlatNoteTest : public SoundTest {
 protected:
  static constexpr std::uint32_t kFlatNoteRate = 23160;

  void SetUpFlatNotes(std::initializer_list<std::uint32_t> channels) {
    SoundTest::SetUp();
    device_ = MakeDevice(output_, dsoDebugMessage);
    device_->SetPrimaryFormat(kFlatNoteRate, 16, true);
    const std::string path = Write("flat.wav", MonoWave16(kFlatNoteRate, FlatNote(200)));
    sample_ = std::make_unique<TDDSDWaveData>(device_.get(), path);
    for (const std::uint32_t channel : channels) {
      device_->GetChannel(channel)->setWaveData(sample_.get());
      device_->GetChannel(channel)->SetRateRatio(1.0);
    }
  }
  void TearDown() override {
    sample_.reset();
    device_.reset();
    SoundTest::TearDown();
  }

  Output output_;
  std::unique_ptr<TDDSD> device_;
  std::unique_ptr<TDDSDWaveData> sample_;
};

}  // namespace kestu::test
