#pragma once
// A PulseAudio server of the test's own on a null sink, in a runtime folder of its own, that the
// test can kill, start again, stop and continue; and a recorder of the sink's monitor. This
// process is pointed at it (PULSE_RUNTIME_PATH, no autospawn), so libpulse and pactl find it.
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/process.h"

namespace kestu::test {

class PrivatePulse {
 public:
  static constexpr const char* kName = "PulseAudio";

  explicit PrivatePulse(std::filesystem::path folder) : folder_(std::move(folder)) {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.emplace_back(value != nullptr, value != nullptr ? value : "");
    }
    runtime_ = folder_ / "pulse";
    std::filesystem::create_directories(runtime_);
    ::setenv("PULSE_RUNTIME_PATH", runtime_.c_str(), 1);
    ::unsetenv("PULSE_SERVER");
    // The session's own PipeWire, where one runs, would take the sound away from the server under
    // test: PipeWire clients look for a server of a name that does not exist.
    ::setenv("PIPEWIRE_REMOTE", "kestu-test-no-pipewire", 1);
    // Never a server started behind the test's back.
    const std::string config = (folder_ / "client.conf").string();
    std::ofstream(config) << "autospawn = no\n";
    ::setenv("PULSE_CLIENTCONFIG", config.c_str(), 1);
  }
  ~PrivatePulse() {
    StopRecording();
    Stop();
    // Tests that follow in the same process find the environment as it was.
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].first) ::setenv(kVariables[i], saved_[i].second.c_str(), 1);
      else ::unsetenv(kVariables[i]);
    }
  }

  // Starts the server with its null sink at `rate` and waits until it answers; false, with the
  // reason, when it cannot. `realtime`: it asks for a real-time thread, as a desktop's server does
  // (through rtkit), so that a loaded machine starves neither it nor its clients.
  bool Start(std::string& why, std::uint32_t rate = 48000, bool realtime = false) {
    if (!OnPath("pulseaudio") || !OnPath("pactl")) {
      why = "pulseaudio and pactl are not installed";
      return false;
    }
    std::vector<std::string> args = {"pulseaudio", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                                     "--disallow-exit"};
    if (realtime) args.insert(args.end(), {"--realtime=yes", "--high-priority=yes"});
    args.insert(args.end(), {"-n", "--load=module-null-sink sink_name=null rate=" + std::to_string(rate),
                             "--load=module-native-protocol-unix"});
    server_ = Process(args, {}, {}, LogPath());
    if (!WaitFor([&] { return !server_.Running() || Run("timeout 5 pactl info >/dev/null 2>&1") == 0; },
                 std::chrono::seconds(10)) || !server_.Running()) {
      why = "pulseaudio " + std::string(server_.Running() ? "does not answer" : "ended at once") + "; see " + LogPath();
      server_.Stop();
      return false;
    }
    return true;
  }
  std::string LogPath() const { return (folder_ / "pulse.log").string(); }
  pid_t Pid() const { return server_.Pid(); }
  void Kill() {
    server_.Signal(SIGKILL);
    server_.Wait(std::chrono::seconds(5));
  }
  void Freeze() { server_.Signal(SIGSTOP); }
  void Thaw() { server_.Signal(SIGCONT); }
  void Stop() {
    Thaw();
    server_.Stop();
  }

  // Records the null sink's monitor (48000 Hz, 16-bit stereo) into `path` until StopRecording,
  // once the sink has left its idle blocks (until then the first second of a stream is lost).
  bool StartRecording(const std::string& path) {
    recorder_ = Process({"parec", "-d", "null.monitor", "--latency-msec=20", "--rate=48000", "--channels=2",
                         "--format=s16le", "--file-format=wav", path});
    return WaitFor([&] {
      return Run("test \"$(pactl list sinks 2>/dev/null | awk '$1==\"Latency:\"{print $2;exit}')\" -lt 100000 "
                 "2>/dev/null") == 0;
    }, std::chrono::seconds(10));
  }
  void StopRecording() {
    recorder_.Signal(SIGINT);
    if (!recorder_.Wait(std::chrono::seconds(5))) recorder_.Stop();
  }

 private:
  static constexpr const char* kVariables[] = {"PULSE_RUNTIME_PATH", "PULSE_SERVER", "PULSE_CLIENTCONFIG",
                                               "PIPEWIRE_REMOTE"};

  std::vector<std::pair<bool, std::string>> saved_;
  std::filesystem::path folder_;
  std::filesystem::path runtime_;
  Process server_;
  Process recorder_;
};

}  // namespace kestu::test
