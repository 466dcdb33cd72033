#pragma once
// Installing the build into a folder of a test's own, as a user or a packager would, and reading
// the desktop entry it wrote.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace kestu::test {

// `cmake --install` of the build folder with `prefix`, under `destdir` when given. True on success.
inline bool InstallBuild(const std::string& prefix, const std::string& destdir, const std::string& log) {
  std::string command = "'" KESTU_CMAKE_COMMAND "' --install '" KESTU_BUILD_DIR "' --prefix '" + prefix + "'";
  if (!destdir.empty()) command = "DESTDIR='" + destdir + "' " + command;
  return Run(command + " > '" + log + "' 2>&1") == 0;
}

// The [Desktop Entry] keys of a desktop file, values as written.
inline std::map<std::string, std::string> ReadDesktopEntry(const std::filesystem::path& file) {
  std::map<std::string, std::string> keys;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos && line[0] != '#' && line[0] != '[') keys[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return keys;
}

// The command a desktop runs for an entry's Exec value: the value's own escapes undone, then split
// at spaces outside double quotes (inside them a backslash escapes the next character); the field
// code %f becomes `file`, or goes when there is none.
inline std::vector<std::string> ExecArguments(const std::string& exec, const std::string& file = {}) {
  std::string value;
  for (size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size() && exec[i + 1] == '\\') ++i;
    value += exec[i];
  }
  std::vector<std::string> args;
  std::string arg;
  bool quoted = false, any = false;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quoted && c == '\\' && i + 1 < value.size()) {
      arg += value[++i];
    } else if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any || !arg.empty()) args.push_back(arg);
      arg.clear();
      any = false;
    } else {
      arg += c;
    }
  }
  if (any || !arg.empty()) args.push_back(arg);
  std::vector<std::string> command;
  for (const std::string& a : args) {
    if (a != "%f") {
      command.push_back(a);
    } else if (!file.empty()) {
      command.push_back(file);
    }
  }
  return command;
}

}  // namespace kestu::test
