#pragma once
// An X server of the test's own (Xvfb) on the first free display number of a range. Tests run side
// by side, so a display is taken only when its lock file names our server and its socket is there:
// another test may start a server on the same number at the same moment.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/process.h"

namespace kestu::test {

class PrivateDisplay {
 public:
  ~PrivateDisplay() { Stop(); }

  // Starts a width x height screen on a number in [first, last); false when none could be had.
  bool Start(int width, int height, int first, int last, const std::string& logFile) {
    for (int n = first; n < last && display_.empty(); ++n) {
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      if (std::filesystem::exists(socket) || std::filesystem::exists(LockFile(n))) continue;
      const std::string d = ":" + std::to_string(n);
      server_ = Process({"Xvfb", d, "-screen", "0",
                         std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"},
                        {}, {}, logFile);
      const pid_t ours = server_.Pid();
      const auto ready = [&] { return LockHolder(n) == ours && std::filesystem::exists(socket); };
      if (WaitFor([&] { return ready() || !server_.Running(); }, std::chrono::seconds(5)) && ready()) {
        display_ = d;
      } else {
        server_.Stop();
      }
    }
    return !display_.empty();
  }
  void Stop() {
    server_.Stop();
    display_.clear();
  }

  // ":N", empty before a successful Start.
  const std::string& Name() const { return display_; }

 private:
  static std::string LockFile(int n) { return "/tmp/.X" + std::to_string(n) + "-lock"; }
  // The process that holds display n's lock file, 0 when none does.
  static pid_t LockHolder(int n) {
    std::ifstream lock(LockFile(n));
    long pid = 0;
    return (lock >> pid) ? static_cast<pid_t>(pid) : 0;
  }

  Process server_;
  std::string display_;
};

}  // namespace kestu::test
