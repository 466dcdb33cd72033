#include "view/mouse_editing.h"

#include "playback/column_voicing.h"
#include "sound/ddsd.h"
#include "view/view_geometry.h"

namespace kestu::view {
namespace {

TDDSDGenWave* SampleOf(const EditContext& context, int sample) {
  return context.sampleOf ? context.sampleOf(sample) : nullptr;
}

// The preview channel, fetched anew for every preview: the device hands out its current channel.
TDDSDChannel* PreviewChannel(const EditContext& context) {
  return context.sound != nullptr ? context.sound->GetChannel(kPreviewChannel) : nullptr;
}

// Instruments and the end mark cut off the last preview first, then attach, set the rate and play.
void StopThenPlay(const EditContext& context, int sample, double ratio) {
  TDDSDChannel* channel = PreviewChannel(context);
  if (channel == nullptr) return;
  channel->Stop();
  channel->setWaveData(SampleOf(context, sample));
  channel->SetRateRatio(ratio);
  channel->PlayFromStart();
}

// The eraser attaches and sets the rate first, then stops and plays; the result is the same.
void AttachThenRestart(const EditContext& context, int sample) {
  TDDSDChannel* channel = PreviewChannel(context);
  if (channel == nullptr) return;
  channel->setWaveData(SampleOf(context, sample));
  channel->SetRateRatio(1.0);
  channel->Stop();
  channel->PlayFromStart();
}

}  // namespace

void MainImageMouseDown(Qt::MouseButton button, int x, int y, const EditContext& context) {
  if (context.playing || button != Qt::LeftButton) return;
  const CellPosition cell = SnapToCell(context.scroll, x, y);
  if (cell.column < 1 || cell.row < 1 || cell.row > kRows) return;

  ScoreDocument& document = context.document;
  const int tool = document.CurrentTool;
  if (tool >= 1 && tool <= kInstrumentCount) {
    // A refused placement (full column, same instrument, at or after the end mark) still sounds.
    document.PlaceNote(cell.row, cell.column, tool);
    const Voice voice = VoiceOf(context.pitch, tool, cell.row);
    StopThenPlay(context, voice.sample, voice.ratio);
  } else if (tool == kEndMarkTool) {
    // Column 962, possible on the view's last pixel column at the largest scroll, moves it to 961.
    document.MoveEndMark(cell.column);
    StopThenPlay(context, kEndMarkSample, 1.0);
  } else if (tool == kEraserTool) {
    // The end-mark test comes first, so that no cell beyond the grid is ever read.
    if (cell.column >= document.EndColumn() || cell.column > kColumns) return;
    if (document.Cell(cell.row, cell.column) == 0) return;
    document.EraseNote(cell.row, cell.column);
    AttachThenRestart(context, kEraserSample);
  }
}

}  // namespace kestu::view
