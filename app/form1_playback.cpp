// The transport, the score view's drawing and its mouse, and the palette's preview: the window's
// side of playback and editing.
#include <QAction>
#include <QScrollBar>
#include <QToolButton>

#include "app/form1.h"
#include "assets/images.h"
#include "playback/column_voicing.h"
#include "sound/steady_clock.h"
#include "view/mouse_editing.h"
#include "view/render_score.h"

namespace kestu {

void TForm1::PlayBtnClick() { Playback.PlayBtnClick(); }

void TForm1::StopBtnClick() { Playback.StopBtnClick(); }

void TForm1::TempoBarChange() { Playback.TempoBarChange(); }

void TForm1::TimerTimer() { Playback.TimerTimer(); }

void TForm1::ScrollBarChange() { RenderScore(-1, -1, -1); }

void TForm1::RenderScore(int x, int y, int tool) {
  view::ScoreViewInputs inputs;
  inputs.scroll = ScrollBar->value();
  inputs.playing = Playback.Playing;
  inputs.playStep = Playback.PlayStep;
  inputs.x = x;
  inputs.y = y;
  inputs.tool = tool;
  inputs.viewSize = MainImage_->size();
  MainImage_->SetPicture(view::RenderScore(Document, inputs, numberFont_));
}

void TForm1::MainImageMouseDown(Qt::MouseButton button, int x, int y) {
  const view::EditContext context{Document, Playback.Playing, ScrollBar->value(), DDSD1,
                                  [this](int n) -> TDDSDGenWave* { return Samples.Sample(n); },
                                  Pitch};
  view::MainImageMouseDown(button, x, y, context);
}

void TForm1::MainImageMouseMove(int x, int y) {
  if (!Playback.Playing) RenderScore(x, y, Document.CurrentTool);
}

void TForm1::PreviewTool(int tool) {
  TDDSDChannel* preview = DDSD1->GetChannel(kPreviewChannel);
  if (preview == nullptr) return;
  preview->setWaveData(Samples.Sample(tool));
  preview->Stop();
  preview->PlayFromStart();
}

// How the transport reaches the timer and the window.

void TForm1::SetInterval(int milliseconds) {
  if (Timer->interval() == milliseconds) return;
  Timer->setInterval(milliseconds);  // re-arms a running timer
}

int TForm1::Interval() const { return Timer->interval(); }

void TForm1::SetEnabled(bool enabled) {
  if (enabled) {
    Timer->start();
  } else {
    Timer->stop();
    wake_->stop();
  }
}

void TForm1::WakeAfter(int milliseconds) { wake_->start(milliseconds); }

bool TForm1::Enabled() const { return Timer->isActive(); }

void TForm1::SetScrollPosition(int position) { ScrollBar->setValue(position); }

int TForm1::ScrollPosition() const { return ScrollBar->value(); }

void TForm1::RenderPlain() { RenderScore(-1, -1, -1); }

void TForm1::SetTransportFaces(int playFace, int stopFace) {
  SetFace(PlayBtn, assets::PlayerImages(), playFace);
  SetFace(StopBtn, assets::PlayerImages(), stopFace);
}

void TForm1::SetStopDown() { StopBtn->setChecked(true); }

bool TForm1::LightMode() const { return Lite1->isChecked(); }

}  // namespace kestu
