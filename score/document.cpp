#include "score/document.h"

#include <algorithm>

namespace kestu {

namespace {

bool InGrid(int row, int column) {
  return row >= 1 && row <= kRows && column >= 1 && column <= kColumns;
}

}  // namespace

ScoreDocument::ScoreDocument() = default;

void ScoreDocument::PlaceNote(int row, int column, int instrument) {
  if (!InGrid(row, column) || column >= endColumn_) return;
  if (instrument < 1 || instrument > kInstrumentCount) return;
  int32_t& cell = score_[row - 1][column - 1];
  int32_t& count = noteCount_[column - 1];
  if (cell == instrument) return;
  if (cell == 0) {
    if (count >= kMaxNotesPerColumn) return;  // a full column takes no fourth note
    ++count;
  }
  cell = instrument;
  Modified = true;
}

void ScoreDocument::MoveEndMark(int column) {
  endColumn_ = std::clamp(column, 1, kNewEndColumn);
  Modified = true;
}

void ScoreDocument::EraseNote(int row, int column) {
  if (!InGrid(row, column) || column >= endColumn_) return;
  int32_t& cell = score_[row - 1][column - 1];
  if (cell == 0) return;
  cell = 0;
  --noteCount_[column - 1];
  Modified = true;
}

void ScoreDocument::ClearScore() {
  for (auto& row : score_) row.fill(0);
  noteCount_.fill(0);
}

void ScoreDocument::ClearColumn(int column) {
  for (auto& row : score_) row[column - 1] = 0;
  noteCount_[column - 1] = 0;
}

void ScoreDocument::AddDecodedNote(int row, int column, int instrument) {
  score_[row - 1][column - 1] = instrument;
  ++noteCount_[column - 1];
}

void ScoreDocument::SetTempo(int32_t position) {
  position = std::clamp(position, kMinTempo, kMaxTempo);
  if (position == tempo_) return;
  tempo_ = position;
  Modified = true;
  if (onTempoChange) onTempoChange();
}

void ScoreDocument::SetLoop(bool down) {
  loop_ = down;
  if (onSwitchesSet) onSwitchesSet();
}

void ScoreDocument::SetTime44(bool down) {
  time44_ = down;
  if (onSwitchesSet) onSwitchesSet();
}

void ScoreDocument::ResetToNew() {
  endColumn_ = kNewEndColumn;
  SetTempo(kNewTempo);
  ClearScore();
  CurrentFileName = kUntitled;
  Modified = false;
}

}  // namespace kestu
