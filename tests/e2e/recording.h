#pragma once
// A recording of the null sink's monitor, read back for measuring.
#include <cstdint>
#include <string>
#include <vector>

namespace kestu::e2e {

struct Recording {
  uint32_t rate = 0;
  std::vector<float> left;  // one channel is enough to hear whether anything sounded

  // RMS of the left channel in [from, to) seconds.
  double Rms(double from, double to) const;
  // Start times (seconds) of the sounds: where the level rises from quiet above the threshold.
  std::vector<double> Onsets(double threshold) const;
};

// Reads a 16-bit PCM WAV file, trusting the file's length over its header (a recorder stopped by a
// signal may leave the sizes unwritten).
Recording ReadRecording(const std::string& path);

}  // namespace kestu::e2e
