// A small choir singing "aah": a glottal source through a cascade of formant resonators.
#include <cmath>

#include "tools/synth/biquad.h"
#include "tools/synth/envelope.h"
#include "tools/synth/instruments.h"
#include "tools/synth/noise.h"

namespace kestu::synth {

namespace {

// Two-pole resonator with unity gain at DC, the building block of a cascade formant filter: in
// series they give the vowel's peaks at the right relative heights by themselves.
class Formant {
 public:
  Formant(double centre_hz, double bandwidth_hz) {
    const double r = std::exp(-kPi * bandwidth_hz / kSampleRate);
    const double c = std::cos(kTwoPi * centre_hz / kSampleRate);
    a1_ = 2.0 * r * c;
    a2_ = -r * r;
    gain_ = 1.0 - a1_ - a2_;
  }
  double Process(double x) {
    const double y = gain_ * x + a1_ * y1_ + a2_ * y2_;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double a1_, a2_, gain_;
  double y1_ = 0.0, y2_ = 0.0;
};

}  // namespace

Signal Choir(Register reg) {
  const bool high = reg == Register::kHigh;
  const double f0 = PitchOf(reg);
  const double seconds = high ? 1.1 : 1.4;
  Signal out(FramesFor(seconds));
  struct Singer {
    double detune_cents;
    double vibrato_hz;
    double vibrato_phase;
  };
  const Singer singers[] = {{-5.0, 5.3, 0.0}, {0.0, 5.7, 2.2}, {5.0, 5.0, 4.1}};
  double phases[3] = {0.0, 0.3, 0.6};  // nearly together: the section speaks at once, then drifts apart
  Noise noise(101 + static_cast<int>(high));
  const HeldNote envelope{0.03, 0.4, 0.9, seconds - 0.2, 0.18};
  const double kHighestHz = high ? 8000.0 : 5000.0;
  // "a" as an alto sings it, and as sopranos do up high: their first formants rise with the note
  // and open wider, so the section speaks at once and its harmonics never wander in and out of a
  // narrow peak. Played down to meet the altos at the register's seam, the vowel matches theirs.
  const double alto[4][2] = {{800, 80}, {1150, 90}, {2800, 120}, {3500, 130}};
  const double soprano[4][2] = {{1150, 220}, {1650, 240}, {3600, 280}, {4600, 320}};
  const auto& vowel = high ? soprano : alto;
  Formant tract[4] = {Formant(vowel[0][0], vowel[0][1]), Formant(vowel[1][0], vowel[1][1]),
                      Formant(vowel[2][0], vowel[2][1]), Formant(vowel[3][0], vowel[3][1])};
  Biquad breath_band = Biquad::Highpass(1500.0, 0.7);
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double t = TimeOf(n);
    double source = 0.0;
    for (int s = 0; s < 3; ++s) {
      const Singer& singer = singers[s];
      const double vibrato = (high ? 10.0 : 14.0) * SmoothRise(t - 0.2, 0.3) *
                             std::sin(kTwoPi * singer.vibrato_hz * t + singer.vibrato_phase);
      // Each singer wanders a few cents about the note, slowly and in a way of their own.
      const double wander = 2.0 * std::sin(kTwoPi * (0.7 + 0.23 * s) * t + s) +
                            1.0 * std::sin(kTwoPi * 1.9 * t + 2.0 * s);
      const double hz = f0 * CentsToRatio(singer.detune_cents + vibrato + wander);
      phases[s] += kTwoPi * hz / kSampleRate;
      // The glottal pulse train with lip radiation falls about 6 dB an octave. Each singer's
      // harmonics keep phases of their own, so the voices never line up into one tall spike.
      for (int k = 1; k * hz < kHighestHz; ++k) source += std::sin(k * phases[s] + 2.399 * k * s) / k;
    }
    source += 0.4 * breath_band.Process(noise.Next());
    double voiced = envelope(t) * source;
    for (Formant& f : tract) voiced = f.Process(voiced);
    out[n] = voiced;
  }
  return out;
}

}  // namespace kestu::synth
