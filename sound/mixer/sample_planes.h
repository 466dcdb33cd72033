// A sample's frames as the resampler reads them: floats, one plane per
// channel, with SincTables::kReach frames of silence before and after each
// plane so that the filter never needs a bounds check. Made and refilled on
// the GUI thread, while no voice reads them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/mixer/sinc_table.h"
#include "sound/mixer/mixer_voice.h"

namespace kestu::ds {

constexpr std::uint32_t kPlanePadding = SincTables::kReach;

// Silent planes for `frames` frames of `channels` channels; throws std::bad_alloc.
std::shared_ptr<std::vector<float>> MakeSamplePlanes(std::uint32_t frames, std::uint16_t channels);

// Points `view` at `planes` (made by MakeSamplePlanes for the view's frames and channels).
void AttachPlanes(SampleView& view, const std::vector<float>& planes) noexcept;

// Copies the view's PCM bytes into its planes, as floats on the 16-bit scale.
void FillPlanes(const SampleView& view, std::vector<float>& planes) noexcept;

}  // namespace kestu::ds
