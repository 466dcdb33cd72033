#include "app/dialog_folder.h"

#include <unistd.h>

#include <filesystem>
#include <utility>

namespace kestu {

namespace fs = std::filesystem;

bool WritableFolder(const std::string& folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

DialogFolder::DialogFolder(std::string current, std::string documents, std::string home)
    : current_(std::move(current)), documents_(std::move(documents)), home_(std::move(home)) {}

std::string DialogFolder::Start() const {
  if (!last_.empty()) return last_;
  if (WritableFolder(current_)) return current_;
  std::error_code ec;
  if (!documents_.empty() && fs::is_directory(documents_, ec)) return documents_;
  if (!home_.empty() && fs::is_directory(home_, ec)) return home_;
  return current_;  // a user without a home: at least a folder that exists
}

void DialogFolder::Chosen(const std::string& file) {
  const fs::path folder = fs::path(file).parent_path();
  if (!folder.empty()) last_ = folder.string();
}

}  // namespace kestu
