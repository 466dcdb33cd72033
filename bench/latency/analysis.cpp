#include "bench/latency/analysis.h"

#include <algorithm>
#include <cmath>

#include "bench/latency/onsets.h"
#include "bench/latency/stats.h"

namespace kestu::latency {

namespace {

constexpr double kMs = 1e6;  // ns per ms

// When the mixer rendered frame `frame`: the request whose block holds it.
double RenderTimeNs(const std::vector<RenderedBlock>& blocks, std::uint64_t frame) {
  const auto after = std::upper_bound(blocks.begin(), blocks.end(), frame,
                                      [](std::uint64_t f, const RenderedBlock& b) { return f < b.firstFrame; });
  if (after == blocks.begin()) return NAN;
  const RenderedBlock& block = *(after - 1);
  if (frame >= block.firstFrame + block.frames) return NAN;
  return static_cast<double>(block.calledNs);
}

EventDelays Delays(const std::vector<TimedEvent>& events, const std::vector<double>& renderNs,
                   const std::vector<double>& soundNs, double windowNs) {
  std::vector<double> begins;
  for (const TimedEvent& e : events) begins.push_back(static_cast<double>(e.beginNs));
  // A request that began a moment before the handler sent its commands may still take them.
  const std::vector<double> rendered = MatchOnsets(begins, renderNs, 1 * kMs, windowNs);
  const std::vector<double> sounded = MatchOnsets(begins, soundNs, 0, windowNs);
  EventDelays delays;
  for (std::size_t i = 0; i < events.size(); ++i) {
    delays.toRender.push_back((rendered[i] - begins[i]) / kMs);
    delays.toSound.push_back((sounded[i] - begins[i]) / kMs);
    delays.handler.push_back(static_cast<double>(events[i].endNs - events[i].beginNs) / kMs);
  }
  return delays;
}

// When the view was first drawn with the running figure at `step`; NaN if never (light mode).
double DrawnMs(const std::vector<Drawn>& drawn, int step) {
  for (const Drawn& d : drawn) {
    if (d.step == step) return static_cast<double>(d.ns) / kMs;
  }
  return NAN;
}

}  // namespace

Analysis Analyse(const RunData& data, int columnSpacing) {
  Analysis result;
  result.timeline = FitTimeline(data.arrivals, data.recordRate);
  if (result.timeline) {
    for (const double ns : Lateness(data.arrivals, *result.timeline)) result.arrivalLatenessMs.push_back(ns / kMs);
  }

  std::vector<double> renderNs;
  for (const std::uint64_t frame : FindOnsets(data.mixed, data.mixRate)) {
    const double ns = RenderTimeNs(data.rendered, frame);
    if (!std::isnan(ns)) renderNs.push_back(ns);
  }
  result.renderedSounds = renderNs.size();
  std::vector<double> soundNs;
  if (result.timeline) {
    for (const std::uint64_t frame : FindOnsets(data.recording, data.recordRate)) {
      soundNs.push_back(result.timeline->TimeNs(static_cast<double>(frame) + 1));
    }
  }
  result.recordedSounds = soundNs.size();

  const SessionResult& session = data.session;
  const double columnNs = 2.0 * session.intervalMs * kMs;
  // A sound belongs to the event before it as long as the next one has not come.
  result.presses = Delays(session.presses, renderNs, soundNs, 250 * kMs);
  // Each note is paired with its tick by when the tick was due, which is where its sound is placed
  // (a timer that keeps no due times places its notes at the tick's start); the handler may run
  // well before that (voicing ahead) or after it (a late tick).
  std::vector<TimedEvent> voicing;
  std::vector<int> voicedSteps;
  std::vector<double> tickBegins;
  for (const Tick& t : session.ticks) {
    tickBegins.push_back(static_cast<double>(t.beginNs));
    if (!t.sounds) continue;
    const std::int64_t due = t.dueNs != 0 ? t.dueNs : t.beginNs;
    voicing.push_back(TimedEvent{due, due + (t.endNs - t.beginNs)});
    voicedSteps.push_back(t.step);
  }
  result.columns = Delays(voicing, renderNs, soundNs, std::max(50 * kMs, columnSpacing * columnNs - kMs));

  std::vector<double> soundTimes;
  for (std::size_t i = 0; i < voicing.size(); ++i) {
    const double soundMs = static_cast<double>(voicing[i].beginNs) / kMs + result.columns.toSound[i];
    soundTimes.push_back(soundMs);
    result.columnsFromDueMs.push_back(result.columns.toSound[i]);
    result.pictureToSoundMs.push_back(soundMs - DrawnMs(session.drawn, voicedSteps[i]));
  }
  for (const double d : Differences(soundTimes)) result.soundIntervalErrorMs.push_back(d - columnSpacing * columnNs / kMs);
  for (const double d : Differences(tickBegins)) result.tickIntervalErrorMs.push_back(d / kMs - session.intervalMs);
  std::vector<double> requests;
  for (const RenderedBlock& b : data.rendered) requests.push_back(static_cast<double>(b.calledNs) / kMs);
  result.requestIntervalMs = Differences(requests);
  return result;
}

}  // namespace kestu::latency
