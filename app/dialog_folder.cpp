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

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && fs::equivalent(a, b, ec);
}

// Whether `folder` is `outer` or lies inside it (links resolved).
bool Within(const std::string& folder, const std::string& outer) {
  std::error_code ec;
  if (outer.empty()) return false;
  const fs::path inner = fs::weakly_canonical(folder, ec);
  const fs::path top = fs::weakly_canonical(outer, ec);
  if (ec) return false;
  auto i = inner.begin();
  for (auto t = top.begin(); t != top.end(); ++t, ++i) {
    if (t->empty()) continue;  // a trailing separator
    if (i == inner.end() || *i != *t) return false;
  }
  return true;
}

}  // namespace

DialogFolder::DialogFolder(std::string current, std::string documents, std::string home, std::string programData)
    : current_(std::move(current)),
      documents_(std::move(documents)),
      home_(std::move(home)),
      programData_(std::move(programData)) {}

bool DialogFolder::WorkingFolder(const std::string& folder) const {
  return WritableFolder(folder) && !SameFolder(folder, home_) && !Within(folder, programData_);
}

std::string DialogFolder::Start() const {
  if (!last_.empty() && !Within(last_, programData_)) return last_;
  if (WorkingFolder(current_)) return current_;
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
