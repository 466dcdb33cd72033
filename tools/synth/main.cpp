// kestu-synth: writes the program's 29 sample files into a folder.
//   kestu-synth OUTPUT_DIR [--list]
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/synth/sample_set.h"
#include "tools/synth/signal.h"
#include "sound/wave_writer.h"
#include "tools/synth/wave_file.h"

namespace {

int Run(const std::filesystem::path& folder, bool list) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    std::fprintf(stderr, "kestu-synth: cannot create %s: %s\n", folder.c_str(),
                 ec.message().c_str());
    return 1;
  }
  for (int number = 1; number <= kestu::synth::kSampleCount; ++number) {
    const auto pcm = kestu::synth::RenderSample(number);
    const auto path = folder / kestu::synth::SampleFileName(number);
    std::string error;
    if (!kestu::synth::WriteFileReplacing(
            path, kestu::WavFileBytes(kestu::synth::kSampleRate, 1, pcm), error)) {
      std::fprintf(stderr, "kestu-synth: %s\n", error.c_str());
      return 1;
    }
    if (list) {
      std::printf("%-12s %5.2f s  %s\n", kestu::synth::SampleFileName(number).c_str(),
                  static_cast<double>(pcm.size()) / kestu::synth::kSampleRate,
                  kestu::synth::DescribeSample(number).c_str());
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool list = argc == 3 && std::string(argv[2]) == "--list";
  if (argc != 2 && !list) {
    std::fputs("usage: kestu-synth OUTPUT_DIR [--list]\n", stderr);
    return 2;
  }
  try {
    return Run(argv[1], list);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestu-synth: %s\n", e.what());
    return 1;
  }
}
