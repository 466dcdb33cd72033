#pragma once
// Sounding one column of the score during playback. The notes of a column go, top row first, onto
// the bank of three channels its parity owns: odd columns on channels 1..3, even columns on 5..7.
// The other bank is then stopped and the new notes start together, so a note rings until its
// sample ends, the next non-empty column of the other parity starts, or a later column of its own
// parity re-attaches its channel. Channel 0 is the editing preview's and channel 4 is never used.
// GUI thread only.
#include <cstdint>

#include "playback/pitch_tables.h"
#include "playback/sample_bank.h"
#include "score/document.h"

namespace kestu {

class TDDSD;

inline constexpr std::uint32_t kPreviewChannel = 0;
inline constexpr std::uint32_t kBankAFirstChannel = 1;  // odd columns: 1, 2, 3
inline constexpr std::uint32_t kBankBFirstChannel = 5;  // even columns: 5, 6, 7
inline constexpr std::uint32_t kBankSize = 3;

// Sounds column playColumn of the score and advances playColumn by 1. A column outside the grid
// sounds nothing. An absent sample leaves its channel empty (and so silent) while still taking its
// place in the bank.
void VoiceColumn(TDDSD& device, const SampleBank& samples, const PitchTables& tables,
                 const ScoreDocument& score, std::int32_t& playColumn);

// Stops both banks, 5, 6, 7 and then 1, 2, 3, as Play does before its first tick.
void StopBothBanks(TDDSD& device);

}  // namespace kestu
