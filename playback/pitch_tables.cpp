#include "playback/pitch_tables.h"

namespace kestu {

void PitchTables::Fill() {
  // Equal-tempered steps from row 9 (the sample's own pitch), written to three decimals as they
  // are; row 8's 1.123 sits one thousandth above the rounded value.
  PitchRatio = {0.0,   2.245, 2.0,   1.888, 1.682, 1.498, 1.414,
                1.26,  1.123, 1.0,   0.944, 0.841, 0.749, 0.707};
  // Eleven semitones below PitchRatio for rows 1..7: the high samples sound eleven semitones up.
  HighPitchRatio = {0.0, 1.189, 1.059, 1.0, 0.891, 0.794, 0.749, 0.667};
}

int HighRegisterSample(int instrument) {
  switch (instrument) {
    case 1: return 21;
    case 4: return 22;
    case 5: return 23;
    case 6: return 24;
    case 12: return 25;
    case 14: return 26;
    case 15: return 27;
    case 2: return 28;
    case 13: return 29;
    default: return 0;
  }
}

int LastHighRegisterRow(int instrument) { return instrument == 13 ? 7 : 5; }

Voice VoiceOf(const PitchTables& tables, int instrument, int row) {
  const int high = HighRegisterSample(instrument);
  if (high != 0 && row <= LastHighRegisterRow(instrument)) return {high, tables.HighPitchRatio[row]};
  return {instrument, tables.PitchRatio[row]};
}

}  // namespace kestu
