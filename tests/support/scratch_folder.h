// A folder of a test's own under the system's temporary folder, made unique
// by mkdtemp (parallel ctest runs share the machine) and removed with all its
// contents when the test is done.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace kestu::test {

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& purpose = "test") {
    std::string pattern = (std::filesystem::temp_directory_path() / ("kestu-" + purpose + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder " + pattern);
    path_ = pattern;
  }
  ~ScratchFolder() {
    if (keep_) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
  // Leaves the folder in place: a failed test's evidence.
  void Keep() { keep_ = true; }

 private:
  std::filesystem::path path_;
  bool keep_ = false;
};

}  // namespace kestu::test
