// The ALSA output on a card that takes one rate only (48000 Hz, a plugin of our own standing in for
// a raw device): the output reads back the rate the card took and converts the mixer's frames to
// it, so the mixer is still asked for its own rate's worth each second. Its thread asks for
// real-time scheduling and, as an ordinary user who may not have it, plays on without.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sound/output/device_output.h"
#include "sound/output/rtaudio_output.h"
#include "tests/sound/device_fixture.h"
#include "tests/support/process.h"
#include "tests/support/scratch_folder.h"

namespace kestu::test {
namespace {

// The card, as ALSA's only configuration, in a folder anyone may read.
std::string WriteCardConfiguration(const std::filesystem::path& folder) {
  const std::string plugin = KESTU_FAKE_ALSA_DEVICE;
  const std::string path = (folder / "asound.conf").string();
  std::ofstream(path) << "pcm_type.kestufake { lib \"" << plugin << "\" }\n"
                      << "ctl_type.kestufake { lib \"" << plugin << "\" }\n"
                      << "pcm.!default { type kestufake }\n"
                      << "ctl.!default { type kestufake }\n";
  ::chmod(path.c_str(), 0644);
  return path;
}

// In a child process, as ALSA reads its configuration once per process: what the output opened.
std::string OpenOnTheCard(const std::string& configuration, bool asOrdinaryUser) {
  const std::optional<std::string> report = RunInChild(
      [&] {
        ::setenv("ALSA_CONFIG_PATH", configuration.c_str(), 1);
        ProbeSource source;
        DeviceOutput output(std::chrono::milliseconds(3000), {OutputWay::kAlsa});
        if (!output.Open(source, 23160)) return std::string("not opened");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const std::uint64_t before = source.Frames();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double perSecond = (source.Frames() - before) / seconds;
        std::ostringstream out;
        out << output.ApiName() << ' ' << output.DeviceRate() << ' ' << static_cast<long>(perSecond) << ' '
            << output.IsPulling();
        output.Close();
        return out.str();
      },
      ChildOptions{asOrdinaryUser, std::nullopt, {}});
  return report.value_or("the child failed");
}

TEST(AlsaOutputTest, ACardThatTakesAnotherRateIsPlayedAtItsRateWithTheMixersFramesConverted) {
  const ScratchFolder folder("alsa");
  ::chmod(folder.Path().c_str(), 0755);  // the ordinary user reads the configuration too
  const std::string configuration = WriteCardConfiguration(folder.Path());
  for (const bool ordinary : {false, true}) {
    SCOPED_TRACE(ordinary ? "as an ordinary user" : "as the test's own user");
    std::istringstream report(OpenOnTheCard(configuration, ordinary));
    std::string api;
    std::uint32_t rate = 0;
    long perSecond = 0;
    int pulling = 0;
    report >> api >> rate >> perSecond >> pulling;
    ASSERT_EQ(api, "alsa") << report.str();
    EXPECT_EQ(rate, 48000u) << "the rate the card took, not the one asked for";
    // The mixer is pulled at its own rate, converted: 23160 of its frames a second, not 48000.
    EXPECT_NEAR(perSecond, 23160, 23160 * 0.08);
    EXPECT_EQ(pulling, 1);
  }
}

}  // namespace
}  // namespace kestu::test
