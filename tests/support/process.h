#pragma once
// Child processes for tests, all started the same way (fork, then exec or a function): a program
// run to its end with its outputs collected and a time bound, test code run in a child, and the
// long-running programs a test needs (servers, a recorder, the program itself). Each may run as
// an ordinary user when the tests run as root (as CI runs them), since permissions mean nothing to
// root, and under a file size limit that stands in for a full disk.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kestu::test {

// The user the children become when the tests run as root.
inline constexpr uid_t kOrdinaryUid = 65534;
inline constexpr gid_t kOrdinaryGid = 65534;

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// Gives a file or folder (not what a link points at) to the user the children run as, when the
// tests run as root; otherwise they are us. False when it could not.
inline bool GiveToOrdinaryUser(const std::string& path) {
  return !RunningAsRoot() || ::lchown(path.c_str(), kOrdinaryUid, kOrdinaryGid) == 0;
}

struct ChildOptions {
  bool asOrdinaryUser = false;               // drop root to 65534; an ordinary user stays itself
  std::optional<rlim_t> fileSizeLimit = {};  // bytes; writes past it fail with EFBIG
  std::string workingFolder = {};            // for programs; empty: stay
  std::vector<std::string> env = {};         // NAME=value, replacing inherited ones of the same name
  std::chrono::milliseconds timeLimit = std::chrono::minutes(4);  // then the child is killed (not a Process)
};

namespace detail {

// In the child, only system calls: limits first, then the user, since an ordinary user may not
// raise limits. False when one could not be applied.
inline bool ApplyChildOptions(const ChildOptions& options) {
  if (options.fileSizeLimit) {
    ::signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    limit.rlim_cur = *options.fileSizeLimit;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  }
  if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0) return false;
  if (options.asOrdinaryUser && RunningAsRoot()) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kOrdinaryGid) != 0 || ::setuid(kOrdinaryUid) != 0) return false;
  }
  return true;
}

// argv and the environment as exec wants them, made before the fork.
class ExecArgs {
 public:
  ExecArgs(const std::vector<std::string>& argv, const std::vector<std::string>& env) : argv_(argv) {
    auto overridden = [&](const char* entry) {
      for (const std::string& e : env) {
        if (std::strncmp(entry, e.c_str(), e.find('=') + 1) == 0) return true;
      }
      return false;
    };
    for (char** e = environ; *e != nullptr; ++e) {
      if (!overridden(*e)) env_.emplace_back(*e);
    }
    env_.insert(env_.end(), env.begin(), env.end());
    for (std::string& a : argv_) args_.push_back(a.data());
    for (std::string& e : env_) envp_.push_back(e.data());
    args_.push_back(nullptr);
    envp_.push_back(nullptr);
  }
  // In the child: argv[0] found on PATH when it has no slash.
  [[noreturn]] void Exec() const {
    ::execvpe(args_[0], args_.data(), envp_.data());
    ::_exit(127);
  }

 private:
  std::vector<std::string> argv_, env_;
  std::vector<char*> args_, envp_;
};

inline int WaitStatus(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// Reads the child's pipes, all at once so that none fills while another is read, until they close
// or `limit` passes (then the child is killed); closes them and reaps the child. Its wait status,
// or nothing when the time ran out.
inline std::optional<int> Collect(pid_t pid, const std::vector<std::pair<int, std::string*>>& pipes,
                                  std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  std::vector<pollfd> fds;
  for (const auto& [fd, text] : pipes) fds.push_back({fd, POLLIN, 0});
  size_t open = fds.size();
  bool late = false;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    const int ready = left.count() > 0 ? ::poll(fds.data(), fds.size(), static_cast<int>(left.count())) : 0;
    if (ready == 0) {
      late = true;
      ::kill(pid, SIGKILL);
      break;
    }
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        pipes[i].second->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const auto& [fd, text] : pipes) ::close(fd);
  const int status = WaitStatus(pid);
  return late ? std::nullopt : std::optional<int>(status);
}

}  // namespace detail

// Runs body in a forked child and returns what it returned, or nothing when the child could not
// apply the options or did not end normally and in time. The child touches nothing of the
// parent's state; keep body free of threads and of the toolkit.
inline std::optional<std::string> RunInChild(const std::function<std::string()>& body,
                                             const ChildOptions& options) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return std::nullopt;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    ::close(pipeFds[0]);
    if (!detail::ApplyChildOptions(options)) ::_exit(3);
    const std::string report = body();
    const bool sent = ::write(pipeFds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    ::_exit(sent ? 0 : 4);
  }
  ::close(pipeFds[1]);
  std::string report;
  const std::optional<int> status = detail::Collect(pid, {{pipeFds[0], &report}}, options.timeLimit);
  if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return std::nullopt;
  return report;
}

struct ProgramRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally (a crash, an abort, the time limit)
  std::string out, err;
};

// Runs a program (found on PATH) with its arguments to its end, standard input empty, its outputs
// collected through pipes (a file size limit of the child does not cut them short).
inline ProgramRun RunProgram(const std::vector<std::string>& argv, const ChildOptions& options = {}) {
  ProgramRun run;
  const detail::ExecArgs exec(argv, options.env);
  int outPipe[2], errPipe[2];
  if (::pipe(outPipe) != 0) return run;
  if (::pipe(errPipe) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return run;
  }
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int nullFd = ::open("/dev/null", O_RDONLY);
    if (nullFd < 0 || ::dup2(nullFd, 0) < 0 || ::dup2(outPipe[1], 1) < 0 || ::dup2(errPipe[1], 2) < 0) ::_exit(126);
    for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], nullFd}) ::close(fd);
    if (!detail::ApplyChildOptions(options)) ::_exit(126);
    exec.Exec();
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (pid < 0) {
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return run;
  }
  const std::optional<int> status =
      detail::Collect(pid, {{outPipe[0], &run.out}, {errPipe[0], &run.err}}, options.timeLimit);
  run.status = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
  return run;
}

// A shell command line run to its end; its exit status. What it prints goes to the test's log.
inline int Run(const std::string& command, const ChildOptions& options = {}) {
  const ProgramRun run = RunProgram({"/bin/sh", "-c", command}, options);
  std::cout << run.out << std::flush;
  std::cerr << run.err << std::flush;
  return run.status;
}

// A shell command line's standard output, trailing blanks and newlines removed.
inline std::string Capture(const std::string& command) {
  std::string out = RunProgram({"/bin/sh", "-c", command}).out;
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
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

// A program running beside the test, stopped when this goes.
class Process {
 public:
  Process() = default;
  // Starts argv[0] (found on PATH) with the options' environment, folder and user, its output going
  // to `logFile`.
  Process(const std::vector<std::string>& argv, const std::string& logFile, const ChildOptions& options) {
    const detail::ExecArgs exec(argv, options.env);
    std::fflush(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (log < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0) ::_exit(126);
      ::close(log);
      if (!detail::ApplyChildOptions(options)) ::_exit(126);
      exec.Exec();
    }
  }
  // The same, with just an environment and a folder.
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
          const std::string& cwd = {}, const std::string& logFile = "/dev/null")
      : Process(argv, logFile, ChildOptions{.workingFolder = cwd, .env = env}) {}
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
  // Waits for the process to end by itself; its exit status (128 + the signal that ended it), or
  // nothing on timeout.
  std::optional<int> Wait(std::chrono::milliseconds timeout) {
    if (!WaitFor([&] { return !Running(); }, timeout) || !status_) return std::nullopt;
    return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : 128 + WTERMSIG(*status_);
  }
  void Signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
  }
  // SIGTERM, then SIGKILL after two seconds.
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

}  // namespace kestu::test
