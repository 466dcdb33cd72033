#pragma once
// Putting a sample file in place whole (its bytes from sound/wave_writer.h).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestu::synth {

// Writes through a temporary file renamed into place, so that an interrupted build never leaves
// a half-written sample behind. Returns false and fills `error` when it cannot.
bool WriteFileReplacing(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                        std::string& error);

}  // namespace kestu::synth
