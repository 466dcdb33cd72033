// A voice: one secondary buffer as the mixer sees it, and the commands that
// drive it. The GUI thread creates a voice and frees it only after the mixer
// has marked it retired; the mixer never touches it after that.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestu::ds {

// The sample memory a voice reads: fixed before the voice reaches the mixer.
struct SampleView {
  const std::uint8_t* bytes = nullptr;
  std::uint32_t frames = 0;
  std::uint16_t channels = 1;  // 1 or 2
  std::uint16_t bits = 16;     // 8 or 16
  // The same frames as floats, one plane per channel `planeStride` apart,
  // each with silence on both sides so the resampler's filter may reach
  // past either end (see SamplePlanes).
  const float* planes = nullptr;
  std::uint32_t planeStride = 0;
};

// A read position moving through the sample; 32.32 fixed-point frames.
struct PlayHead {
  std::uint64_t position = 0;
  std::uint64_t step = 0;
  bool active = false;
  // The gain follows g[n+1] = g[n] + step[n], step[n+1] = step[n] + curve * (g[n+1] - 1/2):
  // constant while step and curve are 0, a raised cosine from 1 to 0 during a fade.
  float gain = 1.0f;
  float gainStep = 0.0f;
  float gainCurve = 0.0f;
  std::uint32_t fadeFrames = 0;  // frames left of the fade; 0: no fade
};

struct MixerVoice {
  // Set by the GUI thread before the voice is first sent; read-only after.
  SampleView sample;
  // GUI thread only: keeps the sample memory alive as long as the voice exists.
  std::shared_ptr<const std::vector<std::uint8_t>> keepAlive;
  std::shared_ptr<const std::vector<float>> keepPlanesAlive;
  // Set by the GUI thread before the voice is first sent: who plays through this voice (a
  // program's channel), so that a sound let ring out is still that owner's to cut. May be null.
  const void* owner = nullptr;

  // Mixer only.
  PlayHead main;
  PlayHead tail;  // what was sounding before a stop, jump or release, fading out
  std::uint32_t frequency = 0;
  bool releasing = false;
  bool listed = false;
  std::uint32_t waiting = 0;  // its commands in the mixer's waiting list
  // Let ring out by a withdraw: it sounds on until its owner's next stop, start or release.
  bool ringingOut = false;

  // Written by the mixer, read by the GUI thread.
  std::atomic<std::uint32_t> appliedSerial{0};
  std::atomic<std::uint32_t> publishedFrame{0};
  std::atomic<bool> publishedPlaying{false};
  std::atomic<bool> publishedReading{false};  // main or tail still reads the data
  std::atomic<bool> retired{false};
};

enum class CommandKind : std::uint8_t { Play, Stop, SetPosition, SetFrequency, Release, SetFormat, Withdraw };

// A Release with this in `value2` lets a sounding voice play to its end
// instead of fading it out (a release kept when the commands before it were withdrawn).
inline constexpr std::uint32_t kReleaseWhenEnded = 1;

// One instruction from the GUI thread to the mixer. SetFormat carries the
// rate in `value` and channels | bits << 16 in `value2`, with no voice.
// Withdraw, with no voice, takes back every waiting command stamped after its
// `stampNs` except releases, which still apply (letting their voice ring out
// until its owner's next stop, start or release cuts it, as it would have been
// had it stayed attached).
struct Command {
  CommandKind kind = CommandKind::Play;
  MixerVoice* voice = nullptr;
  std::uint32_t value = 0;
  std::uint32_t value2 = 0;
  std::uint32_t serial = 0;
  // steady_clock nanoseconds this command belongs to (a playback tick's
  // time); it takes effect at that time plus the output's lead, at the exact
  // frame. 0: at once, with the next block.
  std::int64_t stampNs = 0;
};

}  // namespace kestu::ds
