#pragma once
#include <cstddef>
#include <string>

namespace kestu {

// Far above any score (at most about 5.8 KB), low enough that any file can be held in memory.
inline constexpr std::size_t kMaxTextFileBytes = 4 * 1024 * 1024;

// Reads a whole regular file (links followed) as bytes. Throws EFOpenError when it cannot be opened
// or read, is not a regular file (a folder, FIFO, device or socket) or holds more than
// kMaxTextFileBytes. Never waits on a FIFO and never reads more than the limit and one byte.
std::string ReadTextFile(const std::string& fileName);

// Replaces a file's content with text as overwriting it would, without the risk of losing the old
// content where that can be avoided. A symbolic link stays and its target gets the text. A file
// that is not a regular one, or that the user may not write, is refused as an overwrite would be.
// The text normally goes to a temporary file in the same folder, flushed to disk and renamed over
// the old one, keeping its mode and owner. Where renaming cannot keep what the file is (several
// hard links, an owner or group the user cannot give, a folder that refuses new files) the file is
// written in place, its room reserved first so that a full disk leaves it as it was. Throws
// EFCreateError (naming fileName) when the file cannot be written.
void WriteTextFileReplacing(const std::string& fileName, const std::string& text);

}  // namespace kestu
