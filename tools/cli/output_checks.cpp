#include "output_checks.h"

#include <iostream>

#include "score/errors.h"
#include "score/file_paths.h"

namespace kestu::cli {

bool OutputIsTheInput(const std::string& input, const std::string& output) {
  if (!SameFile(input, output)) return false;
  std::cerr << EFCreateError(output).what() << ".\n";
  return true;
}

int ReportError(const std::exception& error) {
  std::cerr << error.what() << ".\n";
  return 1;
}

}  // namespace kestu::cli
