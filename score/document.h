#pragma once
// The one document the program edits: the note grid, the per-column note counts, the end mark, the
// three playback settings, the file name, the Modified flag and the current tool.
//
// GUI thread only. The window binds its controls to the settings: the tempo bar and the document
// agree through onTempoChange, the loop and time-signature buttons through onSwitchesSet.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace kestu {

inline constexpr int kRows = 13;
inline constexpr int kColumns = 960;
inline constexpr int kMaxNotesPerColumn = 3;
inline constexpr int kNewEndColumn = 961;  // just after the last column
inline constexpr int kMinTempo = 100;
inline constexpr int kMaxTempo = 1500;
inline constexpr int kNewTempo = 250;
inline constexpr int kInstrumentCount = 15;
inline constexpr int kEndMarkTool = 16;
inline constexpr int kEraserTool = 17;
inline constexpr const char* kUntitled = "無題";

class ScoreDocument {
 public:
  ScoreDocument();

  // Rows 1..13 (1 the top and highest), columns 1..960. 0 is empty, 1..15 an instrument.
  int32_t Cell(int row, int column) const { return score_[row - 1][column - 1]; }
  // The number of non-empty cells of a column, kept in the same step as the cells: 0..3.
  int32_t NoteCount(int column) const { return noteCount_[column - 1]; }
  // The column of the end mark, 1..961. Notes show, play and edit only before it.
  int32_t EndColumn() const { return endColumn_; }

  // Editing by tool. Each applies the rules of the grid and sets Modified when it changes a cell
  // (MoveEndMark always sets it). Arguments are 1-based as the view computed them; rows outside
  // 1..13 or columns outside the grid change nothing.
  void PlaceNote(int row, int column, int instrument);
  void MoveEndMark(int column);  // a column above 961 moves the mark to 961
  void EraseNote(int row, int column);
  void ClearScore();

  // Used by the New command and the sequence text reader: no Modified change of their own.
  void SetEndColumn(int32_t column) { endColumn_ = column; }
  void ClearColumn(int column);
  // Stores an instrument decoded for an empty cell and counts it. The reader keeps the invariant.
  void AddDecodedNote(int row, int column, int instrument);

  // The tempo bar: the position clamps into 100..1500. A change of the position is the bar's change:
  // Modified becomes true and onTempoChange runs (the timer period follows it); setting the position
  // it already has changes nothing.
  int32_t Tempo() const { return tempo_; }
  void SetTempo(int32_t position);
  std::function<void()> onTempoChange;

  // The loop switch (LoopBtn down) and the time signature (TimeBtn44 down: 4/4, else 3/4). Setting
  // them here is a setting from code: no click handler runs and Modified does not change. The
  // window shows the new state and faces in onSwitchesSet.
  bool Loop() const { return loop_; }
  void SetLoop(bool down);
  bool Time44() const { return time44_; }
  void SetTime44(bool down);
  std::function<void()> onSwitchesSet;

  // Steps 3..8 of the New command: end mark 961, tempo 250 (through the bar), empty grid, untitled,
  // not modified. The loop switch and the time signature stay as they are.
  void ResetToNew();

  bool Modified = false;
  std::string CurrentFileName = kUntitled;
  int32_t CurrentTool = 1;  // 1..15 instruments, 16 end mark, 17 eraser

 private:
  std::array<std::array<int32_t, kColumns>, kRows> score_{};
  std::array<int32_t, kColumns> noteCount_{};
  int32_t endColumn_ = kNewEndColumn;
  int32_t tempo_ = kNewTempo;
  bool loop_ = false;
  bool time44_ = true;
};

}  // namespace kestu
