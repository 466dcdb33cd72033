#include "bench/latency/session.h"

#include <QEventLoop>
#include <QFont>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <random>

#include "playback/tick_schedule.h"
#include "playback/transport.h"
#include "sound/output/audio_output.h"
#include "view/mouse_editing.h"
#include "view/render_score.h"
#include "view/view_geometry.h"

namespace kestu::latency {

namespace {

int Milliseconds(double seconds) { return static_cast<int>(seconds * 1000.0 + 0.5); }

// The window's playback timer: a QTimer with Qt::PreciseTimer, re-armed by a new interval, that
// knows when each of its ticks was due, as the window's does.
class PreciseTransportTimer : public TransportTimer {
 public:
  PreciseTransportTimer() { timer_.setTimerType(Qt::PreciseTimer); }
  void SetInterval(int milliseconds) override {
    if (timer_.interval() == milliseconds) return;
    const std::int64_t now = SteadyNowNs();
    timer_.setInterval(milliseconds);
    if (timer_.isActive()) schedule_.Arm(now, milliseconds);
  }
  int Interval() const override { return timer_.interval(); }
  void SetEnabled(bool enabled) override {
    if (!enabled) {
      timer_.stop();
      return;
    }
    const std::int64_t now = SteadyNowNs();
    timer_.start();
    schedule_.Arm(now, timer_.interval());
  }
  bool Enabled() const override { return timer_.isActive(); }
  std::int64_t TickDueNs() const override { return schedule_.DueNs(); }
  // At a tick's start, before the transport's.
  void Ticked(std::int64_t nowNs) { schedule_.OnTick(nowNs); }
  QTimer& Underlying() { return timer_; }

 private:
  QTimer timer_;
  TickSchedule schedule_;
};

// The window's side of a tick: the scroll bar redraws the view when its value changes, and the
// tick redraws it once more, each time the whole picture into an off-screen image.
class OffscreenView : public TransportView {
 public:
  OffscreenView(const ScoreDocument& document, bool light) : document_(document), light_(light) {}
  void Follow(const Transport& transport) { transport_ = &transport; }

  void SetScrollPosition(int position) override {
    position = std::clamp(position, 0, kScrollBarMax);
    if (position == scroll_) return;
    scroll_ = position;
    Render();
  }
  int ScrollPosition() const override { return scroll_; }
  void RenderPlain() override { Render(); }
  void SetTransportFaces(int, int) override {}
  void SetStopDown() override {}
  bool LightMode() const override { return light_; }

 private:
  void Render() {
    view::ScoreViewInputs inputs;
    inputs.scroll = scroll_;
    inputs.playing = transport_ != nullptr && transport_->Playing;
    inputs.playStep = transport_ != nullptr ? transport_->PlayStep : 0;
    picture_ = view::RenderScore(document_, inputs, font_);
  }

