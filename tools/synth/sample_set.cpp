#include "tools/synth/sample_set.h"

#include <stdexcept>

#include "tools/synth/finish.h"
#include "tools/synth/instruments.h"

namespace kestu::synth {

namespace {

struct Recipe {
  const char* description;
  Signal (*make)();
  Ends ends;
};

template <Signal (*Voice)(Register), Register kRegister>
Signal InRegister() {
  return Voice(kRegister);
}

constexpr Register kBase = Register::kBase;
constexpr Register kHigh = Register::kHigh;

Signal Spare1() { return SpareTick(1); }
Signal Spare2() { return SpareTick(2); }
Signal Spare3() { return SpareTick(3); }

// Indexed by sample number - 1. Instruments 1, 2, 4, 5, 6, 12, 13, 14 and 15 have a high-register
// sample (21..29, in the order the voicing tables give them); 3 and 7 to 11 are played re-pitched
// in every row.
const Recipe kRecipes[kSampleCount] = {
    {"1 piano", InRegister<Piano, kBase>, {0.002, 0.03}},
    {"2 music box", InRegister<MusicBox, kBase>, {0.0015, 0.03}},
    {"3 bass drum", BassDrum, {0.0015, 0.03}},
    {"4 trumpet", InRegister<Trumpet, kBase>, {0.003, 0.03}},
    {"5 flute", InRegister<Flute, kBase>, {0.004, 0.03}},
    {"6 guitar", InRegister<Guitar, kBase>, {0.002, 0.03}},
    {"7 snare drum", SnareDrum, {0.0015, 0.03}},
    {"8 hi-hat", HiHat, {0.0015, 0.03}},
    {"9 bass (F2)", Bass, {0.003, 0.03}},
    {"10 marimba", Marimba, {0.003, 0.03}},
    {"11 boing", Boing, {0.003, 0.03}},
    {"12 organ", InRegister<Organ, kBase>, {0.006, 0.03}},
    {"13 strings", InRegister<StringEnsemble, kBase>, {0.01, 0.03}},
    {"14 choir aah", InRegister<Choir, kBase>, {0.01, 0.03}},
    {"15 chip lead", InRegister<ChipLead, kBase>, {0.002, 0.03}},
    {"16 end-mark chime", EndMarkChime, {0.0015, 0.03}},
    {"17 spare tick", Spare1, {0.0015, 0.03}},
    {"18 spare tick", Spare2, {0.0015, 0.03}},
    {"19 spare tick", Spare3, {0.0015, 0.03}},
    {"20 eraser swish", EraserSwish, {0.003, 0.03}},
    {"21 piano, high", InRegister<Piano, kHigh>, {0.002, 0.03}},
    {"22 trumpet, high", InRegister<Trumpet, kHigh>, {0.003, 0.03}},
    {"23 flute, high", InRegister<Flute, kHigh>, {0.004, 0.03}},
    {"24 guitar, high", InRegister<Guitar, kHigh>, {0.002, 0.03}},
    {"25 organ, high", InRegister<Organ, kHigh>, {0.006, 0.03}},
    {"26 choir aah, high", InRegister<Choir, kHigh>, {0.01, 0.03}},
    {"27 chip lead, high", InRegister<ChipLead, kHigh>, {0.002, 0.03}},
    {"28 music box, high", InRegister<MusicBox, kHigh>, {0.0015, 0.03}},
    {"29 strings, high", InRegister<StringEnsemble, kHigh>, {0.01, 0.03}},
};

const Recipe& RecipeFor(int number) {
  if (number < 1 || number > kSampleCount) {
    throw std::out_of_range("no sample number " + std::to_string(number));
  }
  return kRecipes[number - 1];
}

}  // namespace

std::string DescribeSample(int number) { return RecipeFor(number).description; }

std::vector<std::int16_t> RenderSample(int number) {
  const Recipe& recipe = RecipeFor(number);
  return Finish(recipe.make(), recipe.ends);
}

std::string SampleFileName(int number) { return "Sound" + std::to_string(number) + ".wav"; }

}  // namespace kestu::synth
