#include "bench/latency/report.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "bench/latency/picture_report.h"
#include "bench/latency/stats.h"

namespace kestu::latency {

namespace {

std::string Us(long microseconds) { return microseconds < 0 ? "?" : Ms(microseconds / 1000.0); }

void Row(std::ostream& out, const std::string& label, const std::vector<double>& values) {
  const Summary s = Summarize(values);
  out << "  " << std::left << std::setw(44) << label << std::right;
  if (s.count == 0) {
    out << "no data\n";
    return;
  }
  out << "median " << std::setw(6) << Ms(s.median) << "  p99 " << std::setw(6) << Ms(s.p99) << "  min "
      << std::setw(6) << Ms(s.min) << "  max " << std::setw(6) << Ms(s.max) << "  n=" << s.count << "\n";
}

std::vector<double> Minus(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> out;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) out.push_back(a[i] - b[i]);
  return out;
}

std::vector<double> Absolute(const std::vector<double>& values) {
  std::vector<double> out;
  for (const double v : values) out.push_back(std::abs(v));
  return out;
}

std::size_t Found(const std::vector<double>& values) {
  std::size_t n = 0;
  for (const double v : values) n += std::isnan(v) ? 0 : 1;
  return n;
}

// The largest figure the server gave for a field over the run; -1 when it never gave one.
template <typename Field>
long Largest(const RunSettings& settings, bool recording, Field field) {
  long most = -1;
  for (const ServerSample& s : settings.server) {
    if (s.recording == recording) most = std::max(most, field(s));
  }
  return most;
}

long SinkConfiguredUs(const ServerSample& s) { return s.sink ? s.sink->configuredUs : -1L; }

std::string Verdict(double value, double aim) { return value <= aim ? "met" : "missed"; }

}  // namespace

