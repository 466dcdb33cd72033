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
#include <utility>
#include <vector>

#include "tests/support/process.h"

namespace kestu::test {

// What PulseAudio and PipeWire's pulse server have in common here: the environment variables that
// point this process at them, put back as they were found when the server goes, so that tests that
// follow in the same process find them unchanged; the server process, which a test may stop and
// continue; and a recorder of the null sink's monitor through the pulse protocol.
class PulseSpeakingServer {
 public:
  // The server stops answering, as a process stopped by a debugger or swapped out does.
  void Freeze() { server_.Signal(SIGSTOP); }
  void Thaw() { server_.Signal(SIGCONT); }
  void StopRecording() {
    recorder_.Signal(SIGINT);
    if (!recorder_.Wait(std::chrono::seconds(5))) recorder_.Stop();
  }

 protected:
  PulseSpeakingServer(std::filesystem::path folder, std::vector<const char*> variables)
      : folder_(std::move(folder)), variables_(std::move(variables)) {
    for (const char* name : variables_) {
      const char* value = std::getenv(name);
      saved_.emplace_back(value != nullptr, value != nullptr ? value : "");
    }
  }
  ~PulseSpeakingServer() {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].first) ::setenv(variables_[i], saved_[i].second.c_str(), 1);
      else ::unsetenv(variables_[i]);
    }
  }

  // Records the null sink's monitor (48000 Hz, 16-bit stereo) into `path` until StopRecording;
  // false when the shell command `awake` does not succeed within 10 s.
  bool Record(const std::string& path, const std::string& awake) {
    recorder_ = Process({"parec", "-d", "null.monitor", "--latency-msec=20", "--rate=48000", "--channels=2",
                         "--format=s16le", "--file-format=wav", path});
    return WaitFor([&] { return Run(awake) == 0; }, std::chrono::seconds(10));
  }

  std::filesystem::path folder_;
  std::filesystem::path runtime_;
  const std::vector<const char*> variables_;
  Process server_;
  Process recorder_;

 private:
  std::vector<std::pair<bool, std::string>> saved_;
};

class PrivatePulse : public PulseSpeakingServer {
 public:
  static constexpr const char* kName = "PulseAudio";

  explicit PrivatePulse(std::filesystem::path folder)
      : PulseSpeakingServer(std::move(folder),
                           {"PULSE_RUNTIME_PATH", "PULSE_SERVER", "PULSE_CLIENTCONFIG", "PIPEWIRE_REMOTE"}) {
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
  void Stop() {
    Thaw();
    server_.Stop();
  }

  // Records the null sink's monitor into `path` until StopRecording, once the sink has left its idle
  // blocks (until then the first second of a stream is lost).
  bool StartRecording(const std::string& path) {
    return Record(path, "test \"$(pactl list sinks 2>/dev/null | awk '$1==\"Latency:\"{print $2;exit}')\" -lt 100000 "
                        "2>/dev/null");
  }
};

}  // namespace kestu::test
