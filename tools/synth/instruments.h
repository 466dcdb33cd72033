#pragma once
// The instrument voices. A pitched voice takes its register: the base sample sounds F4 and the
// high one E5, a little brighter and shorter, as the same instrument played higher.
#include "tools/synth/signal.h"

namespace kestu::synth {

// Keyboards (keyboards.cpp)
Signal Piano(Register reg);
Signal Organ(Register reg);

// Struck metal and wood (mallets.cpp)
Signal MusicBox(Register reg);
Signal Marimba();

// Winds and the chip lead (winds.cpp)
Signal Trumpet(Register reg);
Signal Flute(Register reg);
Signal ChipLead(Register reg);

// Strings (strings.cpp)
Signal Guitar(Register reg);
Signal StringEnsemble(Register reg);
Signal Bass();  // sounds F2, two octaves under the staff's F4, as a bass part is read

// A sung "aah" (voice.cpp)
Signal Choir(Register reg);

// Drums (drums.cpp)
Signal BassDrum();
Signal SnareDrum();
Signal HiHat();

// Effects and the tools' sounds (effects.cpp)
Signal Boing();
Signal EndMarkChime();
Signal EraserSwish();
Signal SpareTick(int which);  // the files that are loaded but never sounded

}  // namespace kestu::synth
