// Reading what users may hand the program: the RIFF search over a zero-filled file (written, and
// sparse), and a score followed by megabytes of line ends.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "score/sequence_text.h"
#include "score/text_file.h"
#include "sound/riff.h"

namespace {

std::string ZeroFile(std::int64_t megabytes, bool sparse) {
  const std::string path = "/tmp/kestu-bench-zero-" + std::to_string(::getpid()) + "-" +
                           std::to_string(megabytes) + (sparse ? "s" : "d") + ".bin";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (sparse) {
    if (::ftruncate(::fileno(file), megabytes << 20) != 0) std::perror("ftruncate");
  } else {
    const std::vector<char> block(1 << 20, 0);
    for (std::int64_t i = 0; i < megabytes; ++i) std::fwrite(block.data(), 1, block.size(), file);
  }
  std::fclose(file);
  return path;
}

// Arguments: size in MB, 1 for a sparse file.
void BM_RiffSearchOverZeros(benchmark::State& state) {
  const std::string path = ZeroFile(state.range(0), state.range(1) != 0);
  for (auto _ : state) {
    kestu::RiffReader reader;
    reader.Open(path);
    kestu::RiffChunk riff;
    benchmark::DoNotOptimize(reader.FindRiff(kestu::MakeFourCC('W', 'A', 'V', 'E'), riff));
  }
  ::unlink(path.c_str());
}
BENCHMARK(BM_RiffSearchOverZeros)->Args({100, 0})->Args({100, 1})->Args({2048, 1})->Unit(benchmark::kMillisecond);

void BM_ReadScoreWithLineEnds(benchmark::State& state) {
  const std::string path = "/tmp/kestu-bench-lines-" + std::to_string(::getpid()) + ".ksq";
  {
    kestu::ScoreDocument doc;
    std::ofstream(path, std::ios::binary) << kestu::WriteSequenceText(doc)
                                          << std::string(static_cast<size_t>(state.range(0)) << 20, '\n');
  }
  for (auto _ : state) {
    kestu::ScoreDocument doc;
    benchmark::DoNotOptimize(kestu::ReadSequenceText(doc, kestu::ReadTextFile(path), nullptr));
  }
  ::unlink(path.c_str());
}
BENCHMARK(BM_ReadScoreWithLineEnds)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
