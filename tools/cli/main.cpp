// kestu-cli: the command-line side of KestuSequencer.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "commands.h"
#include "playback/program_sound.h"

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

void PrintUsage(std::FILE* to) {
  std::fputs("usage: kestu-cli COMMAND ...\n", to);
  for (const Command& c : kCommands) std::fprintf(to, "  kestu-cli %s\n", c.usage);
  std::fputs("  kestu-cli --help | --version\n", to);
}

// A wrong command line: the usage on standard error.
int Usage() {
  PrintUsage(stderr);
  return 2;
}

int Help() {
  std::fputs("kestu-cli: KestuSequencer's scores without the window.\n\n", stdout);
  PrintUsage(stdout);
  std::fputs("\n"
             "check     read FILE as the program's Open does; print its text, and what the program\n"
             "          would show on standard error\n"
             "render    play FILE as the program does and write the sound as a WAV file\n",
             stdout);
  std::fprintf(stdout, "          (%u Hz, %u-bit %s); --loops N passes when the loop is on\n",
               static_cast<unsigned>(kestu::kPrimaryRate), static_cast<unsigned>(kestu::kPrimaryBits),
               kestu::kPrimaryStereo ? "stereo" : "mono");
  std::fputs(
#ifdef KESTU_CLI_SNAPSHOT
             "snapshot  draw the score view at scroll offset S as a PNG picture\n"
#endif
             "midi      write the score as a Standard MIDI File\n\n"
             "Exit status: 0 done, 1 the score or a sample could not be read or the output not\n"
             "written, 2 a wrong command line. See kestu-cli(1).\n",
             stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Version() {
  std::fputs("kestu-cli " KESTU_VERSION "\n", stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return Help();
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return Version();
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
