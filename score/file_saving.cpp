// Saving a text over a file: by a temporary file renamed into place where that keeps what the file
// is, in place otherwise. Declared in text_file.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <utility>

#include "score/errors.h"
#include "score/file_descriptor.h"
#include "score/file_paths.h"
#include "score/text_file.h"

namespace kestu {

namespace {

enum class Replaced { Done, CannotKeep };

// The folder entry is on disk too once the rename is; a failure here loses nothing.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Valid()) ::fsync(fd.Get());
}

// Writes the text to a new temporary file beside target with the given mode and, when `owner` is
// given, its owner and group, then renames it over target. CannotKeep when the folder refuses the
// temporary file or the owner cannot be given, with nothing left behind. Throws when writing fails.
Replaced ReplaceByRename(const std::string& fileName, const std::string& target, const std::string& text,
                         mode_t mode, const struct stat* owner) {
  std::string tempName;
  FileDescriptor fd(CreateTemporaryBeside(target, tempName));
  if (!fd.Valid()) return Replaced::CannotKeep;
  struct stat made {};
  if (owner != nullptr && ::fstat(fd.Get(), &made) == 0 &&
      (made.st_uid != owner->st_uid || made.st_gid != owner->st_gid) &&
      ::fchown(fd.Get(), owner->st_uid, owner->st_gid) != 0) {
    fd.Close();
    ::unlink(tempName.c_str());
    return Replaced::CannotKeep;
  }
  // The mode after the owner: a change of owner clears the set-id bits.
  const bool written = WriteAll(fd.Get(), text.data(), text.size()) && ::fchmod(fd.Get(), mode) == 0 &&
                       ::fsync(fd.Get()) == 0;
  if (!fd.Close() || !written || ::rename(tempName.c_str(), target.c_str()) != 0) {
    ::unlink(tempName.c_str());
    throw EFCreateError(fileName);
  }
  SyncFolderOf(target);
  return Replaced::Done;
}

// Overwrites an open file with the text. The room a longer text needs is reserved before any old
// byte is touched, so a full disk refuses the save with the old content whole.
void WriteInPlace(const std::string& fileName, FileDescriptor fd, off_t oldSize, const std::string& text) {
  const auto newSize = static_cast<off_t>(text.size());
  if (newSize > oldSize && ::posix_fallocate(fd.Get(), oldSize, newSize - oldSize) != 0) {
    if (::ftruncate(fd.Get(), oldSize) != 0) {
      // The old content is still there; only room at its end may stay reserved.
    }
    throw EFCreateError(fileName);
  }
  const bool written = WriteAll(fd.Get(), text.data(), text.size(), 0) &&
                       (newSize >= oldSize || ::ftruncate(fd.Get(), newSize) == 0) && ::fsync(fd.Get()) == 0;
  if (!fd.Close() || !written) throw EFCreateError(fileName);
}

}  // namespace

void WriteTextFileReplacing(const std::string& fileName, const std::string& text) {
  const std::optional<std::string> followed = FollowLinks(fileName);
  if (!followed) throw EFCreateError(fileName);
  const std::string& target = *followed;

  struct stat old {};
  if (::stat(target.c_str(), &old) != 0) {
    if (errno != ENOENT) throw EFCreateError(fileName);
    // A new file: the folder must take it, as creating it directly would need.
    if (ReplaceByRename(fileName, target, text, NewFileMode(), nullptr) != Replaced::Done) {
      throw EFCreateError(fileName);
    }
    return;
  }
  if (!S_ISREG(old.st_mode)) throw EFCreateError(fileName);
  // Opening for writing asks what an overwrite would ask: permissions, a read-only file system.
  // O_NONBLOCK: a FIFO put in its place meanwhile must not block.
  FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid() || ::fstat(fd.Get(), &old) != 0 || !S_ISREG(old.st_mode)) throw EFCreateError(fileName);

  // Renaming gives the name a new file: other hard links would keep the old one.
  if (old.st_nlink == 1 &&
      ReplaceByRename(fileName, target, text, old.st_mode & 07777, &old) == Replaced::Done) {
    return;
  }
  WriteInPlace(fileName, std::move(fd), old.st_size, text);
}

}  // namespace kestu