void PrintReport(std::ostream& out, const RunSettings& settings, const Analysis& a) {
  const double requestMs = 1000.0 * settings.bufferFrames / std::max<std::uint32_t>(settings.deviceRate, 1);
  const long sinkBlockUs = Largest(settings, true, SinkConfiguredUs);
  const long aloneUs = Largest(settings, false, SinkConfiguredUs);
  const long bufferUs = Largest(settings, true, [](const ServerSample& s) { return s.stream ? s.stream->bufferUs : -1L; });

  out << "kestu-latency: the program's editing and playback, on its own output, recorded where the sound server plays it\n\n";
  out << "settings\n";
  out << "  output     " << settings.api << ", primary format " << settings.primaryRate << " Hz, stream at "
      << settings.deviceRate << " Hz, " << settings.bufferFrames << "-frame buffer (" << Ms(requestMs)
      << " ms a request); the output reports a stream latency of " << settings.rtaudioLatencyFrames
      << " frames; ticks place their notes " << Us(static_cast<long>(settings.leadUs)) << " ms ahead\n";
  out << "  server     " << (settings.privateServer ? "a private PulseAudio" : "the environment's PulseAudio")
      << ", null sink at " << settings.sinkRate << " Hz, monitor recorded in blocks of " << settings.recordBlockFrames
      << " frames (" << Ms(1000.0 * settings.recordBlockFrames / std::max<std::uint32_t>(settings.sinkRate, 1))
      << " ms)\n";
  for (const ServerSample& s : settings.server) {
    out << "  " << std::left << std::setw(21) << s.when << std::right << " our stream: "
        << (s.stream ? Us(s.stream->bufferUs) : "?") << " ms in the server's buffer, "
        << (s.stream ? Us(s.stream->sinkUs) : "?") << " ms in the sink; the sink configured for "
        << (s.sink ? Us(s.sink->configuredUs) : "?") << " ms\n";
  }
  out << "  plan       " << settings.plan.presses << " presses; " << settings.plan.soundingColumns
      << " notes, one in every " << settings.plan.columnSpacing << " columns, at tempo " << settings.plan.tempo
      << " (ticks of " << settings.intervalMs << " ms); light mode " << (settings.plan.lightMode ? "on" : "off")
      << "; instrument " << settings.plan.instrument << ", row " << settings.plan.row << "\n";
  out << "  machine    load average as the run began " << settings.loadAverage << "; " << settings.loadThreads
      << " busy threads beside the program\n\n";

  out << "method\n"
         "  The sink's monitor is recorded in this process, each block timed on steady_clock as it\n"
         "  arrives: the clock the presses and ticks are timed on. No block arrives before the server\n"
         "  made it, so the earliest arrivals trace the server's clock: the earliest block of each\n"
         "  second, joined by straight lines. A sound's time is that line at its first frame. The same\n"
         "  sound is found in the mixer's output, timed by the output callback that rendered it.\n";
  if (a.timeline) {
    const Timeline& line = *a.timeline;
    const double rate = std::max<std::uint32_t>(settings.sinkRate, 1);
    const double seconds = (line.knots.back().count - line.knots.front().count) / rate;
    out << "  This run: " << std::fixed << std::setprecision(0) << seconds << " s; each second's earliest block within "
        << Ms(line.roughnessNs / 1e6) << " ms of the line through its neighbours;\n  the null sink's clock ran "
        << line.DriftPpm(settings.sinkRate) << " ppm fast of steady_clock and wandered " << Ms(line.wanderNs / 1e6)
        << " ms off a straight line.\n";
    out << "  The recording stepped " << line.steps.size() << " times (the server stopped or dropped a quantum of it;\n"
           "  the line breaks there, and a note begun in the step itself is off by it)";
    for (const Timeline::Step& step : line.steps) {
      out << (&step == &line.steps.front() ? ": " : ", ") << Ms(step.jumpNs / 1e6) << " ms at " << std::setprecision(2)
          << static_cast<double>(step.count) / rate << " s";
    }
    out << ".\n" << std::setprecision(0);
  } else {
    out << "  This run recorded too few blocks to be placed in time.\n";
  }
  out << "  Error: the line is late by the hand-over of the earliest blocks (unseen, at least 0), and\n"
         "  the null sink mixes "
      << Us(sinkBlockUs) << " ms ahead of its clock, so a card in its place would play a frame up\n"
         "  to that much after the line: the figures may be that much low, and off by the roughness.\n";
  Row(out, "recorded blocks, arrival after the line", a.arrivalLatenessMs);
  out << "  sounds found: " << a.renderedSounds << " in the mixer's output, " << a.recordedSounds
      << " in the recording\n\n";

  out << "edit-to-sound: MainImageMouseDown's entry to the preview's first frame, ms\n";
  Row(out, "to the sound", a.presses.toSound);
  Row(out, "  waiting for the device's next request", a.presses.toRender);
  Row(out, "  from that request to the sound", Minus(a.presses.toSound, a.presses.toRender));
  Row(out, "the handler itself", a.presses.handler);
  out << "  " << Found(a.presses.toSound) << " of " << a.presses.toSound.size() << " presses were heard\n\n";

  out << "playback: from when a tick that voices a note was due to its first frame, ms\n";
  Row(out, "to the sound", a.columns.toSound);
  Row(out, "  waiting for the device's next request", a.columns.toRender);
  Row(out, "  from that request to the sound", Minus(a.columns.toSound, a.columns.toRender));
  Row(out, "the tick handler itself", a.columns.handler);
  Row(out, "jitter: |tick to sound - its median|", DeviationsFromMedian(a.columns.toSound));
  Row(out, "from when the tick was due to the sound", a.columnsFromDueMs);
  const std::vector<double> jitter = DeviationsFromMedian(a.columnsFromDueMs);
  Row(out, "jitter: |due to sound - its median|", jitter);
  Row(out, "jitter: |onset to onset - score spacing|", Absolute(a.soundIntervalErrorMs));
  Row(out, "voicing: |tick to tick - interval|", Absolute(a.tickIntervalErrorMs));
  Row(out, "device requests, one to the next", a.requestIntervalMs);
  Row(out, "picture to sound: figure drawn to sound", a.pictureToSoundMs);
  out << "  " << Found(a.columns.toSound) << " of " << a.columns.toSound.size() << " notes were heard\n\n";

  const Summary preview = Summarize(a.presses.toSound);
  const Summary wait = Summarize(a.presses.toRender);
  const Summary onward = Summarize(Minus(a.presses.toSound, a.presses.toRender));
  const Summary spread = Summarize(jitter);
  const Summary spacing = Summarize(Absolute(a.soundIntervalErrorMs));
  const double spacingAim = settings.loadThreads > 0 ? 2 * kSpacingAimMs : kSpacingAimMs;
  out << "summary\n";
  if (preview.count > 0) {
    out << "  edit-to-sound    median " << Ms(preview.median) << " ms, p99 " << Ms(preview.p99) << " ms: aim "
        << kPreviewMedianAimMs << " and " << kPreviewAimMs << " ms "
        << Verdict(std::max(preview.median - kPreviewMedianAimMs, preview.p99 - kPreviewAimMs), 0) << "\n";
  }
  if (spread.count > 0) {
    out << "  playback jitter  p99 " << Ms(spread.p99) << " ms from the median tick-to-sound delay of "
        << Ms(Summarize(a.columnsFromDueMs).median) << " ms (from when each tick was due): aim " << kJitterAimMs
        << " ms " << Verdict(spread.p99, kJitterAimMs) << "\n";
  }
  if (spacing.count > 0) {
    out << "  onset spacing    p99 " << Ms(spacing.p99) << " ms, median " << Ms(spacing.median)
        << " ms off the score's spacing: aim " << spacingAim << " ms " << Verdict(spacing.p99, spacingAim) << "\n";
  }
  out << "  notes heard      " << Found(a.columns.toSound) << " of " << a.columns.toSound.size() << "; late starts "
      << settings.lateStarts << ", dropped starts " << settings.droppedStarts << ", underruns " << settings.underruns
      << " over the whole run\n";
  PrintStallSummary(out, settings, a);
  if (wait.count > 0 && onward.count > 0) {
    out << "  where it goes    0 to " << Ms(requestMs) << " ms (median " << Ms(wait.median)
        << ") until the device asks for its next buffer, as the mixer takes a preview only then;\n"
        << "                   then " << Ms(onward.median) << " ms (median) to the sound, of which the server says "
        << Us(bufferUs) << " ms wait in our stream's buffer and " << Us(sinkBlockUs) << " ms in the sink\n";
  }
  if (aloneUs > sinkBlockUs && sinkBlockUs >= 0) {
    out << "  the recorder     makes the null sink mix " << Us(sinkBlockUs) << " ms ahead; for the program alone it mixes "
        << Us(aloneUs) << " ms ahead,\n                   so the sound would come up to " << Us(aloneUs - sinkBlockUs)
        << " ms later (a sound card adds its own buffer instead)\n";
  }
}

}  // namespace kestu::latency
