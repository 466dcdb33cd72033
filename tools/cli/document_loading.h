#pragma once
// Reading a score file for the commands of kestu-cli, as the program's Open command reads it.
#include <string>

#include "score/document.h"

namespace kestu::cli {

// Reads fileName into doc, which is expected to be a fresh document (loop off, 4/4). Prints what the
// user would have been shown on standard error and returns false after any message; the document is
// then as the program would have left it.
bool LoadForCli(ScoreDocument& doc, const std::string& fileName);

}  // namespace kestu::cli
