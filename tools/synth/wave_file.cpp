#include "tools/synth/wave_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace kestu::synth {

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
