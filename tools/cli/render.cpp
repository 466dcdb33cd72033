// kestu-cli render FILE OUT.wav [--loops N]: plays FILE as the program would after a press on Play
// and writes what the sound card would have been given (the primary format, program_sound.h) to OUT.wav.
// The samples are found as the program finds them (sample_folder.h). Exit status 0 when written;
// 1 when FILE did not read cleanly, a sample is missing or unusable (each named with its reason;
// nothing is written then, since the render would not be what the program plays) or OUT.wav
// could not be written; 2 for a wrong command line. OUT.wav is put in place only when written
// whole and is never FILE itself; an interrupted render leaves no temporary file behind.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>

#include "commands.h"
#include "document_loading.h"
#include "interruption.h"
#include "output_checks.h"
#include "playback/offline_render.h"
#include "playback/sample_folder.h"
#include "score/errors.h"
#include "score/replacing_output.h"
#include "sound/wave_writer.h"

namespace kestu::cli {

namespace {

struct RenderArgs {
  std::string score;
  std::string out;
  int loops = 1;
};

std::optional<int> PositiveInt(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end || value < 1) return std::nullopt;
  return value;
}

std::optional<RenderArgs> ParseRenderArgs(const Args& args) {
  RenderArgs parsed;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--loops") {
      if (i + 1 >= args.size()) return std::nullopt;
      const std::optional<int> loops = PositiveInt(args[++i]);
      if (!loops) return std::nullopt;
      parsed.loops = *loops;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return std::nullopt;
  parsed.score = positional[0];
  parsed.out = positional[1];
  return parsed;
}

// A render with silent sounds is not what the user asked for: names every sample that is not
// usable and why, and returns whether there was any.
bool ReportSampleProblems(const OfflinePlayer& player) {
  const SampleBank& samples = player.Samples();
  bool any = false;
  if (!player.SampleLoadError().empty()) {
    std::cerr << player.SampleLoadError() << ".\n";
    any = true;
  }
  for (int n = 1; n <= kSampleCount; ++n) {
    const TDDSDWaveData* sample = samples.Sample(n);
    if (sample == nullptr) {
      if (player.SampleLoadError().empty()) continue;  // never the case without an error
      std::cerr << SampleBank::FilePath(player.SampleFolder(), n) << "は、読み込まれていません\n";
    } else if (sample->Buffer() == nullptr && player.DeviceOpen()) {
      std::cerr << sample->LoadError() << '\n';
    } else {
      continue;
    }
    any = true;
  }
  return any;
}

}  // namespace

int Render(const Args& args) {
  const std::optional<RenderArgs> parsed = ParseRenderArgs(args);
  if (!parsed) {
    std::fputs("usage: kestu-cli render FILE OUT.wav [--loops N]   (N >= 1 passes when the loop is on)\n",
               stderr);
    return 2;
  }
  ScoreDocument doc;
  if (!LoadForCli(doc, parsed->score)) return 1;
  if (OutputIsTheInput(parsed->score, parsed->out)) return 1;
  if (4 * OfflinePlayer::FramesBeforeRingOut(doc, parsed->loops) > WavFileWriter::kMaxDataBytes) {
    std::cerr << WavTooLongError().what() << ".\n";
    return 1;
  }

  OfflinePlayer player;
  if (ReportSampleProblems(player)) return 1;
  const InterruptionGuard interruption;
  try {
    // Written beside OUT.wav and renamed over it at the end: a failure leaves an old OUT.wav whole.
    ReplacingOutput out(parsed->out);
    WavFileWriter writer(out.TemporaryName(), player.Rate(), 2);
    player.Play(doc, parsed->loops, [&](const std::int16_t* stereo, std::uint32_t frames) {
      InterruptionGuard::Check();
      writer.Append(stereo, 2 * static_cast<std::size_t>(frames));
    });
    writer.Finish();
    out.Commit();
  } catch (const Interrupted& interrupted) {
    EndBySignal(interrupted.Signal());  // the temporary file has gone with `out`
  } catch (const EFCreateError&) {
    // The writers name the temporary file; the user asked for OUT.wav.
    return ReportError(EFCreateError(parsed->out));
  } catch (const std::exception& e) {
    return ReportError(e);
  }
  return 0;
}

}  // namespace kestu::cli
