// kestu-cli midi FILE OUT.mid: the score as a Standard MIDI File, as playback would play it once.
// OUT.mid is put in place only when written whole; it is never FILE itself.
#include <cstdio>

#include "commands.h"
#include "document_loading.h"
#include "midi_file.h"
#include "output_checks.h"
#include "score/replacing_output.h"

namespace kestu::cli {

int Midi(const Args& args) {
  if (args.size() != 2) {
    std::fputs("usage: kestu-cli midi FILE OUT.mid\n", stderr);
    return 2;
  }
  ScoreDocument doc;
  if (!LoadForCli(doc, args[0])) return 1;
  if (OutputIsTheInput(args[0], args[1])) return 1;
  const std::vector<uint8_t> bytes = midi::WriteMidi(doc);
  try {
    ReplacingOutput out(args[1]);
    out.Write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    out.Commit();
  } catch (const std::exception& e) {
    return ReportError(e);
  }
  return 0;
}

}  // namespace kestu::cli
