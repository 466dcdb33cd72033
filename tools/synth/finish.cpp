#include "tools/synth/finish.h"

#include <algorithm>
#include <cmath>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/loudness.h"

namespace kestu::synth {

namespace {

void RemoveDc(Signal& sound) {
  // A DC offset would turn every cut-off note into a click; 20 Hz is well below the lowest note.
  Biquad highpass = Biquad::Highpass(20.0, 0.7071);
  for (double& x : sound) x = highpass.Process(x);
}

void FadeEnds(Signal& sound, Ends ends) {
  const std::size_t count = sound.size();
  if (count == 0) return;
  const double last = TimeOf(count - 1);
  const double fade_in = std::max(ends.fade_in, 1.0 / kSampleRate);
  const double fade_out = std::max(ends.fade_out, 1.0 / kSampleRate);
  for (std::size_t n = 0; n < count; ++n) {
    const double t = TimeOf(n);
    sound[n] *= SmoothRise(t, fade_in) * SmoothFall(t, last - fade_out, fade_out);
  }
}

// Level in dB of each 20 ms window, every 10 ms, relative to the loudest window.
std::vector<double> EnvelopeDb(const Signal& sound, std::size_t window, std::size_t hop) {
  std::vector<double> power;
  for (std::size_t start = 0; start + window <= sound.size(); start += hop) {
    double sum = 0.0;
    for (std::size_t n = start; n < start + window; ++n) sum += sound[n] * sound[n];
    power.push_back(sum / static_cast<double>(window));
  }
  const double loudest = power.empty() ? 0.0 : *std::max_element(power.begin(), power.end());
  std::vector<double> db;
  for (double p : power) db.push_back(loudest > 0.0 ? 10.0 * std::log10(std::max(p / loudest, 1e-30)) : -300.0);
  return db;
}

// A note still ringing when its sample ends is damped, as a felt damper or a hand stops a string:
// from the latest moment that still brings it under kTailDb before the last fade, its decay
// quickens smoothly by a time constant of kDamping. Sounds that have died away are left alone.
void DampTail(Signal& sound, double fade_out) {
  constexpr double kDamping = 0.2;     // seconds: 43 dB a second on top of the sound's own decay
  constexpr double kDamperRise = 0.05; // the damper settles over this
  constexpr double kEarliest = 0.3;    // never damp the attack and what a short note holds
  const std::size_t window = FramesFor(0.02), hop = FramesFor(0.01);
  const std::vector<double> envelope = EnvelopeDb(sound, window, hop);
  const double last = TimeOf(sound.size()) - fade_out;
  if (envelope.empty() || last <= kEarliest) return;
  const auto index = std::min(envelope.size() - 1,
                              static_cast<std::size_t>(std::max(0.0, (last - 0.02) * kSampleRate) / hop));
  const double excess = envelope[index] - kTailDb;
  if (excess <= 0.0) return;
  const double dbPerSecond = 20.0 / std::log(10.0) / kDamping;
  double start = last - excess / dbPerSecond - kDamperRise / 2.0;
  double damping = kDamping;
  if (start < kEarliest) {
    // Not enough time at the usual rate: damp faster from the earliest moment allowed.
    start = kEarliest;
    damping = 20.0 / std::log(10.0) * (last - start - kDamperRise / 2.0) / excess;
    if (damping <= 0.0) return;
  }
  double exponent = 0.0;
  for (std::size_t n = 0; n < sound.size(); ++n) {
    exponent += SmoothRise(TimeOf(n) - start, kDamperRise) / (damping * kSampleRate);
    sound[n] *= std::exp(-exponent);
  }
}

double PeakOf(const Signal& sound) {
  double peak = 0.0;
  for (double x : sound) peak = std::max(peak, std::fabs(x));
  return peak;
}

// Holds every peak under `ceiling`: the gain each frame needs, its least over a millisecond either
// side, recovering over 30 ms, then averaged over the same two milliseconds. The average of gains
// that are each at most what a frame needs is at most that too, so no frame passes the ceiling,
// and the gain moves as smooth ramps instead of bending the wave.
void LimitPeaks(Signal& sound, double ceiling) {
  const std::size_t count = sound.size();
  const std::size_t reach = FramesFor(0.001);
  const double recovery = 1.0 - std::exp(-1.0 / (0.03 * kSampleRate));
  std::vector<double> needed(count), held(count);
  for (std::size_t n = 0; n < count; ++n) {
    const double level = std::fabs(sound[n]);
    needed[n] = level > ceiling ? ceiling / level : 1.0;
  }
  double released = 1.0;
  for (std::size_t n = 0; n < count; ++n) {
    double least = 1.0;
    for (std::size_t m = n >= reach ? n - reach : 0; m <= std::min(count - 1, n + reach); ++m) {
      least = std::min(least, needed[m]);
    }
    released = std::min(least, released + (1.0 - released) * recovery);
    held[n] = released;
  }
  for (std::size_t n = 0; n < count; ++n) {
    const std::size_t from = n >= reach ? n - reach : 0, to = std::min(count - 1, n + reach);
    double sum = 0.0;
    for (std::size_t m = from; m <= to; ++m) sum += held[m];
    // Past either end the gain counts as what it is at the end: never more than needed.
    sum += static_cast<double>(2 * reach + 1 - (to - from + 1)) * std::min(held[from], held[to]);
    sound[n] *= sum / static_cast<double>(2 * reach + 1);
  }
}

// Brings the sound to kOnsetLufs over its first kOnsetSeconds. Limiting lowers the loudness a
// little, so level, limit and level again until both hold.
void LevelByOnsetLoudness(Signal& sound) {
  const double ceiling = std::pow(10.0, kPeakDbfs / 20.0);
  for (int round = 0; round < 8; ++round) {
    const double loudness = OnsetLoudness(sound, kSampleRate, kOnsetSeconds);
    if (!std::isfinite(loudness)) return;
    const double gain = std::pow(10.0, (kOnsetLufs - loudness) / 20.0);
    for (double& x : sound) x *= gain;
    if (PeakOf(sound) <= ceiling) return;
    LimitPeaks(sound, ceiling);
  }
  // Still over after the last round's levelling: the ceiling wins over the loudness.
  const double peak = PeakOf(sound);
  if (peak > ceiling) {
    for (double& x : sound) x *= ceiling / peak;
  }
}

}  // namespace

std::vector<std::int16_t> Finish(Signal sound, Ends ends) {
  RemoveDc(sound);
  DampTail(sound, ends.fade_out);
  FadeEnds(sound, ends);
  LevelByOnsetLoudness(sound);
  std::vector<std::int16_t> pcm(sound.size());
  for (std::size_t n = 0; n < sound.size(); ++n) {
    const double scaled = std::nearbyint(sound[n] * 32767.0);
    pcm[n] = static_cast<std::int16_t>(std::clamp(scaled, -32767.0, 32767.0));
  }
  return pcm;
}

}  // namespace kestu::synth
