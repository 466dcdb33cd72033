#pragma once
// Whole files as text, byte for byte (no line-end translation).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kestu::test {

// The file's bytes; empty when it cannot be read.
inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace kestu::test
