// Our own DirectSound-like sound system: a device, a primary buffer that
// sets the mix format, static secondary buffers and their duplicates, and the
// 3-D parameter interfaces. Zero is success. Every method here is GUI-thread
// only; the mixing happens behind it on the output's thread, reached only
// through the mixer's control (sound/mixer/mixer_control.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/dsound/fault_plan.h"
#include "sound/dsound/ref_counted.h"
#include "sound/dsound/types.h"
#include "sound/mixer/mixer_control.h"
#include "sound/output/audio_output.h"

namespace kestu::ds {

class IDirectSound3DListener;
class IDirectSound3DBuffer;

// How a device is made: where its sound goes and which calls must fail.
struct SoundSystemConfig {
  AudioOutputProvider output = DefaultOutputProvider();
  std::shared_ptr<FaultPlan> faults = nullptr;
  // The master stage's DC blocker. The program always has it; tests that tell samples and rates
  // apart by flat, constant levels (which a high-pass would bend) turn it off.
  bool blockDc = true;
};

class IDirectSoundBuffer : public RefCounted {
 public:
  // Primary buffer only: the format the mixer produces.
  HRESULT SetFormat(const WAVEFORMATEX* format);
  HRESULT GetFormat(WAVEFORMATEX* format) const;

  // Secondary buffers only. The whole buffer comes back as the first region;
  // the second is always empty. Refused while the data is shared with a
  // duplicate or is being played, so the mixer never reads half-written data.
  HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* bytes1,
               void** region2, std::uint32_t* bytes2, std::uint32_t flags);
  HRESULT Unlock(void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2);

  // Hz, 100..200000; needs DSBCAPS_CTRLFREQUENCY.
  HRESULT SetFrequency(std::uint32_t frequency);
  HRESULT GetFrequency(std::uint32_t* frequency) const;
  HRESULT SetCurrentPosition(std::uint32_t bytes);
  HRESULT GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) const;
  // Plays once from the current position; looping is not offered.
  HRESULT Play(std::uint32_t reserved, std::uint32_t priority, std::uint32_t flags);
  HRESULT Stop();
  HRESULT GetStatus(std::uint32_t* status) const;
  HRESULT QueryInterface(InterfaceId id, void** object);

  // Inspection for tests and tools.
  bool IsPrimary() const { return primary_; }
  std::uint32_t Flags() const { return flags_; }
  std::uint32_t Bytes() const { return bytes_; }
  std::uint32_t Frequency() const { return frequency_; }
  // The play position in bytes, as GetCurrentPosition gives it.
  std::uint32_t Position() const { return primary_ ? 0 : Frame() * blockAlign_; }
  bool IsPlaying() const;
  // Names who plays through this duplicate, before any other call on it (see MixerVoice::owner).
  void SetOwner(const void* owner);
  // True when both buffers read the very same sample memory.
  bool SharesDataWith(const IDirectSoundBuffer& other) const;

 private:
  friend class IDirectSound;
  IDirectSoundBuffer(std::shared_ptr<MixerControl> core, std::shared_ptr<FaultPlan> faults, bool primary,
                     std::uint32_t flags);
  ~IDirectSoundBuffer() override;
  void SendToVoice(CommandKind kind, std::uint32_t value, std::uint32_t frame, bool playing);
  std::uint32_t Frame() const;

  std::shared_ptr<MixerControl> core_;
  std::shared_ptr<FaultPlan> faults_;
  bool primary_;
  std::uint32_t flags_;
  std::uint32_t bytes_ = 0;
  std::uint32_t frequency_ = 0;
  WAVEFORMATEX format_{};
  std::shared_ptr<std::vector<std::uint8_t>> data_;  // secondary only
  std::shared_ptr<std::vector<float>> planes_;       // secondary only: data_ as the resampler reads it
  MixerVoice* voice_ = nullptr;                       // secondary only; freed by the core
  bool locked_ = false;
  std::uint16_t blockAlign_ = 1;
  // What the last command sent will have made of the voice, until the mixer
  // has applied it and published the real state.
  std::uint32_t serial_ = 0;
  std::uint32_t expectFrame_ = 0;
  bool expectPlaying_ = false;
};

