// Reads one play head through its sample at the head's step, band-limited by
// the polyphase windowed-sinc tables, and adds it to a block of the mix.
// Audio thread: no allocation, no locks.
//
// The filter is centred on the read position and reads the sample ahead of
// it from memory, so a voice starts at exactly the frame it is started in,
// without any delay. Each output frame depends only on the head's position,
// step and gain, so where the blocks are split never changes the sound.
#pragma once

#include <cstdint>

#include "sound/mixer/sinc_table.h"
#include "sound/mixer/mixer_voice.h"

namespace kestu::ds {

// Mixes `head` into interleaved stereo `mix` for up to `frames` frames; a
// head that runs off the sample's end or finishes its fade becomes inactive.
void MixResampled(const SampleView& sample, PlayHead& head, const SincTables& tables, float* mix,
                  std::uint32_t frames) noexcept;

}  // namespace kestu::ds
