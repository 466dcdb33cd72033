// Mixing cost: seven voices at different ratios into the program's primary
// format, on the program's sound component. Items are output frames.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "playback/program_sound.h"
#include "sound/ddsd.h"
#include "sound/output/offline_output.h"
#include "sound/wave.h"
#include "sound/wave_writer.h"

namespace {

// One second of a mono 16-bit tone at 22050 Hz, written as a WAV file.
std::string WriteToneFile() {
  const std::uint32_t rate = 22050;
  std::vector<std::int16_t> samples(rate);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(9000.0 * std::sin(2.0 * M_PI * 440.0 * i / rate));
  }
  const std::string path = (std::filesystem::temp_directory_path() / "kestu-bench-tone.wav").string();
  kestu::WriteWavFile(path, rate, 1, samples);
  return path;
}

void BM_Mix7Voices(benchmark::State& state) {
  const std::string path = WriteToneFile();
  kestu::OfflineOutput output;
  kestu::ProgramSound sound;
  kestu::TDDSD& device = *sound.OpenDevice(nullptr, kestu::UseOutput(output));
  sound.SetPrimaryFormat();
  kestu::TDDSDWaveData wave(&device, path);
  std::filesystem::remove(path);
  if (!device.DeviceOpen() || wave.Buffer() == nullptr) {
    state.SkipWithError("no sample");
    return;
  }
  const double ratios[7] = {0.5, 0.667, 0.749, 1.0, 1.122, 1.498, 2.245};
  const std::uint32_t channels[7] = {1, 2, 3, 5, 6, 7, 0};
  for (int v = 0; v < 7; ++v) {
    kestu::TDDSDChannel* channel = device.GetChannel(channels[v]);
    channel->setWaveData(&wave);
    channel->SetRateRatio(ratios[v]);
    channel->PlayFromStart();
  }
  constexpr std::uint32_t kFrames = 256;
  std::vector<std::int16_t> block(2 * kFrames);
  for (auto _ : state) {
    output.RenderInto(block.data(), kFrames);
    benchmark::DoNotOptimize(block.data());
    // Keep all seven sounding: a one-shot voice that ended starts again.
    for (std::uint32_t c : channels) {
      kestu::TDDSDChannel* channel = device.GetChannel(c);
      if (!channel->Buffer()->IsPlaying()) channel->PlayFromStart();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kFrames);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrames / static_cast<double>(kestu::kPrimaryRate), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Mix7Voices);

}  // namespace
