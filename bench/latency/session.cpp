#include "bench/latency/session.h"

#include <QEventLoop>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <random>

#include "app/form1.h"
#include "bench/latency/stall.h"
#include "playback/transport.h"
#include "sound/steady_clock.h"
#include "view/view_geometry.h"

namespace kestu::latency {

namespace {

int Milliseconds(double seconds) { return static_cast<int>(seconds * 1000.0 + 0.5); }

// Quits `loop` after `seconds` at the latest, whatever else happens.
void Bound(QEventLoop& loop, QTimer& guard, double seconds) {
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(Milliseconds(seconds));
}

void RunPresses(const SessionPlan& plan, TForm1& form, SessionResult& result) {
  if (plan.presses <= 0) return;
  form.Document.CurrentTool = plan.instrument;
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
    form.MainImageMouseDown(Qt::LeftButton, x, y);
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

void RunPlayback(const SessionPlan& plan, TForm1& form, SessionResult& result) {
  // A new score (the presses' notes are not kept), then the plan's notes and tempo, as a user
  // would set them.
  form.NewActionExecute();
  ScoreDocument& document = form.Document;
  document.SetTempo(plan.tempo);
  int last = 1;
  for (int k = 0; k < plan.soundingColumns; ++k) {
    last = 1 + k * plan.columnSpacing;
    document.PlaceNote(plan.row, last, plan.instrument);
  }
  document.MoveEndMark(last + 1);  // the transport stops right after the last note
  if (form.Lite1->isChecked() != plan.lightMode) form.Lite1->trigger();
  form.RenderScore(-1, -1, -1);
  result.intervalMs = Transport::IntervalForTempo(document.Tempo());
  result.ticks.reserve(static_cast<std::size_t>(2 * last + 4));

  Transport& transport = form.Playback;
  transport.onVoiced = [&](std::int64_t dueNs, std::int32_t step, std::int32_t column) {
    Tick tick{};
    tick.beginNs = tick.endNs = SteadyNowNs();
    tick.dueNs = dueNs;
    tick.step = step;
    tick.column = column;
    tick.sounds = column >= 1 && column <= kColumns && document.NoteCount(column) > 0;
    result.ticks.push_back(tick);
  };
  transport.onShown = [&](std::int32_t step) { result.drawn.push_back({SteadyNowNs(), step}); };

  QEventLoop loop;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (transport.Playing) return;
    watch.stop();
    QTimer::singleShot(600, &loop, &QEventLoop::quit);  // the last note rings out
  });
  QTimer guard;
  Bound(loop, guard, 2.0 * last * result.intervalMs / 1000.0 * 1.5 + 5);
  GuiStalls stalls(plan.stallMs, plan.stallEverySeconds);
  form.PlayBtn->click();
  watch.start(50);
  stalls.Start();
  loop.exec();
  stalls.Stop();
  if (transport.Playing) form.StopBtn->click();
  transport.onVoiced = nullptr;
  transport.onShown = nullptr;
  result.stalls = stalls.Stalls();
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

SessionResult RunSession(const SessionPlan& plan, TForm1& form, const std::function<void(const char* phase)>& between) {
  SessionResult result;
  RunPresses(plan, form, result);
  if (between) between("after the presses");
  RunPlayback(plan, form, result);
  if (between) between("after the playback");
  return result;
}

}  // namespace kestu::latency