  const ScoreDocument& document_;
  bool light_;
  const Transport* transport_ = nullptr;
  int scroll_ = 0;
  QFont font_ = view::DefaultNumberFont();
  QImage picture_;
};

// Quits `loop` after `seconds` at the latest, whatever else happens.
void Bound(QEventLoop& loop, QTimer& guard, double seconds) {
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(Milliseconds(seconds));
}

void RunPresses(const SessionPlan& plan, TDDSD& sound, const SampleBank& samples, const PitchTables& pitch,
                SessionResult& result) {
  if (plan.presses <= 0) return;
  ScoreDocument document;
  document.CurrentTool = plan.instrument;
  const view::EditContext context{document, false, 0, &sound, view::SamplesOf(samples), pitch};
  std::mt19937 random(plan.seed);
  std::uniform_real_distribution<double> gap(plan.minGapSeconds, plan.maxGapSeconds);
  result.presses.reserve(static_cast<std::size_t>(plan.presses));

  QEventLoop loop;
  QTimer next;
  next.setSingleShot(true);
  next.setTimerType(Qt::PreciseTimer);
  QObject::connect(&next, &QTimer::timeout, [&] {
    const int n = static_cast<int>(result.presses.size());
    // Columns 1..9 of the view at scroll 0, the cell's middle: the press places or refuses a note
    // and sounds it either way.
    const int column = 1 + n % 9;
    const int x = static_cast<int>(view::ColumnX(column, 0));
    const int y = view::NoteTop(plan.row) + 8;
    TimedEvent press{SteadyNowNs(), 0};
    view::MainImageMouseDown(Qt::LeftButton, x, y, context);
    press.endNs = SteadyNowNs();
    result.presses.push_back(press);
    if (static_cast<int>(result.presses.size()) < plan.presses) {
      next.start(Milliseconds(gap(random)));
    } else {
      QTimer::singleShot(Milliseconds(plan.maxGapSeconds), &loop, &QEventLoop::quit);
    }
  });
  QTimer guard;
  Bound(loop, guard, plan.presses * plan.maxGapSeconds + 5);
  next.start(Milliseconds(gap(random)));
  loop.exec();
}

void RunPlayback(const SessionPlan& plan, TDDSD& sound, const SampleBank& samples, const PitchTables& pitch,
                 SessionResult& result) {
  ScoreDocument document;
  document.SetTempo(plan.tempo);
  int last = 1;
  for (int k = 0; k < plan.soundingColumns; ++k) {
    last = 1 + k * plan.columnSpacing;
    document.PlaceNote(plan.row, last, plan.instrument);
  }
  document.MoveEndMark(last + 1);  // the transport stops right after the last note

  PreciseTransportTimer timer;
  OffscreenView view(document, plan.lightMode);
  Transport transport(document, timer, view);
  view.Follow(transport);
  transport.ConnectSound(&sound, &samples, &pitch);
  transport.SetTimerPeriodFromTempo(document.Tempo());
  result.intervalMs = timer.Interval();
  result.ticks.reserve(static_cast<std::size_t>(2 * last + 4));

  QEventLoop loop;
  QObject::connect(&timer.Underlying(), &QTimer::timeout, [&] {
    Tick tick{};
    tick.beginNs = SteadyNowNs();
    timer.Ticked(tick.beginNs);
    tick.dueNs = timer.TickDueNs();
    tick.step = transport.PlayStep;
    tick.column = tick.step % 2 == 0 ? transport.PlayColumn : 0;
    transport.TimerTimer();
    tick.endNs = SteadyNowNs();
    tick.sounds = tick.column >= 1 && tick.column <= kColumns && document.NoteCount(tick.column) > 0;
    result.ticks.push_back(tick);
    if (!transport.Playing) QTimer::singleShot(600, &loop, &QEventLoop::quit);  // the last note rings out
  });
  QTimer guard;
  Bound(loop, guard, 2.0 * last * result.intervalMs / 1000.0 * 1.5 + 5);
  transport.PlayBtnClick();
  loop.exec();
  transport.StopBtnClick();
}

}  // namespace

double PlannedSeconds(const SessionPlan& plan) {
  const double presses = plan.presses * (plan.minGapSeconds + plan.maxGapSeconds) / 2;
  const double columns = static_cast<double>(plan.soundingColumns) * plan.columnSpacing;
  return presses + 2.0 * columns * Transport::IntervalForTempo(plan.tempo) / 1000.0 + 2;
}

void Idle(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(Milliseconds(seconds), &loop, &QEventLoop::quit);
  loop.exec();
}

SessionResult RunSession(const SessionPlan& plan, TDDSD& sound, const SampleBank& samples,
                         const PitchTables& pitch, const std::function<void(const char* phase)>& between) {
  SessionResult result;
  RunPresses(plan, sound, samples, pitch, result);
  if (between) between("after the presses");
  RunPlayback(plan, sound, samples, pitch, result);
  if (between) between("after the playback");
  return result;
}

}  // namespace kestu::latency
