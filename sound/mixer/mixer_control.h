// The GUI thread's side of one open device: the output, the mixer it pulls
// from, the commands on their way and the voices waiting for the mixer to let
// go of them. Buffers share it, so it lives until the last buffer is gone.
// GUI thread only.
#pragma once

#include <memory>
#include <vector>

#include "sound/dsound/fault_plan.h"
#include "sound/mixer/mixer.h"
#include "sound/mixer/mixer_voice.h"
#include "sound/output/audio_output.h"

namespace kestu::ds {

class DeviceCore {
 public:
  DeviceCore(std::shared_ptr<AudioOutput> output, std::shared_ptr<FaultPlan> faults);
  ~DeviceCore();
  DeviceCore(const DeviceCore&) = delete;
  DeviceCore& operator=(const DeviceCore&) = delete;

  bool OpenOutput();
  // The device was released: the output stops, so no voice is read any more.
  void CloseOutput();
  // Open and still pulled from; an output that stopped for good is closed here.
  bool IsOpen();

  HRESULT Fault(SoundCall call) { return faults_ ? faults_->Take(call) : DS_OK; }
  const std::shared_ptr<FaultPlan>& Faults() const { return faults_; }

  MixerVoice* NewVoice(std::shared_ptr<const std::vector<std::uint8_t>> data,
                 std::shared_ptr<const std::vector<float>> planes, const SampleView& view);
  // Hands the voice back: it is freed once the mixer has retired it.
  void ReleaseVoice(MixerVoice* voice, std::uint32_t serial);
  void Send(const Command& command);
  // Commands sent from now on carry this stamp (0: at once). Stamps never go
  // backwards, so that the mixer meets them in order.
  void SetStamp(std::int64_t stampNs);
  // Takes back every waiting command stamped after `afterNs` but releases; stamps from here on
  // may start again from that time.
  void Withdraw(std::int64_t afterNs);
  std::uint64_t LateStarts() const { return mixer_->LateStarts(); }
  std::uint64_t DroppedStarts() const { return mixer_->DroppedStarts(); }
  std::int64_t StampLeadNs() const { return open_ ? mixer_->StampLeadNs() : 0; }
  std::uint64_t Underruns() const;
  // After the output stopped for good: a new one, with the mixer reset.
  bool ReopenOutput();
  void SetFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits);
  // Frees the voices the mixer has retired.
  void Collect();

  std::size_t VoicesAwaitingRetirement() const { return graveyard_.size(); }

 private:
  std::shared_ptr<AudioOutput> output_;
  std::shared_ptr<FaultPlan> faults_;
  std::unique_ptr<Mixer> mixer_;
  bool open_ = false;
  bool everOpen_ = false;
  std::uint32_t rate_ = Mixer::kDefaultRate;
  std::int64_t stampNs_ = 0;
  std::int64_t lastStampNs_ = 0;
  std::vector<MixerVoice*> graveyard_;
};

}  // namespace kestu::ds
