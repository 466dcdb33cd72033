#pragma once
// An output file written under a temporary name beside its final one and renamed into place only
// once every byte has reached it: a failure (a full disk) leaves no partial file and an old output
// as it was. A symbolic link given as the name stays and its target is replaced. Tools' main
// thread.
#include <string>
#include <string_view>

#include "score/file_descriptor.h"

namespace kestu {

class ReplacingOutput {
 public:
  // Creates the temporary file. Throws EFCreateError(fileName) when the name is not a regular file
  // or a new one, or when its folder takes no new file.
  explicit ReplacingOutput(const std::string& fileName);
  // Removes the temporary file unless Commit succeeded.
  ~ReplacingOutput();
  ReplacingOutput(const ReplacingOutput&) = delete;
  ReplacingOutput& operator=(const ReplacingOutput&) = delete;

  // For writers that open the file by name themselves.
  const std::string& TemporaryName() const { return tempName_; }
  // Appends bytes; throws EFCreateError when they cannot be written.
  void Write(std::string_view bytes);
  // Gives the file the old output's mode (or a new file's), flushes it to disk, closes it and
  // renames it over the output. Throws EFCreateError when any step fails.
  void Commit();

 private:
  std::string fileName_, target_, tempName_;
  unsigned mode_ = 0;
  FileDescriptor fd_;
  bool committed_ = false;
};

}  // namespace kestu
