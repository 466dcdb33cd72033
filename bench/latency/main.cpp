// kestu-latency: how long the program takes from a press to its preview and from a tick to its
// column, and where its picture stands against its sound, measured on the real sound path into a
// null sink (PulseAudio or PipeWire; on a JACK server, the program's port). The program's own window runs it: its start-up, its handlers, its
// transport and timers. Run it where waves/ is (the build folder); it starts a private server
// unless --server is given.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/scripted_toolkit.h"
#include "bench/latency/analysis.h"
#include "bench/latency/monitor_capture.h"
#include "bench/latency/probed_output.h"
#include "bench/latency/pulse_server.h"
#include "bench/latency/report.h"
#include "bench/latency/session.h"
#include "bench/latency/way_out.h"
#include "playback/program_sound.h"
#include "playback/sample_bank.h"
#include "playback/transport.h"
#include "sound/ddsd.h"
#include "sound/wave.h"
#include "sound/wave_writer.h"

namespace kestu::latency {
namespace {

constexpr std::uint32_t kRecordBlockFrames = 48;
constexpr const char* kUsage =
    "usage: kestu-latency [--fast] [--presses N] [--columns N] [--tempo T] [--light] [--seed S]\n"
    "                     [--load N] [--stall MS] [--server [--sink NAME]] [--way WAY] [--keep DIR]\n"
    "  --fast        the fastest tempo's plan: tempo 1500, a column every 40 ms\n"
    "  --presses N   presses on the score view (default 100)\n"
    "  --columns N   sounding columns played back (default 200)\n"
    "  --tempo T     playback tempo, 100..1500 (default 250)\n"
    "  --light       light mode: ticks do not redraw the view\n"
    "  --load N      N threads kept busy beside the program during the run (default 0)\n"
    "  --stall MS    the window's thread blocked for MS ms every 1.3 s during playback\n"
    "  --server      use the PulseAudio server of the environment instead of a private one,\n"
    "                recording the monitor of sink NAME (default \"null\")\n"
    "  --way WAY     the way out: default (the program's own choice), pipewire (our PipeWire\n"
    "                stream), pulse (our PulseAudio stream, on PulseAudio or PipeWire's pulse\n"
    "                server) or jack (JACK, e.g. under pw-jack)\n"
    "  --keep DIR    also write DIR/recording.wav, DIR/mixer.wav and DIR/events.csv\n";

struct Options {
  SessionPlan plan;
  int loadThreads = 0;
  bool useServer = false;
  std::string sink = "null";
  std::string keep;
  WayOut way;
};

bool ParseInt(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  value = static_cast<int>(v);
  return true;
}

bool Parse(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    int seed = 0;
    if (arg == "--light") {
      options.plan.lightMode = true;
    } else if (arg == "--fast") {
      options.plan.tempo = kMaxTempo;
    } else if (arg == "--load" && hasValue && ParseInt(argv[i + 1], 0, 64, options.loadThreads)) {
      ++i;
    } else if (arg == "--stall" && hasValue && ParseInt(argv[i + 1], 0, 5000, options.plan.stallMs)) {
      ++i;
    } else if (arg == "--server") {
      options.useServer = true;
    } else if (arg == "--presses" && hasValue && ParseInt(argv[i + 1], 0, 100000, options.plan.presses)) {
      ++i;
    } else if (arg == "--columns" && hasValue && ParseInt(argv[i + 1], 0, 480, options.plan.soundingColumns)) {
      ++i;
    } else if (arg == "--tempo" && hasValue &&
               ParseInt(argv[i + 1], kMinTempo, kMaxTempo, options.plan.tempo)) {
      ++i;
    } else if (arg == "--seed" && hasValue && ParseInt(argv[i + 1], 0, 1 << 30, seed)) {
      options.plan.seed = static_cast<unsigned>(seed);
      ++i;
    } else if (arg == "--sink" && hasValue) {
      options.sink = argv[++i];
    } else if (arg == "--way" && hasValue && ParseWayOut(argv[i + 1], options.way)) {
      ++i;
    } else if (arg == "--keep" && hasValue) {
      options.keep = argv[++i];
    } else {
      error = "cannot use \"" + arg + "\"" + (hasValue ? "" : " here");
      return false;
    }
  }
  return true;
}

// Each note must end before the next one starts, so that its first frame stands out of the
// silence the onset rule asks for (50 ms), with a margin.
int SpacingFor(int tempo, double sampleSeconds) {
  const double columnSeconds = 2.0 * Transport::IntervalForTempo(tempo) / 1000.0;
  int spacing = 1;
  while (spacing * columnSeconds < sampleSeconds + 0.06) ++spacing;
  return spacing;
}

// Threads that keep the cores busy while they live, as other programs on a shared machine do.
class BusyThreads {
 public:
  explicit BusyThreads(int count) {
    for (int i = 0; i < count; ++i) {
      threads_.emplace_back([this] {
        std::uint64_t spin = 0;
        while (!stop_.load(std::memory_order_relaxed)) spin = spin * 6364136223846793005ull + 1;
        sink_.fetch_add(spin, std::memory_order_relaxed);
      });
    }
  }
  ~BusyThreads() {
    stop_.store(true);
    for (std::thread& t : threads_) t.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> sink_{0};
  std::vector<std::thread> threads_;
};

// The private server, for the watchdog and for an interrupt: either ends it with the process.
std::atomic<pid_t> privateServer{0};

void EndWithServer(int) {
  if (const pid_t pid = privateServer.load(); pid > 0) ::kill(pid, SIGKILL);
  ::_exit(130);
}

// Ends the process, and a private server with it, when the run takes far longer than planned:
// no wait of the measurement may hang.
class Watchdog {
 public:
  explicit Watchdog(double seconds) {
    thread_ = std::thread([this, seconds] {
      std::unique_lock lock(mutex_);
      if (done_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return finished_; })) return;
      std::cerr << "kestu-latency: gave up after " << seconds << " s\n";
      if (const pid_t pid = privateServer.load(); pid > 0) ::kill(pid, SIGKILL);
      std::_Exit(3);
    });
  }
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

double SampleSeconds(const TDDSDGenWave* sample) {
  if (sample == nullptr || sample->Buffer() == nullptr || sample->Format().nAvgBytesPerSec == 0) return 0;
  return static_cast<double>(sample->DataSize()) / sample->Format().nAvgBytesPerSec;
}

void Keep(const std::string& folder, const RunData& data) {
  std::filesystem::create_directories(folder);
  WavFileWriter recording(folder + "/recording.wav", data.recordRate, 1);
  recording.Append(data.recording.data(), data.recording.size());
  recording.Finish();
  WavFileWriter mixer(folder + "/mixer.wav", data.mixRate, 1);
  mixer.Append(data.mixed.data(), data.mixed.size());
  mixer.Finish();
  std::ofstream events(folder + "/events.csv");
  events << "kind,begin_ns,end_ns,step,column,sounds,due_ns\n";
  for (const TimedEvent& p : data.session.presses) events << "press," << p.beginNs << ',' << p.endNs << ",,,,\n";
  for (const Tick& t : data.session.ticks) {
    events << "tick," << t.beginNs << ',' << t.endNs << ',' << t.step << ',' << t.column << ',' << t.sounds << ','
           << t.dueNs << '\n';
  }
  for (const Drawn& d : data.session.drawn) events << "drawn," << d.ns << ',' << d.ns << ',' << d.step << ",,,\n";
  for (const TimedEvent& s : data.session.stalls) events << "stall," << s.beginNs << ',' << s.endNs << ",,,,\n";
  std::ofstream arrivals(folder + "/arrivals.csv");
  arrivals << "arrival_ns,end_frame\n";
  for (const ArrivedBlock& b : data.arrivals) arrivals << b.arrivalNs << ',' << b.endFrame << '\n';
  std::ofstream requests(folder + "/requests.csv");
  requests << "called_ns,first_frame,frames,first_frame_ns,reading_ns,lead_ns\n";
  for (const RenderedBlock& b : data.rendered) {
    requests << b.calledNs << ',' << b.firstFrame << ',' << b.frames << ',' << b.firstFrameNs << ',' << b.readingNs
             << ',' << b.leadNs << '\n';
  }
}

std::string LoadAverage() {
  std::ifstream load("/proc/loadavg");
  std::string one, five, fifteen;
  load >> one >> five >> fifteen;
  return load ? one + " " + five + " " + fifteen : "?";
}

int Run(int argc, char** argv) {
  Options options;
  std::string error;
  if (!Parse(argc, argv, options, error)) {
    std::cerr << "kestu-latency: " << error << "\n" << kUsage;
    return 2;
  }
  SessionPlan& plan = options.plan;
  const std::string sampleFile = SampleBank::FileName(plan.instrument);
  if (!std::filesystem::exists(sampleFile)) {
    std::cerr << "kestu-latency: " << sampleFile << " is missing: run it in the build folder, beside waves/\n";
    return 2;
  }

  // Start-up, the settling pauses and tear-down take well under a minute.
  const Watchdog watchdog(PlannedSeconds(plan) * 1.5 + 90);
  ::signal(SIGINT, &EndWithServer);
  ::signal(SIGTERM, &EndWithServer);

  const std::uint32_t sinkRate = 48000;
  std::unique_ptr<PulseServer> server = options.useServer ? PulseServer::UseExisting(options.sink, error)
                                                          : PulseServer::StartPrivate(sinkRate, error);
  if (!server) {
    std::cerr << "kestu-latency: " << error << "\n";
    return 1;
  }
  privateServer = server->ChildPid();
  ::setenv("PULSE_SINK", server->Sink().c_str(), 1);
  ::setenv("PULSE_SOURCE", (server->Sink() + ".monitor").c_str(), 1);

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const double maxSeconds = PlannedSeconds(plan) * 1.5 + 60;
  MonitorCapture capture(server->SinkRate(), kRecordBlockFrames, maxSeconds,
                         RecordFromFor(options.way, server->IsPrivate()));

  // The recorder first: it wakes the null sink, and the program's stream then finds the sink as
  // it will stay while measured.
  if (!capture.Start(error)) {
    std::cerr << "kestu-latency: " << error << "\n";
    return 1;
  }
  if (!server->WaitUntilAwake(std::chrono::seconds(10))) {
    std::cerr << "kestu-latency: the null sink stays in its idle blocks\n";
    return 1;
  }

  // The program's start-up: its window, which opens the sound device and loads the samples.
  ProbedOutput output(kPrimaryRate, maxSeconds, options.way.ways);
  ScriptedToolkit toolkit;
  auto form = std::make_unique<TForm1>(toolkit, UseOutput(output));
  // Shown, so that each picture is painted as the program paints it (and, on a real display, each
  // paint is a round trip to the server).
  form->show();
  TDDSD* sound = form->DDSD1;
  const SampleBank& samples = form->Samples;
  if (!toolkit.log.empty()) {
    std::cerr << "kestu-latency: the window said " << toolkit.log.front() << "\n";
    return 1;
  }
  if (!sound->DeviceOpen() || !OpenedOnWay(options.way, output.Device().ApiName())) {
    std::cerr << "kestu-latency: the program's output did not open on the way " << options.way.name << "\n";
    return 1;
  }
  const double sampleSeconds = SampleSeconds(samples.Sample(plan.instrument));
  if (sampleSeconds <= 0) {
    std::cerr << "kestu-latency: " << sampleFile << " has no sound\n";
    return 1;
  }
  plan.columnSpacing = SpacingFor(plan.tempo, sampleSeconds);
  if (1 + (plan.soundingColumns - 1) * plan.columnSpacing > kColumns) {
    plan.soundingColumns = (kColumns - 1) / plan.columnSpacing + 1;
    std::cerr << "kestu-latency: the score holds " << plan.soundingColumns << " notes at this tempo\n";
  }

  RunSettings settings;
  settings.plan = plan;
  settings.recordBlockFrames = capture.BlockFrames();
  settings.privateServer = server->IsPrivate();
  settings.sinkRate = server->SinkRate();
  settings.api = output.Device().ApiName();
  settings.primaryRate = output.Rate();
  settings.deviceRate = output.Device().DeviceRate();
  settings.bufferFrames = output.Device().BufferFrames();
  settings.rtaudioLatencyFrames = output.Device().StreamLatencyFrames();
  settings.loadAverage = LoadAverage();
  const auto askServer = [&](const char* when) {
    settings.server.push_back({when, true, server->QuerySink(), server->QueryStream("KestuSequencer")});
  };

  Idle(1.0);  // the streams settle
  askServer("before the presses");
  settings.loadThreads = options.loadThreads;
  const std::uint64_t lateBefore = sound->LateStarts();
  const std::uint64_t underrunsBefore = sound->Underruns();
  const std::uint64_t droppedBefore = sound->DroppedStarts();
  output.StartKeeping();
  RunData data;
  {
    const BusyThreads load(options.loadThreads);
    data.session = RunSession(plan, *form, askServer);
  }
  output.StopKeeping();
  settings.lateStarts = sound->LateStarts() - lateBefore;
  settings.underruns = sound->Underruns() - underrunsBefore;
  settings.droppedStarts = sound->DroppedStarts() - droppedBefore;
  settings.stalls = data.session.stalls;
  settings.leadUs = output.LeadNs() >= 0 ? output.LeadNs() / 1000 : -1;
  capture.Stop();
  // The recorder asks for small blocks, and so the null sink mixes in small ones; this is what the
  // program's stream gets on its own.
  Idle(1.0);
  askServer("without the recorder");
  settings.server.back().recording = false;
  settings.intervalMs = data.session.intervalMs;
  settings.loadAverage += ", as it ended " + LoadAverage();

  form.reset();
  output.Close();
  privateServer = 0;
  server.reset();

  data.recordRate = capture.Rate();
  data.recording = capture.Samples();
  data.arrivals = capture.Blocks();
  data.mixRate = output.Rate();
  data.mixed = output.Frames();
  data.rendered = output.Blocks();
  if (capture.Full() || output.Full()) std::cerr << "kestu-latency: the recording ran out of room\n";
  if (!options.keep.empty()) Keep(options.keep, data);

  PrintReport(std::cout, settings, Analyse(data, plan.columnSpacing));
  return 0;
}

}  // namespace
}  // namespace kestu::latency

int main(int argc, char** argv) { return kestu::latency::Run(argc, argv); }
