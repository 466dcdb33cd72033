#pragma once
// Running test code or a program in a child process: as an ordinary user when the tests run as
// root (as CI runs them), under a file size limit that stands in for a full disk, or both.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kestu::test {

// The user the children become when the tests run as root.
inline constexpr uid_t kOrdinaryUid = 65534;
inline constexpr gid_t kOrdinaryGid = 65534;

inline bool RunningAsRoot() { return ::geteuid() == 0; }

struct ChildOptions {
  bool asOrdinaryUser = false;            // drop root to 65534; an ordinary user stays itself
  std::optional<rlim_t> fileSizeLimit;    // bytes; writes past it fail with EFBIG
  std::string workingFolder;              // for programs; empty: stay
};

namespace detail {

// In the child: limits first, then the user, since an ordinary user may not raise limits.
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

inline std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace detail

// Runs body in a forked child and returns what it returned, or nothing when the child could not
// apply the options or did not end normally. The child touches nothing of the parent's state.
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
  const std::string report = detail::ReadAll(pipeFds[0]);
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return report;
}

struct ProgramRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally (a crash, an abort)
  std::string out, err;
};

// Runs a program with its arguments, standard input empty, its outputs collected through pipes
// (a file size limit of the child does not cut them short).
inline ProgramRun RunProgram(const std::vector<std::string>& argv, const ChildOptions& options = {}) {
  int outPipe[2], errPipe[2];
  ProgramRun run;
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
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (pid > 0) {
    // Both at once, so that neither pipe fills while the other is read.
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* texts[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          texts[i]->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  return run;
}

}  // namespace kestu::test
