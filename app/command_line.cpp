#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

#ifndef KESTU_VERSION
#define KESTU_VERSION "unknown"
#endif

namespace kestu {

namespace {

// The toolkit's options that take a value as the next argument.
constexpr std::array<std::string_view, 15> kToolkitOptionsWithValue{
    "-platform",   "-platformpluginpath", "-platformtheme", "-plugin",         "-qmljsdebugger",
    "-style",      "-stylesheet",         "-session",       "-display",        "-geometry",
    "-qwindowgeometry", "-qwindowicon",   "-qwindowtitle",  "-title",          "-name"};

bool TakesValue(std::string_view option) {
  return std::find(kToolkitOptionsWithValue.begin(), kToolkitOptionsWithValue.end(), option) !=
         kToolkitOptionsWithValue.end();
}

CommandLine Error(std::string what) {
  CommandLine line;
  line.action = CommandLine::Action::UsageError;
  line.error = std::move(what);
  return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, bool toolkitOptions) {
  CommandLine line;
  std::vector<std::string> files;
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options || arg == "-" || arg.empty() || arg[0] != '-') {
      files.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--help" || arg == "-h") {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    } else if (arg.rfind("--", 0) == 0 || !toolkitOptions) {
      return Error("unknown option '" + arg + "'");
    } else if (TakesValue(arg)) {
      if (++i >= args.size()) return Error("option '" + arg + "' needs a value");
    }
  }
  if (files.size() > 1) return Error("one score at a time, not " + std::to_string(files.size()));
  if (!files.empty()) line.file = files.front();
  return line;
}

std::string UsageText() { return "usage: kestu [FILE]\n       kestu --help | --version\n"; }

std::string HelpText() {
  return UsageText() +
         "\n"
         "KestuSequencer: place instrument notes on a staff, hear every edit, play the score back.\n"
         "FILE is a score (.ksq), opened as the File menu's Open opens it.\n"
         "\n"
         "  -h, --help     show this text and leave\n"
         "      --version  show the version and leave\n"
         "\n"
         "The samples are read as waves/Sound1.wav .. waves/Sound29.wav from the current folder,\n"
         "or else from beside the program, or else from the installed share/kestu-sequencer.\n"
         "See kestu(1).\n";
}

std::string VersionText() { return "kestu " KESTU_VERSION "\n"; }

}  // namespace kestu
