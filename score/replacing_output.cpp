#include "score/replacing_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "score/errors.h"
#include "score/file_paths.h"

namespace kestu {

ReplacingOutput::ReplacingOutput(const std::string& fileName) : fileName_(fileName) {
  const std::optional<std::string> followed = FollowLinks(fileName);
  if (!followed) throw EFCreateError(fileName);
  target_ = *followed;
  struct stat old {};
  if (::stat(target_.c_str(), &old) == 0) {
    // A folder, a FIFO or a device (say /dev/null) is never renamed over.
    if (!S_ISREG(old.st_mode)) throw EFCreateError(fileName);
    mode_ = old.st_mode & 07777;
  } else if (errno == ENOENT) {
    mode_ = NewFileMode();
  } else {
    throw EFCreateError(fileName);
  }
  fd_ = FileDescriptor(CreateTemporaryBeside(target_, tempName_));
  if (!fd_.Valid()) throw EFCreateError(fileName);
}

ReplacingOutput::~ReplacingOutput() {
  if (committed_) return;
  fd_.Close();
  ::unlink(tempName_.c_str());
}

void ReplacingOutput::Write(std::string_view bytes) {
  if (!fd_.Valid() || !WriteAll(fd_.Get(), bytes.data(), bytes.size())) throw EFCreateError(fileName_);
}

void ReplacingOutput::Commit() {
  const bool synced = fd_.Valid() && ::fchmod(fd_.Get(), mode_) == 0 && ::fsync(fd_.Get()) == 0;
  if (!fd_.Close() || !synced || ::rename(tempName_.c_str(), target_.c_str()) != 0) {
    throw EFCreateError(fileName_);
  }
  committed_ = true;
}

}  // namespace kestu
