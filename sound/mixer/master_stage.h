// The stage every mixed frame passes before it leaves the mixer: a fixed
// headroom gain, a high-pass far below hearing that takes out the DC a run of
// cut notes leaves (a kick cut every 40 ms never swings back), then a
// look-ahead peak limiter that keeps the sum below full
// scale without clipping it. The live output and the offline render both go
// through it, so a render is what is heard.
//
// The limiter sees kLookaheadFrames frames ahead: its output is the input
// delayed by that much, and its gain has already come down, smoothly, by the
// time a peak leaves the delay. It only acts when the sum would pass the
// ceiling, and recovers over a few tens of milliseconds.
// Audio thread after construction: fixed-size state, no allocation.
#pragma once

#include <array>
#include <cstdint>

namespace kestu::ds {

class MasterStage {
 public:
  // 1.4 ms at the program's 23160 Hz: the extra latency of the live output.
  static constexpr std::uint32_t kLookaheadFrames = 32;
  // Fixed gain on the sum: room for a chord before the limiter has to act.
  static constexpr float kHeadroomGain = 0.5f;
  // The limiter's ceiling on the 16-bit scale: -0.5 dBFS.
  static constexpr float kCeiling = 30934.0f;
  // Corner of the DC blocker: well under the lowest note any row plays.
  static constexpr double kDcCornerHz = 3.0;

  explicit MasterStage(bool blockDc = true) noexcept;
  // Silence in flight and the gain at rest, as after construction.
  void Reset() noexcept;
  // The primary rate, which sets how fast the gain recovers.
  void SetRate(std::uint32_t rate) noexcept;
  // Takes `frames` interleaved stereo frames of the sum and gives as many
  // frames out, kLookaheadFrames behind, every one within the ceiling.
  void Process(const float* in, float* out, std::uint32_t frames) noexcept;

 private:
  static constexpr std::uint32_t kWindow = kLookaheadFrames + 1;

  // One side's first-order high-pass y[n] = x[n] - x[n-1] + pole * y[n-1]; in double, as its
  // pole sits so near 1 that float rounding would add up over the filter's long memory.
  struct DcBlocker {
    double previousIn = 0.0;
    double previousOut = 0.0;
    float Process(float in, double pole) noexcept;
  };

  std::array<float, 2 * kWindow> delayed_{};  // the input frames in flight
  std::array<float, kWindow> required_{};     // gain each of them needs
  std::array<float, kWindow> held_{};         // the released gain, averaged
  float least_ = 1.0f;                        // the least of required_
  double heldSum_ = kWindow;
  float released_ = 1.0f;
  float recovery_ = 0.0f;  // per frame, towards 1
  bool blockDc_;
  double dcPole_ = 1.0;
  DcBlocker dcLeft_;
  DcBlocker dcRight_;
  std::uint32_t at_ = 0;
};

}  // namespace kestu::ds
