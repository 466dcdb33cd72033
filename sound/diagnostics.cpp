#include "sound/diagnostics.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kestu {

bool HaltSwitch = false;
bool LogSwitch = false;
bool RaiseSwitch = false;
std::int32_t LogLineCount = 0;

namespace {

std::string logFolderOverride;

std::string ExecutableFolder() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0) return "./";
  path.resize(static_cast<std::size_t>(length));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

[[noreturn]] void RaiseLogError(const char* what, const std::string& path) {
  throw EDDSDLogError(std::string(what) + " " + path + ": " + std::strerror(errno));
}

// Opens, writes and closes the log for one line, so nothing stays open.
void AppendLogLine(const std::string& text) {
  const std::string path = DebugLogPath();
  std::FILE* file = std::fopen(path.c_str(), LogLineCount == 0 ? "wb" : "ab");
  if (file == nullptr) RaiseLogError("cannot open", path);
  ++LogLineCount;
  char number[16];
  std::snprintf(number, sizeof number, "%.5d", static_cast<int>(LogLineCount));
  const std::string line = std::string("debug#") + number + " ... " + text + "\r\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) RaiseLogError("cannot write", path);
}

}  // namespace

void ApplyDebugOption(TDDSDDebugOption options) {
  LogSwitch = (options & dsoDebugMessage) != 0;
  RaiseSwitch = (options & dsoExceptOnError) != 0;
  HaltSwitch = (options & dsoHaltOnError) != 0;
}

std::string DebugLogPath() {
  if (logFolderOverride.empty()) return ExecutableFolder() + "ddsd.debug";
  std::string folder = logFolderOverride;
  if (folder.back() != '/') folder += '/';
  return folder + "ddsd.debug";
}

void SetDebugLogFolder(const std::string& folder) { logFolderOverride = folder; }

void DebugMessage(const std::string& text) {
  if (LogSwitch) AppendLogLine(text);
  if (RaiseSwitch) throw EDDSD(text);
}

void CheckResult(std::int32_t code, const std::string& text) {
  if (code == 0) return;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "(Error Code(%X))", static_cast<unsigned>(code));
  DebugMessage(text + suffix);
  if (HaltSwitch) Halt();
}

void Halt() {
  // A failed sound-system call is a failure: the status says so. std::exit
  // runs the normal termination (static objects, stdio flushed).
  std::exit(1);
}

}  // namespace kestu
