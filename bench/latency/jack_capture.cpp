// Recording on a JACK server of its own (its dummy driver has no monitor): a client of ours whose
// one input port is linked from the program's left port as soon as that port appears, each
// cycle's frames timed on steady_clock as they arrive. They arrive in the very cycle the program
// rendered them, and the driver starts playing that cycle its playback latency later (as the
// system's first playback port reports it). A block's time stands for its last frame, as a
// monitor's does: each is moved on by that latency and one cycle, so that the figures say when a
// card in the dummy's place would play the sound. The only file here that includes
// libjack.
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bench/latency/monitor_capture.h"
#include "sound/steady_clock.h"

namespace kestu::latency {

namespace {

constexpr const char* kProgramPort = "KestuSequencer:out_1";
constexpr std::uint32_t kMaxCycleFrames = 8192;

}  // namespace

struct MonitorCapture::JackRecorder {
  MonitorCapture* owner = nullptr;
  jack_client_t* client = nullptr;
  jack_port_t* port = nullptr;
  std::vector<std::int16_t> converted = std::vector<std::int16_t>(kMaxCycleFrames);
  std::int64_t playbackLatencyNs = 0;
  std::atomic<bool> stop{false};
  std::thread linker;

  static int OnProcess(jack_nframes_t frames, void* user) {
    const std::int64_t arrived = SteadyNowNs();
    auto* self = static_cast<JackRecorder*>(user);
    const auto* input = static_cast<const float*>(jack_port_get_buffer(self->port, frames));
    frames = std::min<jack_nframes_t>(frames, kMaxCycleFrames);
    for (jack_nframes_t i = 0; i < frames; ++i) {
      const float v = std::clamp(input[i], -1.0f, 32767.0f / 32768.0f);
      self->converted[i] = static_cast<std::int16_t>(std::lrint(v * 32768.0f));
    }
    self->owner->Arrived(self->converted.data(), frames, arrived + self->playbackLatencyNs);
    return 0;
  }

  // Links the program's port to ours whenever it is there and not linked: the program closes and
  // opens its output again as it starts (connecting is not allowed in a callback).
  void KeepLinked() {
    const std::string ours = jack_port_name(port);
    while (!stop.load()) {
      if (jack_port_by_name(client, kProgramPort) != nullptr && !jack_port_connected_to(port, kProgramPort)) {
        jack_connect(client, kProgramPort, ours.c_str());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
};

bool MonitorCapture::StartJack(std::string& error) {
  auto recorder = std::make_shared<JackRecorder>();
  recorder->owner = this;
  jack_status_t status{};
  recorder->client = jack_client_open("kestu-latency", JackNoStartServer, &status);
  if (recorder->client == nullptr) {
    error = "no JACK server runs to record from";
    return false;
  }
  rate_ = jack_get_sample_rate(recorder->client);
  blockFrames_ = jack_get_buffer_size(recorder->client);
  if (const char** playback = jack_get_ports(recorder->client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                            JackPortIsPhysical | JackPortIsInput)) {
    jack_latency_range_t range{};
    if (playback[0] != nullptr) {
      jack_port_get_latency_range(jack_port_by_name(recorder->client, playback[0]), JackPlaybackLatency, &range);
    }
    recorder->playbackLatencyNs = static_cast<std::int64_t>((range.max + blockFrames_) * 1e9 / rate_);
    jack_free(playback);
  }
  recorder->port = jack_port_register(recorder->client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(recorder->client, &JackRecorder::OnProcess, recorder.get());
  if (recorder->port == nullptr || jack_activate(recorder->client) != 0) {
    jack_client_close(recorder->client);
    error = "the JACK recorder did not start";
    return false;
  }
  recorder->linker = std::thread([r = recorder.get()] { r->KeepLinked(); });
  jack_ = std::move(recorder);
  return true;
}

void MonitorCapture::StopJack() {
  if (jack_ == nullptr) return;
  jack_->stop.store(true);
  jack_->linker.join();
  jack_deactivate(jack_->client);
  jack_client_close(jack_->client);
  jack_.reset();
}

}  // namespace kestu::latency
