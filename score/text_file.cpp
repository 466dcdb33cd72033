#include "score/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "score/errors.h"
#include "score/file_descriptor.h"

namespace kestu {

namespace {

// Reads at most `limit` + 1 bytes, so an endless or huge file shows itself without being held.
bool ReadAtMost(int fd, size_t limit, std::string& text) {
  const size_t step = 64 * 1024;
  for (;;) {
    const size_t want = std::min(step, limit + 1 - text.size());
    if (want == 0) return true;
    const size_t at = text.size();
    text.resize(at + want);
    const ssize_t n = ::read(fd, text.data() + at, want);
    if (n < 0) {
      text.resize(at);
      if (errno == EINTR) continue;
      return false;
    }
    text.resize(at + static_cast<size_t>(n));
    if (n == 0) return true;
  }
}

}  // namespace

std::string ReadTextFile(const std::string& fileName) {
  try {
    // O_NONBLOCK: opening a FIFO must not wait for a writer before it can be refused.
    const FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) throw EFOpenError(fileName);
    if (static_cast<unsigned long long>(st.st_size) > kMaxTextFileBytes) throw EFOpenError(fileName);
    std::string text;
    text.reserve(static_cast<size_t>(st.st_size));
    if (!ReadAtMost(fd.Get(), kMaxTextFileBytes, text) || text.size() > kMaxTextFileBytes) {
      throw EFOpenError(fileName);
    }
    return text;
  } catch (const EFOpenError&) {
    throw;
  } catch (const std::exception&) {
    // Running out of memory is still a file that could not be read.
    throw EFOpenError(fileName);
  }
}

}  // namespace kestu
