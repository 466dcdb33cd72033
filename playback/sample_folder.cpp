#include "playback/sample_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "playback/pitch_tables.h"
#include "playback/sample_bank.h"

#ifndef KESTU_SAMPLE_DIR_FROM_BIN
#define KESTU_SAMPLE_DIR_FROM_BIN "../share/kestu-sequencer"
#endif

namespace kestu {

namespace fs = std::filesystem;

std::string ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return exe.parent_path().string();
}

std::string InstalledDataFolder() {
  const std::string bin = ExecutableFolder();
  if (bin.empty()) return {};
  return (fs::path(bin) / KESTU_SAMPLE_DIR_FROM_BIN).lexically_normal().string();
}

std::vector<std::string> SampleFolderCandidates() {
  std::vector<std::string> folders{""};
  for (std::string folder : {ExecutableFolder(), InstalledDataFolder()}) {
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(std::move(folder));
    }
  }
  return folders;
}

std::string ChooseSampleFolder(const std::vector<std::string>& candidates) {
  for (const std::string& folder : candidates) {
    for (int n = 1; n <= kSampleCount; ++n) {
      std::error_code ec;
      if (fs::is_regular_file(SampleBank::FilePath(folder, n), ec)) return folder;
    }
  }
  return {};
}

std::string FindSampleFolder() { return ChooseSampleFolder(SampleFolderCandidates()); }

}  // namespace kestu
