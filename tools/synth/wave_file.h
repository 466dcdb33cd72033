#pragma once
// Writing 16-bit mono PCM RIFF WAVE files.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestu::synth {

// The whole file: RIFF header, a 16-byte "fmt " chunk, then the "data" chunk.
std::vector<std::uint8_t> EncodeWave(const std::vector<std::int16_t>& pcm, int sample_rate);

// Writes through a temporary file renamed into place, so that an interrupted build never leaves
// a half-written sample behind. Returns false and fills `error` when it cannot.
bool WriteFileReplacing(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                        std::string& error);

}  // namespace kestu::synth
