// kestu-cli: the command-line side of KestuSequencer.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "commands.h"

namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const kestu::cli::Args&);
};

const Command kCommands[] = {
    {"check", "check FILE", kestu::cli::Check},
    {"midi", "midi FILE OUT.mid", kestu::cli::Midi},
    {"render", "render FILE OUT.wav [--loops N]", kestu::cli::Render},
#ifdef KESTU_CLI_SNAPSHOT
    {"snapshot", "snapshot FILE OUT.png [--scroll S]", kestu::cli::Snapshot},
#endif
};

int Usage() {
  std::fputs("usage: kestu-cli COMMAND ...\n", stderr);
  for (const Command& c : kCommands) std::fprintf(stderr, "  kestu-cli %s\n", c.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    try {
      return c.run(kestu::cli::Args(argv + 2, argv + argc));
    } catch (const std::exception& e) {
      // Whatever a command did not report itself ends it with its message, never an abort.
      std::fprintf(stderr, "%s.\n", e.what());
      return 1;
    }
  }
  return Usage();
}
