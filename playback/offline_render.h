#pragma once
// Playback without a sound card: the same transport, column voicing, sound component and mixer as
// the program, on the offline output, with the ticks at exact multiples of the tick period. What
// the primary buffer would receive is handed to a sink. Used by `kestu-cli render`, the tests and
// the benchmark. GUI thread (the thread that owns the player).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "playback/program_sound.h"
#include "score/document.h"
#include "sound/output/offline_output.h"

namespace kestu {

// Receives `frames` frames of interleaved 16-bit stereo at the player's Rate().
using FrameSink = std::function<void(const std::int16_t* stereo, std::uint32_t frames)>;

struct OfflineResult {
  std::uint64_t frames = 0;  // handed to the sink
  std::int64_t ticks = 0;    // timer ticks played
};

class OfflinePlayer {
 public:
  // Starts the program's sound (program_sound.h) on an offline output.
  OfflinePlayer();
  ~OfflinePlayer();
  OfflinePlayer(const OfflinePlayer&) = delete;
  OfflinePlayer& operator=(const OfflinePlayer&) = delete;

  // Plays `score` as the program would after a press on Play at time 0, with light mode on, and
  // goes on until every note has rung out. With the loop switch off playback ends where the
  // transport stops it; with it on, after `loops` passes over the columns before the end mark
  // (at least 1) it ends as if Stop were pressed. An exception from the sink ends the playback.
  OfflineResult Play(const ScoreDocument& score, int loops, const FrameSink& sink);

  // The frame at which the last tick of Play comes: the sound before the notes ring out.
  static std::uint64_t FramesBeforeRingOut(const ScoreDocument& score, int loops);
  // The number of ticks Play runs.
  static std::int64_t TicksOf(const ScoreDocument& score, int loops);

  const SampleBank& Samples() const { return sound_.Samples; }
  // The message of an exception that stopped the sample loading; empty when none did.
  const std::string& SampleLoadError() const { return sound_.LoadError(); }
  bool DeviceOpen() const;
  // The folder the samples were read from; "" for the current folder.
  const std::string& SampleFolder() const { return sound_.SampleFolder(); }
  std::uint32_t Rate() const { return output_.Rate(); }

 private:
  bool AnyChannelPlaying() const;

  OfflineOutput output_;  // outlives the device that borrows it
  ProgramSound sound_;
};

}  // namespace kestu
