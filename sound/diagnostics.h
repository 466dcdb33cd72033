// How the sound layer reports a problem: one message routine that logs to
// "ddsd.debug" and/or raises EDDSD, one result check for sound-system calls,
// and halting. The switches are process-wide; GUI thread only.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestu {

enum TDDSDDebugOptionElement : std::uint8_t {
  dsoHaltOnError = 1,
  dsoDebugMessage = 2,
  dsoExceptOnError = 4,
};
// A set of the elements above, one bit each.
using TDDSDDebugOption = std::uint8_t;

class EDDSD : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The log could not be created, opened, written or closed.
class EDDSDLogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Process-wide state, false / 0 when the process starts.
extern bool HaltSwitch;
extern bool LogSwitch;
extern bool RaiseSwitch;
extern std::int32_t LogLineCount;

// Sets the three switches from a set of options.
void ApplyDebugOption(TDDSDDebugOption options);

// Appends the text to the log (LogSwitch) and then raises it as EDDSD (RaiseSwitch).
void DebugMessage(const std::string& text);
// For a nonzero code: DebugMessage(text + "(Error Code(%X))"), then halt if HaltSwitch.
void CheckResult(std::int32_t code, const std::string& text);
// Ends the process with exit status 1 through normal termination, silently.
[[noreturn]] void Halt();

// "ddsd.debug" in the executable's folder, unless a folder was set below.
std::string DebugLogPath();
// Puts the log in another folder (with or without a trailing '/'); an empty
// string restores the executable's folder. For tests and tools.
void SetDebugLogFolder(const std::string& folder);

}  // namespace kestu
