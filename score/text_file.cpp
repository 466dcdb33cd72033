#include "score/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "score/errors.h"

namespace kestu {

std::string ReadTextFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EFOpenError(fileName);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EFOpenError(fileName);
  return text;
}

namespace {

bool WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// Writing through a symbolic link replaces the file it points to, not the link.
std::filesystem::path ResolveTarget(const std::string& fileName) {
  std::error_code ec;
  std::filesystem::path path(fileName);
  if (std::filesystem::is_symlink(path, ec)) {
    auto target = std::filesystem::canonical(path, ec);
    if (!ec) return target;
  }
  return path;
}

}  // namespace

void WriteTextFileReplacing(const std::string& fileName, const std::string& text) {
  const std::filesystem::path target = ResolveTarget(fileName);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string tempName = (folder / ("." + target.filename().string() + ".XXXXXX")).string();

  const int fd = ::mkstemp(tempName.data());
  if (fd < 0) throw EFCreateError(fileName);

  // A new file gets the usual permissions; a replaced file keeps its own.
  struct stat old {};
  mode_t mode = 0666;
  if (::stat(target.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }

  const bool written = WriteAll(fd, text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(tempName.c_str(), target.c_str()) != 0) {
    ::unlink(tempName.c_str());
    throw EFCreateError(fileName);
  }
}

}  // namespace kestu
