// kestu-cli check FILE: reads FILE as the Open command would, into a fresh document, prints the
// document's sequence text as it stands afterwards on standard output, and on standard error what
// the user would have been shown. Exit status 0 after a clean read, 1 after any message.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "document_loading.h"
#include "score/sequence_text.h"

namespace kestu::cli {

int Check(const Args& args) {
  if (args.size() != 1) {
    std::fputs("usage: kestu-cli check FILE\n", stderr);
    return 2;
  }
  ScoreDocument doc;
  const bool clean = LoadForCli(doc, args[0]);
  std::cout << WriteSequenceText(doc) << std::flush;
  return clean ? 0 : 1;
}

}  // namespace kestu::cli
