#include "tools/synth/wave_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace kestu::synth {

namespace {

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> EncodeWave(const std::vector<std::int16_t>& pcm, int sample_rate) {
  constexpr std::uint32_t kChannels = 1;
  constexpr std::uint32_t kBytesPerFrame = 2;
  const auto data_bytes = static_cast<std::uint32_t>(pcm.size() * kBytesPerFrame);
  std::vector<std::uint8_t> out;
  out.reserve(44 + data_bytes + 1);
  PutTag(out, "RIFF");
  PutU32(out, 4 + (8 + 16) + (8 + data_bytes + (data_bytes & 1)));
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);  // integer PCM
  PutU16(out, kChannels);
  PutU32(out, static_cast<std::uint32_t>(sample_rate));
  PutU32(out, static_cast<std::uint32_t>(sample_rate) * kBytesPerFrame);
  PutU16(out, kBytesPerFrame);
  PutU16(out, 16);
  PutTag(out, "data");
  PutU32(out, data_bytes);
  for (std::int16_t s : pcm) PutU16(out, static_cast<std::uint16_t>(s));
  return out;
}

bool WriteFileReplacing(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                        std::string& error) {
  std::filesystem::path temporary = path;
  temporary += ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (file)
      file.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    if (file) file.close();
    if (!file) {
      error = "cannot write " + temporary.string() + ": " + std::strerror(errno);
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    error = "cannot rename " + temporary.string() + " to " + path.string() + ": " + ec.message();
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace kestu::synth
