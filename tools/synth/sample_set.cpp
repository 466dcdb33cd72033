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
    {"1 piano", InRegister<Piano, kBase>, {0.002, 0.25}},
    {"2 music box", InRegister<MusicBox, kBase>, {0.0015, 0.2}},
    {"3 bass drum", BassDrum, {0.0015, 0.06}},
    {"4 trumpet", InRegister<Trumpet, kBase>, {0.003, 0.05}},
    {"5 flute", InRegister<Flute, kBase>, {0.004, 0.05}},
    {"6 guitar", InRegister<Guitar, kBase>, {0.002, 0.25}},
    {"7 snare drum", SnareDrum, {0.0015, 0.06}},
    {"8 hi-hat", HiHat, {0.0015, 0.05}},
    {"9 bass (F2)", Bass, {0.003, 0.05}},
    {"10 marimba", Marimba, {0.003, 0.15}},
    {"11 boing", Boing, {0.003, 0.1}},
    {"12 organ", InRegister<Organ, kBase>, {0.006, 0.04}},
    {"13 strings", InRegister<StringEnsemble, kBase>, {0.01, 0.05}},
    {"14 choir aah", InRegister<Choir, kBase>, {0.01, 0.05}},
    {"15 chip lead", InRegister<ChipLead, kBase>, {0.002, 0.1}},
    {"16 end-mark chime", EndMarkChime, {0.0015, 0.05}},
    {"17 spare tick", Spare1, {0.0015, 0.05}},
    {"18 spare tick", Spare2, {0.0015, 0.05}},
    {"19 spare tick", Spare3, {0.0015, 0.05}},
    {"20 eraser swish", EraserSwish, {0.003, 0.03}},
    {"21 piano, high", InRegister<Piano, kHigh>, {0.002, 0.2}},
    {"22 trumpet, high", InRegister<Trumpet, kHigh>, {0.003, 0.05}},
    {"23 flute, high", InRegister<Flute, kHigh>, {0.004, 0.05}},
    {"24 guitar, high", InRegister<Guitar, kHigh>, {0.002, 0.2}},
    {"25 organ, high", InRegister<Organ, kHigh>, {0.006, 0.04}},
    {"26 choir aah, high", InRegister<Choir, kHigh>, {0.01, 0.05}},
    {"27 chip lead, high", InRegister<ChipLead, kHigh>, {0.002, 0.1}},
    {"28 music box, high", InRegister<MusicBox, kHigh>, {0.0015, 0.2}},
    {"29 strings, high", InRegister<StringEnsemble, kHigh>, {0.01, 0.05}},
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
