#pragma once
// A Wayland compositor of the test's own: weston on its headless backend (drawn in memory, so its
// screenshots show what a user would see), in a runtime folder of its own, so it never meets a
// desktop's. A client reaches it with XDG_RUNTIME_DIR=RuntimeDir() and WAYLAND_DISPLAY=Socket().
#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/process.h"
#include "tests/support/scratch_folder.h"

namespace kestu::test {

class PrivateWayland {
 public:
  ~PrivateWayland() { Stop(); }

  // Starts an output of width x height pixels; false, with Why() saying so, when weston is missing
  // or does not come up.
  bool Start(int width, int height, const std::string& logFile) {
    if (!OnPath("weston")) return Fail("weston is not installed");
    server_ = Process({"weston", "--backend=headless-backend.so", "--use-pixman", "--socket=" + Socket(),
                       "--width=" + std::to_string(width), "--height=" + std::to_string(height), "--debug",
                       "--idle-time=0"},
                      {"XDG_RUNTIME_DIR=" + RuntimeDir()}, {}, logFile);
    const auto ready = [&] { return std::filesystem::exists(runtime_ / Socket()); };
    if (!WaitFor([&] { return ready() || !server_.Running(); }, std::chrono::seconds(10)) || !ready()) {
      server_.Stop();
      return Fail("weston did not start (see " + logFile + ")");
    }
    return true;
  }
  void Stop() { server_.Stop(); }

  std::string Socket() const { return "kestu-wayland-0"; }
  std::string RuntimeDir() const { return runtime_.Path().string(); }
  const std::string& Why() const { return why_; }

  // The output as a PNG at `path`, by weston's screenshooter; false when it could not be taken.
  bool Screenshot(const std::string& path) const {
    if (!OnPath("weston-screenshooter")) return false;
    const std::string shots = (runtime_ / "shots").string();
    std::filesystem::create_directories(shots);
    ChildOptions options{.workingFolder = shots, .env = {"XDG_RUNTIME_DIR=" + RuntimeDir(), "WAYLAND_DISPLAY=" + Socket()}};
    options.timeLimit = std::chrono::seconds(20);
    if (RunProgram({"weston-screenshooter"}, options).status != 0) return false;
    for (const auto& shot : std::filesystem::directory_iterator(shots)) {
      std::filesystem::rename(shot.path(), path);
      return true;
    }
    return false;
  }

 private:
  bool Fail(std::string why) {
    why_ = std::move(why);
    return false;
  }

  Process server_;
  ScratchFolder runtime_{"wayland"};  // a runtime folder is the user's alone: mkdtemp makes it so
  std::string why_;
};

}  // namespace kestu::test
