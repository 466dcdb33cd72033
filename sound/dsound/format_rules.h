// Which wave formats the mixer takes.
#pragma once

#include "sound/dsound/types.h"

namespace kestu::ds {

// PCM, 8 or 16 bits, 1 or 2 channels, 100..200000 frames per second.
inline bool IsMixablePcm(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && (format.nChannels == 1 || format.nChannels == 2) &&
         (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
         format.nSamplesPerSec >= DSBFREQUENCY_MIN && format.nSamplesPerSec <= DSBFREQUENCY_MAX;
}

// Block align and bytes per second agree with channels, bits and rate.
inline bool HasConsistentRates(const WAVEFORMATEX& format) {
  const unsigned blockAlign = format.nChannels * (format.wBitsPerSample / 8u);
  return format.nBlockAlign == blockAlign &&
         format.nAvgBytesPerSec == static_cast<std::uint64_t>(blockAlign) * format.nSamplesPerSec;
}

}  // namespace kestu::ds
