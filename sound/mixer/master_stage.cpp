#include "sound/mixer/master_stage.h"

#include <algorithm>
#include <cmath>

namespace kestu::ds {

namespace {

// How fast the gain comes back after a peak.
constexpr double kRecoverySeconds = 0.06;
// In silence, below a thousandth of a 16-bit step the blocker's decaying tail
// is set to zero: silence ends as digital zero, and the filter never runs on
// denormals.
constexpr double kDcFloor = 1e-3;
constexpr double kTwoPi = 6.283185307179586;

}  // namespace

MasterStage::MasterStage(bool blockDc) noexcept : blockDc_(blockDc) {
  Reset();
  SetRate(22050);
}

void MasterStage::Reset() noexcept {
  delayed_.fill(0.0f);
  required_.fill(1.0f);
  held_.fill(1.0f);
  least_ = 1.0f;
  heldSum_ = kWindow;
  released_ = 1.0f;
  at_ = 0;
  dcLeft_ = {};
  dcRight_ = {};
}

float MasterStage::DcBlocker::Process(float in, double pole) noexcept {
  double out = in - previousIn + pole * previousOut;
  if (in == 0.0f && std::fabs(out) < kDcFloor) out = 0.0;
  previousIn = in;
  previousOut = out;
  return static_cast<float>(out);
}

void MasterStage::SetRate(std::uint32_t rate) noexcept {
  const double perSecond = std::max<std::uint32_t>(rate, 1);
  recovery_ = static_cast<float>(1.0 - std::exp(-1.0 / (kRecoverySeconds * perSecond)));
  dcPole_ = std::exp(-kTwoPi * kDcCornerHz / perSecond);
}

// The output frame n is input frame n - L times the mean of the released gain
// over frames n - L .. n. Each of those is at most the least gain required
// within L frames before it, which includes frame n - L's own: so the mean,
// and the output, never exceed what frame n - L needs. The mean also makes
// the gain come down as a smooth ramp over the look-ahead.
void MasterStage::Process(const float* in, float* out, std::uint32_t frames) noexcept {
  for (std::uint32_t i = 0; i < frames; ++i) {
    float left = in[2 * i] * kHeadroomGain;
    float right = in[2 * i + 1] * kHeadroomGain;
    if (blockDc_) {
      left = dcLeft_.Process(left, dcPole_);
      right = dcRight_.Process(right, dcPole_);
    }
    const float peak = std::max(std::fabs(left), std::fabs(right));
    delayed_[2 * at_] = left;
    delayed_[2 * at_ + 1] = right;
    const float required = peak > kCeiling ? kCeiling / peak : 1.0f;
    // The least over the window changes only when a lower gain comes in or the least one leaves.
    const bool leastLeaves = required_[at_] == least_;
    required_[at_] = required;
    if (required <= least_) {
      least_ = required;
    } else if (leastLeaves) {
      least_ = *std::min_element(required_.begin(), required_.end());
    }
    const float least = least_;
    released_ = std::min(least, released_ + (1.0f - released_) * recovery_);
    // The recovery only nears 1; the last hundredth of a decibel is taken in one step, so the
    // stage is exactly transparent again once the peak has passed.
    if (released_ > 0.9988f) released_ = std::min(least, 1.0f);
    heldSum_ += static_cast<double>(released_) - held_[at_];
    held_[at_] = released_;
    const float gain = std::min(1.0f, static_cast<float>(heldSum_ / kWindow));
    at_ = at_ + 1 == kWindow ? 0 : at_ + 1;
    // The slot after the newest holds the oldest frame: input n - L.
    out[2 * i] = delayed_[2 * at_] * gain;
    out[2 * i + 1] = delayed_[2 * at_ + 1] * gain;
  }
}

}  // namespace kestu::ds
