// Planned failures of sound-system calls, so that tests can reach every
// message of the sound component. The program never sets one. GUI thread only.
#pragma once

#include <map>
#include <memory>

#include "sound/dsound/types.h"

namespace kestu::ds {

enum class SoundCall {
  SetCooperativeLevel,
  CreatePrimaryBuffer,
  CreateSecondaryBuffer,
  SetFormat,
  DuplicateSoundBuffer,
  Lock,
  Unlock,
  QueryListener3D,
  QueryBuffer3D,
  SetListenerParameters,
  SetBuffer3DParameters,
};

class FaultPlan {
 public:
  // The next `times` calls of `call` fail with `code` (times < 0: every call).
  void Fail(SoundCall call, HRESULT code, int times = -1) { faults_[call] = {code, times}; }
  void Clear() { faults_.clear(); }

  // The planned result of this call: DS_OK, or the code it must fail with.
  HRESULT Take(SoundCall call) {
    auto it = faults_.find(call);
    if (it == faults_.end()) return DS_OK;
    const HRESULT code = it->second.code;
    if (it->second.times > 0 && --it->second.times == 0) faults_.erase(it);
    return code;
  }

 private:
  struct Fault {
    HRESULT code;
    int times;
  };
  std::map<SoundCall, Fault> faults_;
};

// The planned result of `call` under `plan`, which may be null (nothing planned).
inline HRESULT TakeFault(const std::shared_ptr<FaultPlan>& plan, SoundCall call) {
  return plan ? plan->Take(call) : DS_OK;
}

}  // namespace kestu::ds
