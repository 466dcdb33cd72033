#pragma once
// Starting and stopping the programs a test needs: servers, a recorder, the program.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kestu::support {

class Process {
 public:
  Process() = default;
  // Starts argv[0] (found on PATH) with the current environment plus `env`, in `cwd` when given,
  // its output going to `logFile`.
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
          const std::string& cwd = {}, const std::string& logFile = "/dev/null") {
    std::vector<std::string> environment;
    // The given variables replace inherited ones of the same name.
    auto overridden = [&](const char* entry) {
      for (const std::string& e : env) {
        const size_t eq = e.find('=');
        if (std::strncmp(entry, e.c_str(), eq + 1) == 0) return true;
      }
      return false;
    };
    for (char** e = environ; *e != nullptr; ++e) {
      if (!overridden(*e)) environment.emplace_back(*e);
    }
    for (const std::string& e : env) environment.push_back(e);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  Process(Process&& other) noexcept : pid_(other.pid_), status_(other.status_) { other.pid_ = -1; }
  Process& operator=(Process&& other) noexcept {
    Stop();
    pid_ = other.pid_;
    status_ = other.status_;
    other.pid_ = -1;
    return *this;
  }
  ~Process() { Stop(); }

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      status_ = status;
      pid_ = -1;
      return false;
    }
    return r == 0;
  }
  // Waits for the process to end by itself; its exit status, or nothing on timeout.
  std::optional<int> Wait(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
      if (std::chrono::steady_clock::now() > until) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!status_) return std::nullopt;
    return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : 128 + WTERMSIG(*status_);
  }
  void Signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
  }
  // SIGTERM, then SIGKILL after a second.
  void Stop() {
    if (!Running()) return;
    Signal(SIGTERM);
    if (!Wait(std::chrono::seconds(2))) {
      Signal(SIGKILL);
      Wait(std::chrono::seconds(2));
    }
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Runs a command to its end through the shell; its exit status.
inline int Run(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

inline bool OnPath(const std::string& program) {
  return Run("command -v " + program + " >/dev/null 2>&1") == 0;
}

// Polls `ready` until it holds; false when `limit` passes first.
template <typename F>
bool WaitFor(F ready, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace kestu::support
