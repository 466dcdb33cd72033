// Offline playback of a full score: 960 columns of 3 notes at the default tempo, through the
// transport, the column voicing, the sound component and the mixer. "realtime" is seconds of
// sound per second of work: how many times faster than real time the render runs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "playback/offline_render.h"
#include "sound/wave_writer.h"

namespace {

// Our own samples, one second each (as long as the typical program sample): a decaying tone of
// its own pitch per sample, mono, 16 bits, 22050 Hz.
void WriteSamples(const std::filesystem::path& folder) {
  constexpr std::uint32_t rate = 22050, frames = rate;
  std::filesystem::create_directories(folder / "waves");
  for (int n = 1; n <= kestu::kSampleCount; ++n) {
    std::vector<std::int16_t> samples(frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / rate;
      samples[i] = static_cast<std::int16_t>(std::lround(9000.0 * std::exp(-3.0 * t) * std::sin(2.0 * M_PI * (150.0 + 15.0 * n) * t)));
    }
    kestu::WriteWavFile((folder / kestu::SampleBank::FileName(n)).string(), rate, 1, samples);
  }
}

kestu::ScoreDocument FullScore() {
  kestu::ScoreDocument doc;
  for (int c = 1; c <= kestu::kColumns; ++c) {
    for (int k = 0; k < 3; ++k) doc.PlaceNote(1 + (c + 4 * k) % 13, c, 1 + (c + k) % 15);
  }
  return doc;
}

void BM_RenderFullScore(benchmark::State& state) {
  const std::filesystem::path previous = std::filesystem::current_path();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kestu-bench-" + std::to_string(::getpid()));
  WriteSamples(folder);
  std::filesystem::current_path(folder);  // the player reads waves/ from here, as the program does
  auto player = std::make_unique<kestu::OfflinePlayer>();
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(folder);

  const kestu::ScoreDocument doc = FullScore();
  std::uint64_t frames = 0;
  std::int64_t checksum = 0;
  for (auto _ : state) {
    frames += player->Play(doc, 1, [&](const std::int16_t* stereo, std::uint32_t n) {
      checksum += stereo[0] + stereo[2 * n - 1];
    }).frames;
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["realtime"] =
      benchmark::Counter(static_cast<double>(frames) / player->Rate(), benchmark::Counter::kIsRate);
  state.counters["sound_s"] = static_cast<double>(frames) / player->Rate() / state.iterations();
}
BENCHMARK(BM_RenderFullScore)->Unit(benchmark::kMillisecond);

}  // namespace
