#pragma once
// Second-order filter sections (the usual audio cookbook shapes), transposed direct form II.
namespace kestu::synth {

class Biquad {
 public:
  static Biquad Lowpass(double hz, double q);
  static Biquad Highpass(double hz, double q);
  // Band-pass with 0 dB gain at its centre.
  static Biquad Bandpass(double hz, double q);
  static Biquad Peaking(double hz, double q, double gain_db);

  double Process(double x) {
    const double y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return y;
  }

  // Takes another section's coefficients and keeps this one's state, for filters that sweep.
  void Retune(const Biquad& shape) {
    b0_ = shape.b0_;
    b1_ = shape.b1_;
    b2_ = shape.b2_;
    a1_ = shape.a1_;
    a2_ = shape.a2_;
  }

 private:
  Biquad(double b0, double b1, double b2, double a0, double a1, double a2);

  double b0_, b1_, b2_, a1_, a2_;
  double z1_ = 0.0, z2_ = 0.0;
};

// One-pole low-pass, for smoothing control curves and gentle tone shaping.
class OnePoleLowpass {
 public:
  explicit OnePoleLowpass(double hz);
  double Process(double x) {
    state_ += coefficient_ * (x - state_);
    return state_;
  }

 private:
  double coefficient_;
  double state_ = 0.0;
};

}  // namespace kestu::synth
