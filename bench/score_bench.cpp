// Reading and writing the sequence text of a full score: 960 columns of 3 notes.
#include <benchmark/benchmark.h>

#include "score/sequence_text.h"

namespace {

kestu::ScoreDocument FullScore() {
  kestu::ScoreDocument doc;
  for (int c = 1; c <= kestu::kColumns; ++c) {
    for (int k = 0; k < 3; ++k) doc.PlaceNote(1 + (c + 4 * k) % 13, c, 1 + (c + k) % 15);
  }
  return doc;
}

void BM_WriteSequenceText(benchmark::State& state) {
  const kestu::ScoreDocument doc = FullScore();
  for (auto _ : state) benchmark::DoNotOptimize(kestu::WriteSequenceText(doc));
}
BENCHMARK(BM_WriteSequenceText);

void BM_ReadSequenceText(benchmark::State& state) {
  const std::string text = kestu::WriteSequenceText(FullScore());
  kestu::ScoreDocument doc;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kestu::ReadSequenceText(doc, text, nullptr));
  }
}
BENCHMARK(BM_ReadSequenceText);

}  // namespace
