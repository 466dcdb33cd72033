#include "tools/synth/finish.h"

#include <algorithm>
#include <cmath>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"

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

}  // namespace

std::vector<std::int16_t> Finish(Signal sound, Ends ends) {
  RemoveDc(sound);
  FadeEnds(sound, ends);
  double peak = 0.0;
  for (double x : sound) peak = std::max(peak, std::fabs(x));
  const double gain = peak > 0.0 ? std::pow(10.0, kPeakDbfs / 20.0) * 32767.0 / peak : 0.0;
  std::vector<std::int16_t> pcm(sound.size());
  for (std::size_t n = 0; n < sound.size(); ++n) {
    const double scaled = std::nearbyint(sound[n] * gain);
    pcm[n] = static_cast<std::int16_t>(std::clamp(scaled, -32767.0, 32767.0));
  }
  return pcm;
}

}  // namespace kestu::synth
