// kestu-cli midi FILE OUT.mid: the score as a Standard MIDI File, as playback would play it once.
#include <cstdio>
#include <fstream>

#include "commands.h"
#include "document_loading.h"
#include "midi_file.h"

namespace kestu::cli {

int Midi(const Args& args) {
  if (args.size() != 2) {
    std::fputs("usage: kestu-cli midi FILE OUT.mid\n", stderr);
    return 2;
  }
  ScoreDocument doc;
  if (!LoadForCli(doc, args[0])) return 1;
  const std::vector<uint8_t> bytes = midi::WriteMidi(doc);
  std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "ファイル %s を作成できません.\n", args[1].c_str());
    return 1;
  }
  return 0;
}

}  // namespace kestu::cli
