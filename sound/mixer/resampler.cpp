#include "sound/mixer/resampler.h"

#include <algorithm>
#include <cstring>

namespace kestu::ds {

namespace {

constexpr std::uint64_t kOneFrame = std::uint64_t{1} << 32;

template <int Channels>
std::uint32_t MixFiltered(const SampleView& sample, PlayHead& head, const SincTables& tables, float* mix,
                          std::uint32_t limit) noexcept {
  const std::uint64_t end = static_cast<std::uint64_t>(sample.frames) << 32;
  const SincTables::Table& table = tables.ForStep(static_cast<double>(head.step) * 0x1p-32);
  const std::uint32_t taps = table.taps;
  const float* first = sample.planes - (taps / 2 - 1);
  std::uint64_t position = head.position;
  float gain = head.gain;
  float gainStep = head.gainStep;
  std::uint32_t i = 0;
  for (; i < limit && position < end; ++i) {
    const auto frame = static_cast<std::uint32_t>(position >> 32);
    const std::uint64_t phase = (position & 0xFFFFFFFFu) * table.phases;
    const float* row = table.rows + (phase >> 32) * taps;
    const float between = static_cast<float>(static_cast<std::uint32_t>(phase)) * 0x1p-32f;
    const float left = FilterBetweenRows(first + frame, row, taps, between);
    if constexpr (Channels == 2) {
      const float right = FilterBetweenRows(first + sample.planeStride + frame, row, taps, between);
      mix[2 * i] += left * gain;
      mix[2 * i + 1] += right * gain;
    } else {
      mix[2 * i] += left * gain;
      mix[2 * i + 1] += left * gain;
    }
    position += head.step;
    gain += gainStep;
    gainStep += head.gainCurve * (gain - 0.5f);
  }
  head.position = position;
  head.gain = gain;
  head.gainStep = gainStep;
  return i;
}

// At the sample's own rate, on a whole frame, the frames pass unchanged.
template <int Channels>
std::uint32_t MixUnchanged(const SampleView& sample, PlayHead& head, float* mix, std::uint32_t limit) noexcept {
  const auto frame = static_cast<std::uint32_t>(head.position >> 32);
  const std::uint32_t count = std::min(limit, sample.frames - std::min(frame, sample.frames));
  const float* left = sample.planes + frame;
  const float* right = left + (Channels == 2 ? sample.planeStride : 0);
  float gain = head.gain;
  float gainStep = head.gainStep;
  for (std::uint32_t i = 0; i < count; ++i) {
    mix[2 * i] += left[i] * gain;
    mix[2 * i + 1] += right[i] * gain;
    gain += gainStep;
    gainStep += head.gainCurve * (gain - 0.5f);
  }
  head.position += static_cast<std::uint64_t>(count) << 32;
  head.gain = gain;
  head.gainStep = gainStep;
  return count;
}

template <int Channels>
std::uint32_t MixChannels(const SampleView& sample, PlayHead& head, const SincTables& tables, float* mix,
                          std::uint32_t limit) noexcept {
  if (head.step == kOneFrame && (head.position & 0xFFFFFFFFu) == 0) {
    return MixUnchanged<Channels>(sample, head, mix, limit);
  }
  return MixFiltered<Channels>(sample, head, tables, mix, limit);
}

}  // namespace

// The filter is most of the mixer's work: where the processor has them, wider vectors and fused
// multiply-adds (this file is built to contract a * b + c) do it in half the time.
// ThreadSanitizer cannot run the clones' resolver, which runs before it starts; clang takes the
// clones but not together with flatten, and builds only the fuzzers here.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define KESTU_RESAMPLER_CLONES 1
#endif
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#undef KESTU_RESAMPLER_CLONES
#endif
#endif
#ifdef KESTU_RESAMPLER_CLONES
__attribute__((target_clones("arch=x86-64-v3", "default"), flatten))
#endif
void MixResampled(const SampleView& sample, PlayHead& head, const SincTables& tables, float* mix,
                  std::uint32_t frames) noexcept {
  if (sample.frames == 0 || sample.planes == nullptr || head.step == 0) {
    head.active = false;
    return;
  }
  const std::uint32_t limit = head.fadeFrames > 0 ? std::min(frames, head.fadeFrames) : frames;
  const std::uint32_t mixed = sample.channels == 2 ? MixChannels<2>(sample, head, tables, mix, limit)
                                                   : MixChannels<1>(sample, head, tables, mix, limit);
  if (head.fadeFrames > 0) {
    head.fadeFrames -= mixed;
    if (head.fadeFrames == 0) head.active = false;
  }
  if (head.position >= static_cast<std::uint64_t>(sample.frames) << 32) head.active = false;
}

}  // namespace kestu::ds
