// The sound device component: opens the sound system once its owner has
// loaded, sets the primary format and owns a fixed array of channels. When no
// device can be opened it runs silent: every sound call does nothing.
// GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/channel.h"
#include "sound/component.h"
#include "sound/diagnostics.h"
#include "sound/dsound/dsound.h"
#include "sound/params3d.h"

namespace kestu {

class TDDSDGenWave;

class TDDSD : public TComponent {
 public:
  // `config` chooses the output (RtAudio by default) and planned failures.
  explicit TDDSD(TComponent* owner, ds::SoundSystemConfig config = {});
  ~TDDSD() override;

  // Published properties.
  TDDSDDebugOption DebugOption() const { return debugOption_; }
  void SetDebugOption(TDDSDDebugOption options);
  bool Use3D = false;
  std::uint32_t ChannelCount = 8;
  bool StickyFocus = true;

  void Loaded() override;
  bool OpenDevice();
  void SetPrimaryFormat(std::uint32_t samplesPerSec, std::uint16_t bitsPerSample, bool stereo);
  // The channel at `index`, or none (after a message, and a halt with HaltSwitch).
  TDDSDChannel* GetChannel(std::uint32_t index);

  bool DeviceOpen() const { return deviceOpen_; }

  // Channel calls made from now on belong to steady_clock time `stampNs` (a
  // playback tick's): each takes effect that long before its sound, so notes
  // land on their own time, not on the output's block grid. 0: at once.
  void SetCommandTime(std::int64_t stampNs);
  // Every second or two: an output that stopped for good (its sound server
  // went away) is opened again once it can be, with every channel silent.
  // True while sound goes out.
  bool RestoreOutput();
  // Takes back the channel calls stamped after `stampNs` that have not taken
  // effect yet: their starts, stops and rate changes are forgotten; a sample
  // let go of is still let go of, its sound ringing to its end.
  void WithdrawCommandsAfter(std::int64_t stampNs);
  // How long after its stamp a stamped call is heard, as the output last
  // said: a tick due at t sounds at t plus this. 0 while nothing keeps time.
  std::int64_t StampLeadNs() const;
  // Stamped starts dropped because they came 50 ms or more after their time
  // (the output had stopped, its server paused): never played in a burst.
  std::uint64_t DroppedStarts() const;
  // Stamped commands that sounded late, and times the output ran dry.
  std::uint64_t LateStarts() const;
  std::uint64_t Underruns() const;
  ds::IDirectSound* DirectSound() const { return directSound_; }
  ds::IDirectSoundBuffer* PrimaryBuffer() const { return primaryBuffer_; }
  ds::IDirectSound3DListener* Listener3D() const { return listener3D_; }
  TDDSDListener* Listener() const { return listener_.get(); }

 private:
  friend class TDDSDGenWave;
  void FreeChannels();
  void ReleaseAll();

  TDDSDDebugOption debugOption_ = 0;
  ds::SoundSystemConfig config_;
  bool deviceOpen_ = false;
  ds::IDirectSound* directSound_ = nullptr;
  ds::IDirectSoundBuffer* primaryBuffer_ = nullptr;
  ds::IDirectSound3DListener* listener3D_ = nullptr;
  std::unique_ptr<TDDSDListener> listener_;
  std::vector<std::unique_ptr<TDDSDChannel>> channels_;
  // Samples loaded through this device; told when the device goes first.
  std::vector<TDDSDGenWave*> samples_;
};

// The channel calls made while it lives belong to steady_clock time `stampNs`
// (see TDDSD::SetCommandTime); afterwards calls take effect at once again.
class TimedSoundCalls {
 public:
  TimedSoundCalls(TDDSD& device, std::int64_t stampNs) : device_(device) { device_.SetCommandTime(stampNs); }
  ~TimedSoundCalls() { device_.SetCommandTime(0); }
  TimedSoundCalls(const TimedSoundCalls&) = delete;
  TimedSoundCalls& operator=(const TimedSoundCalls&) = delete;

 private:
  TDDSD& device_;
};

}  // namespace kestu
