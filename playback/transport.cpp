#include "playback/transport.h"

#include "playback/column_voicing.h"
#include "sound/ddsd.h"

namespace kestu {

Transport::Transport(ScoreDocument& document, TransportTimer& timer, TransportView& view)
    : document_(document), timer_(timer), view_(view) {}

void Transport::ConnectSound(TDDSD* device, const SampleBank* samples, const PitchTables* tables) {
  device_ = device;
  samples_ = samples;
  tables_ = tables;
}

int Transport::IntervalForTempo(int tempo) {
  // The tempo bar keeps 100..1500; a position below 1 cannot come from it and is held at 1 rather
  // than divided by.
  return 30000 / (tempo < 1 ? 1 : tempo);
}

void Transport::SetTimerPeriodFromTempo(int tempo) {
  const int interval = IntervalForTempo(tempo);
  if (timer_.Interval() != interval) timer_.SetInterval(interval);
}

void Transport::PlayBtnClick() {
  view_.SetTransportFaces(kPlayFaceRunning, kStopFaceIdle);
  // A second Play neither restarts nor resumes.
  if (timer_.Enabled()) return;
  PlayColumn = 1;
  PlayStep = 1;
  Playing = true;
  // Whatever a previous run left ringing stops; the preview channel is left alone.
  if (device_ != nullptr) StopBothBanks(*device_);
  timer_.SetEnabled(true);
}

void Transport::StopBtnClick() {
  // Sounding notes ring on to their end.
  timer_.SetEnabled(false);
  Playing = false;
  view_.SetTransportFaces(kPlayFaceIdle, kStopFaceActive);
}

void Transport::TempoBarChange() {
  document_.Modified = true;
  SetTimerPeriodFromTempo(document_.Tempo());
}

void Transport::TimerTimer() {
  if (!view_.LightMode()) {
    view_.SetScrollPosition(PlayStep * 16 - 100);
    view_.RenderPlain();
  }
  if (PlayStep % 2 == 0) {
    if (device_ != nullptr && samples_ != nullptr && tables_ != nullptr) {
      const TimedSoundCalls timed(*device_, timer_.TickDueNs());
      VoiceColumn(*device_, *samples_, *tables_, document_, PlayColumn);
    } else {
      ++PlayColumn;
    }
  }
  ++PlayStep;
  if (document_.EndColumn() - 1 >= PlayColumn) return;

  if (document_.Loop()) {
    PlayColumn = 1;
    PlayStep = 1;
    view_.SetScrollPosition(0);  // in light mode too
  } else {
    StopBtnClick();
    view_.SetStopDown();
  }
}

}  // namespace kestu
