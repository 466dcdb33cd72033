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

// Brings the sound to kTargetLufs. Limiting lowers the loudness a little, so level, limit and
// level again until both hold.
// A note is measured as it is heard, alone and followed by silence: a short drum then has the
// same share of quiet blocks as it has when it is played.
double LoudnessAlone(const Signal& sound) {
  Signal alone = sound;
  alone.resize(sound.size() + FramesFor(0.4), 0.0);
  return IntegratedLoudness(alone, kSampleRate);
}

void LevelByLoudness(Signal& sound) {
  const double ceiling = std::pow(10.0, kPeakDbfs / 20.0);
  for (int round = 0; round < 8; ++round) {
    const double loudness = LoudnessAlone(sound);
    if (!std::isfinite(loudness)) return;
    const double gain = std::pow(10.0, (kTargetLufs - loudness) / 20.0);
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
  FadeEnds(sound, ends);
  LevelByLoudness(sound);
  std::vector<std::int16_t> pcm(sound.size());
  for (std::size_t n = 0; n < sound.size(); ++n) {
    const double scaled = std::nearbyint(sound[n] * 32767.0);
    pcm[n] = static_cast<std::int16_t>(std::clamp(scaled, -32767.0, 32767.0));
  }
  return pcm;
}

}  // namespace kestu::synth
