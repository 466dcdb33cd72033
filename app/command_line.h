#pragma once
// The program's command line: `kestu [FILE]`, `kestu --help`, `kestu --version`. FILE is opened
// as the Open command opens a chosen file. The toolkit's own options (-platform NAME, -style NAME,
// ...) are left to the toolkit. Plain C++, so it is read before the toolkit needs a display.
#include <string>
#include <vector>

namespace kestu {

struct CommandLine {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  std::string file;   // Run: the score to open, "" for none
  std::string error;  // UsageError: what was wrong
};

// Reads the arguments after the program's name. With toolkitOptions, an argument of one dash is
// the toolkit's and is passed over (with the value the toolkit's options of that name take); once
// the toolkit has taken its own options out, anything left with a dash is an error. "--" ends the
// options, so a file named "-x" can be given as `kestu -- -x`.
CommandLine ParseCommandLine(const std::vector<std::string>& args, bool toolkitOptions);

// `kestu --help` and the usage line a wrong command line prints.
std::string HelpText();
std::string UsageText();
std::string VersionText();

}  // namespace kestu
