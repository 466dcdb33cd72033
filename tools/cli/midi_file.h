#pragma once
// A Standard MIDI File (format 1) of a score as playback plays it once: one track per instrument
// used, each note at its column's time, its length until playback cuts it off.
#include <cstdint>
#include <string>
#include <vector>

#include "score/document.h"

namespace kestu::midi {

inline constexpr int kTicksPerColumn = 480;  // a column is a quarter note: 4/4 bars are 4 columns

// The General MIDI voice of an instrument: a program on a melodic channel, or a fixed key on the
// percussion channel (channel 10).
struct Instrument {
  int program;    // 0..127, for melodic instruments
  int drumKey;    // the percussion key, or 0 for melodic instruments
  int transpose;  // semitones the instrument sounds from the row's written note (the bass: -24)
};
Instrument InstrumentFor(int instrument);

// The MIDI key of a note in row 1..13: row 9 is F4 (65), by the rows' scale steps.
int KeyOfRow(int row);

// The key the render sounds for `instrument` (1..15) in `row`: the written note, transposed as the
// instrument's sample sounds it; the fixed key for a drum.
int SoundingKey(int instrument, int row);

// The file's bytes.
std::vector<uint8_t> WriteMidi(const ScoreDocument& doc);

}  // namespace kestu::midi
