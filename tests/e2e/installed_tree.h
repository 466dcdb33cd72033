#pragma once
// Installing the build into a folder of a test's own, as a user or a packager would, and reading
// the desktop entry it wrote.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/support/process.h"

namespace kestu::e2e {
using support::OnPath;
using support::Process;
using support::Run;

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

}  // namespace kestu::e2e
