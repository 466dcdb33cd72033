// COM-like reference counting for the sound system's interfaces.
// GUI thread only: the audio thread never holds or counts references.
#pragma once

#include <cstdint>

namespace kestu::ds {

class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  std::uint32_t AddRef() { return ++references_; }
  // Returns the references left; the object is gone when that is 0.
  std::uint32_t Release() {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  RefCounted() = default;
  virtual ~RefCounted() = default;

 private:
  std::uint32_t references_ = 1;
};

}  // namespace kestu::ds
