#pragma once
// Names of files as the file system sees them: where a chain of symbolic links ends, whether two
// names reach one file, and a temporary file beside another. POSIX calls; GUI thread or a tool's
// main thread.
#include <optional>
#include <string>

namespace kestu {

// The name a chain of symbolic links ends at. The last name need not exist yet (a link to a file
// still to be made). Nothing when the chain loops or a link cannot be read.
std::optional<std::string> FollowLinks(const std::string& fileName);

// True when both names reach the same file (device and inode, through links). False when either
// does not exist.
bool SameFile(const std::string& a, const std::string& b);

// Creates a new, empty file readable and writable by its owner only in the folder of `target`,
// with a name that starts with "." and fits the folder's name length limit. Returns its descriptor
// and sets tempName, or returns -1 with errno set.
int CreateTemporaryBeside(const std::string& target, std::string& tempName);

// The permissions a new file gets from the process's umask: 0666 without the masked bits.
unsigned NewFileMode();

}  // namespace kestu
