#pragma once
// MainImageMouseDown: a press on the score view applies the current tool to the cell under the
// pointer and sounds the preview on channel 0. Only the press acts; nothing is redrawn here (the
// next pointer move shows the change). GUI thread only.
#include <Qt>
#include <functional>

#include "playback/pitch_tables.h"
#include "playback/sample_bank.h"
#include "score/document.h"

namespace kestu {
class TDDSD;
class TDDSDGenWave;
}  // namespace kestu

namespace kestu::view {

struct EditContext {
  ScoreDocument& document;  // edited through its operations; CurrentTool is the tool applied
  bool playing;             // presses are ignored during playback
  int scroll;               // s, the scroll bar's position
  TDDSD* sound;             // the sound device; none means no preview
  // SampleBank entry n (1..29); may give none for a sample that is missing.
  std::function<TDDSDGenWave*(int sample)> sampleOf;
  const PitchTables& pitch;
};

// The lookup of EditContext::sampleOf over the window's bank; the bank must outlive its use.
inline std::function<TDDSDGenWave*(int)> SamplesOf(const SampleBank& bank) {
  return [&bank](int n) -> TDDSDGenWave* { return bank.Sample(n); };
}

void MainImageMouseDown(Qt::MouseButton button, int x, int y, const EditContext& context);

}  // namespace kestu::view
