#pragma once
// A PipeWire of the test's own without a desktop: a session bus, pipewire, wireplumber and
// pipewire-pulse in a runtime folder of their own, with a null sink "null" at 48000 Hz as the
// default sink; and a recorder of that sink's monitor through the pulse server. This process is
// pointed at it (XDG_RUNTIME_DIR, PULSE_RUNTIME_PATH, no autospawn) while the object lives, so that
// libpipewire, libpulse and pactl find it; the environment is left as it was found.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "tests/support/private_pulse.h"
#include "tests/support/process.h"

namespace kestu::test {

class PrivatePipeWire : public PulseSpeakingServer {
 public:
  static constexpr const char* kName = "PipeWire";

  explicit PrivatePipeWire(std::filesystem::path folder)
      : PulseSpeakingServer(std::move(folder),
                            {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "PULSE_RUNTIME_PATH",
                             "PULSE_SERVER", "PULSE_CLIENTCONFIG", "DBUS_SESSION_BUS_ADDRESS", "PIPEWIRE_REMOTE",
                             "PIPEWIRE_RUNTIME_DIR"}) {
    for (const char* name : variables_) ::unsetenv(name);
    // Socket paths must stay short (108 bytes): the runtime folder is a short one of its own.
    char runtime[] = "/tmp/kpw-XXXXXX";
    runtime_ = ::mkdtemp(runtime) != nullptr ? std::filesystem::path(runtime) : folder_ / "pw";
    std::filesystem::create_directories(runtime_);
    ::chmod(runtime_.c_str(), 0700);
    std::filesystem::create_directories(folder_ / "pipewire-config");
    std::filesystem::create_directories(folder_ / "pipewire-state");
    ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder_ / "pipewire-config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (folder_ / "pipewire-state").c_str(), 1);
    ::setenv("PULSE_RUNTIME_PATH", (runtime_ / "pulse").c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (runtime_ / "bus").string()).c_str(), 1);
    const std::string config = (folder_ / "pipewire-client.conf").string();
    std::ofstream(config) << "autospawn = no\n";
    ::setenv("PULSE_CLIENTCONFIG", config.c_str(), 1);
  }
  ~PrivatePipeWire() {
    StopRecording();
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(runtime_, ignored);
  }

  // Starts the four and the null sink, and waits until the sink is the default; false, with the
  // reason, when they cannot.
  bool Start(std::string& why) {
    for (const char* program : {"dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse", "pactl", "parec"}) {
      if (!OnPath(program)) {
        why = std::string(program) + " is not installed (Debian's pipewire, wireplumber, pipewire-pulse, "
              "dbus and pulseaudio-utils)";
        return false;
      }
    }
    const auto log = [&](const char* name) { return (folder_ / (std::string(name) + ".log")).string(); };
    bus_ = Process({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + (runtime_ / "bus").string()},
                   {}, {}, log("dbus"));
    if (!WaitFor([&] { return std::filesystem::exists(runtime_ / "bus"); }, std::chrono::seconds(5))) {
      return Fail("the session bus did not start; see " + log("dbus"), why);
    }
    server_ = Process({"pipewire"}, {}, {}, log("pipewire"));
    if (!WaitFor([&] { return std::filesystem::exists(runtime_ / "pipewire-0"); }, std::chrono::seconds(5))) {
      return Fail("pipewire did not start; see " + log("pipewire"), why);
    }
    session_ = Process({"wireplumber"}, {}, {}, log("wireplumber"));
    pulse_ = Process({"pipewire-pulse"}, {}, {}, log("pipewire-pulse"));
    if (!WaitFor([&] { return Run("pactl info >/dev/null 2>&1") == 0; }, std::chrono::seconds(10))) {
      return Fail("pipewire-pulse does not answer; see " + log("pipewire-pulse"), why);
    }
    if (Run("pactl load-module module-null-sink sink_name=null rate=48000 >/dev/null 2>&1") != 0) {
      return Fail("the null sink could not be made", why);
    }
    // The session manager links new streams to the default sink once it has seen the new node.
    if (!WaitFor([&] {
          return Run("pactl set-default-sink null >/dev/null 2>&1 && "
                     "test \"$(pactl get-default-sink 2>/dev/null)\" = null") == 0;
        }, std::chrono::seconds(10))) {
      return Fail("the null sink did not become the default; see " + log("wireplumber"), why);
    }
    return true;
  }
  void Kill() {
    for (Process* p : {&pulse_, &session_, &server_}) p->Signal(SIGKILL);
    for (Process* p : {&pulse_, &session_, &server_}) p->Wait(std::chrono::seconds(5));
  }
  void Stop() {
    Thaw();
    for (Process* p : {&pulse_, &session_, &server_, &bus_}) p->Stop();
  }

  // Records the null sink's monitor into `path` until StopRecording: once the recorder's stream
  // runs, the sink is awake.
  bool StartRecording(const std::string& path) {
    return Record(path, "pactl list short source-outputs 2>/dev/null | grep -q .");
  }

 private:
  bool Fail(const std::string& reason, std::string& why) {
    why = reason;
    Stop();
    return false;
  }

  Process bus_, session_, pulse_;
};

}  // namespace kestu::test
