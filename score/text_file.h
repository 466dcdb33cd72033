#pragma once
#include <string>

namespace kestu {

// Reads a whole file as bytes. Throws EFOpenError when it cannot be opened or read.
std::string ReadTextFile(const std::string& fileName);

// Replaces a file's content with text so that the old content survives any failure: the text goes
// to a temporary file in the same folder, which is flushed to disk and then renamed over the old
// one. Throws EFCreateError (naming fileName) when any step fails; the old file is then untouched.
void WriteTextFileReplacing(const std::string& fileName, const std::string& text);

}  // namespace kestu
