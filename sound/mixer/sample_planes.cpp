#include "sound/mixer/sample_planes.h"

#include <cstring>

namespace kestu::ds {

namespace {

std::size_t StrideFor(std::uint32_t frames) noexcept { return static_cast<std::size_t>(frames) + 2 * kPlanePadding; }

}  // namespace

std::shared_ptr<std::vector<float>> MakeSamplePlanes(std::uint32_t frames, std::uint16_t channels) {
  return std::make_shared<std::vector<float>>(StrideFor(frames) * channels, 0.0f);
}

void AttachPlanes(SampleView& view, const std::vector<float>& planes) noexcept {
  view.planes = planes.data() + kPlanePadding;
  view.planeStride = static_cast<std::uint32_t>(StrideFor(view.frames));
}

void FillPlanes(const SampleView& view, std::vector<float>& planes) noexcept {
  const std::size_t stride = StrideFor(view.frames);
  for (std::uint16_t c = 0; c < view.channels; ++c) {
    float* plane = planes.data() + c * stride + kPlanePadding;
    for (std::uint32_t i = 0; i < view.frames; ++i) {
      const std::size_t index = static_cast<std::size_t>(i) * view.channels + c;
      if (view.bits == 16) {
        std::int16_t value;
        std::memcpy(&value, view.bytes + 2 * index, sizeof value);
        plane[i] = static_cast<float>(value);
      } else {
        plane[i] = (static_cast<float>(view.bytes[index]) - 128.0f) * 256.0f;
      }
    }
  }
}

}  // namespace kestu::ds
