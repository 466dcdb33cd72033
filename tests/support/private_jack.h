#pragma once
// A JACK server of the test's own on the dummy driver (no sound card), under a name of its own that
// this process is pointed at (JACK_DEFAULT_SERVER), so that no other server is found or disturbed.
// The name stays the same from run to run: JACK keeps a machine-wide table of a few servers, and
// reclaims an entry left by a server that died only for a server of the same name.
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/process.h"

namespace kestu::test {

class PrivateJack {
 public:
  explicit PrivateJack(std::filesystem::path folder) : folder_(std::move(folder)) {
    ::setenv("JACK_DEFAULT_SERVER", kName, 1);
  }
  ~PrivateJack() {
    server_.Stop();
    ::unsetenv("JACK_DEFAULT_SERVER");
  }

  // Starts jackd at `rate` with `period`-frame cycles and waits until it answers; false, with the
  // reason, when it cannot.
  bool Start(std::uint32_t rate, std::uint32_t period, std::string& why) {
    if (!OnPath("jackd") || !OnPath("jack_lsp")) {
      why = "jackd and jack_lsp are not installed (Debian's jackd2)";
      return false;
    }
    const std::string log = (folder_ / "jackd.log").string();
    server_ = Process({"jackd", "-n", kName, "-d", "dummy", "-r", std::to_string(rate), "-p", std::to_string(period)},
                      {"JACK_NO_AUDIO_RESERVATION=1"}, {}, log);
    if (!WaitFor([&] { return !server_.Running() || Run("jack_lsp >/dev/null 2>&1") == 0; },
                 std::chrono::seconds(10)) || !server_.Running()) {
      std::ostringstream said;
      said << std::ifstream(log).rdbuf();
      why = "jackd did not start: " + said.str().substr(said.str().size() > 300 ? said.str().size() - 300 : 0);
      server_.Stop();
      return false;
    }
    return true;
  }
  // Shuts the server down as its user would: its clients are told, and its entries go.
  void Stop() { server_.Stop(); }
  // Ends the server at once, as a crash does: its clients learn it from the broken connection.
  void Kill() {
    server_.Signal(SIGKILL);
    server_.Wait(std::chrono::seconds(5));
  }

 private:
  static constexpr const char* kName = "kestu-test";

  std::filesystem::path folder_;
  Process server_;
};

}  // namespace kestu::test