class IDirectSound : public RefCounted {
 public:
  HRESULT SetCooperativeLevel(std::uintptr_t window, std::uint32_t level);
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer);
  // A new buffer over the same sample memory, stopped, at the original's
  // frequency, with its own position, frequency and play state.
  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate);

  std::uint32_t CooperativeLevel() const { return level_; }

  // Beyond the sound system it stands for: buffer calls made from now on
  // belong to steady_clock time `stampNs` and take effect at that time plus
  // the output's lead, at the exact frame; 0 (the default): at once.
  void SetCommandStamp(std::int64_t stampNs);
  // Takes back the buffer calls stamped after `afterNs` that have not taken
  // effect yet, but releases, which still apply without cutting a sound short.
  void WithdrawCommandsAfter(std::int64_t afterNs);
  // How long after its stamp a stamped call is heard, as the output last
  // said; 0 while the output keeps no time.
  std::int64_t StampLeadNs() const;
  // Stamped starts dropped because they came far too late to be played.
  std::uint64_t DroppedStarts() const;
  // Stamped commands that took effect late, and times the output ran dry.
  std::uint64_t LateStarts() const;
  std::uint64_t Underruns() const;
  // Whether an output pulls from the mixer now. An output that stopped for
  // good is closed; ReopenOutput then tries to open one again (a sound server
  // that came back), with every voice silent.
  bool OutputOpen() const;
  bool ReopenOutput();

 private:
  friend HRESULT DirectSoundCreate(const void*, IDirectSound**, void*, const SoundSystemConfig&);
  IDirectSound(std::shared_ptr<MixerControl> core, std::shared_ptr<FaultPlan> faults)
      : core_(std::move(core)), faults_(std::move(faults)) {}
  ~IDirectSound() override;

  std::shared_ptr<MixerControl> core_;
  std::shared_ptr<FaultPlan> faults_;
  std::uint32_t level_ = 0;
  bool hasPrimary_ = false;
};

// A 3-D interface of a buffer: one 64-byte parameter record, read and written
// whole. It holds a reference to its buffer while it lives. `kSetCall` is the
// planned fault its SetAllParameters takes.
template <typename Record, SoundCall kSetCall>
class Parameters3D : public RefCounted {
 public:
  HRESULT GetAllParameters(Record* parameters) const;
  HRESULT SetAllParameters(const Record* parameters, std::uint32_t apply);

 protected:
  Parameters3D(IDirectSoundBuffer* buffer, std::shared_ptr<FaultPlan> faults, const Record& initial);
  ~Parameters3D() override;

 private:
  IDirectSoundBuffer* buffer_;
  std::shared_ptr<FaultPlan> faults_;
  Record parameters_;
};

// The primary buffer's listener.
class IDirectSound3DListener : public Parameters3D<DS3DLISTENER, SoundCall::SetListenerParameters> {
 private:
  friend class IDirectSoundBuffer;
  IDirectSound3DListener(IDirectSoundBuffer* primary, std::shared_ptr<FaultPlan> faults);
  ~IDirectSound3DListener() override = default;
};

// A secondary buffer's position, cones and distances.
class IDirectSound3DBuffer : public Parameters3D<DS3DBUFFER, SoundCall::SetBuffer3DParameters> {
 private:
  friend class IDirectSoundBuffer;
  IDirectSound3DBuffer(IDirectSoundBuffer* buffer, std::shared_ptr<FaultPlan> faults);
  ~IDirectSound3DBuffer() override = default;
};

// Opens the default device (deviceId must be null, outer must be null). Fails
// with DSERR_NODRIVER when the configured output cannot be opened.
HRESULT DirectSoundCreate(const void* deviceId, IDirectSound** device, void* outer,
                          const SoundSystemConfig& config = {});

}  // namespace kestu::ds
