#include "recording.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kestu::e2e {

namespace {

uint32_t U32(const std::vector<char>& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
uint16_t U16(const std::vector<char>& b, size_t at) {
  uint16_t v = 0;
  std::memcpy(&v, b.data() + at, 2);
  return v;
}

}  // namespace

Recording ReadRecording(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Recording rec;
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return rec;
  uint16_t channels = 0, bits = 0;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const uint32_t size = U32(bytes, at + 4);
    if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && at + 24 <= bytes.size()) {
      channels = U16(bytes, at + 10);
      rec.rate = U32(bytes, at + 12);
      bits = U16(bytes, at + 22);
    } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
      if (channels == 0 || bits != 16) return rec;
      const size_t frameBytes = 2u * channels;
      for (size_t p = at + 8; p + frameBytes <= bytes.size(); p += frameBytes) {
        int16_t s = 0;
        std::memcpy(&s, bytes.data() + p, 2);
        rec.left.push_back(s / 32768.0f);
      }
      return rec;
    }
    at += 8 + size + (size & 1);
  }
  return rec;
}

double Recording::Rms(double from, double to) const {
  const size_t a = static_cast<size_t>(std::max(0.0, from) * rate);
  const size_t b = std::min(left.size(), static_cast<size_t>(std::max(0.0, to) * rate));
  if (b <= a) return 0;
  double sum = 0;
  for (size_t i = a; i < b; ++i) sum += double(left[i]) * left[i];
  return std::sqrt(sum / double(b - a));
}

std::vector<double> Recording::Onsets(double threshold) const {
  std::vector<double> onsets;
  if (rate == 0) return onsets;
  // The level in 10 ms windows; a sound starts where the level jumps over what it was 30 ms
  // before, also when an earlier sound still rings. Jumps closer than 100 ms are one attack.
  const size_t window = rate / 100;
  std::vector<double> level;
  for (size_t start = 0; start + window <= left.size(); start += window) {
    double sum = 0;
    for (size_t i = start; i < start + window; ++i) sum += double(left[i]) * left[i];
    level.push_back(std::sqrt(sum / double(window)));
  }
  double last = -1;
  for (size_t i = 3; i < level.size(); ++i) {
    const double before = level[i - 3];
    const double t = double(i) / 100.0;
    if (level[i] > threshold && level[i] > 1.25 * before && level[i] - before > threshold &&
        (last < 0 || t - last > 0.1)) {
      onsets.push_back(t);
      last = t;
    }
  }
  return onsets;
}

}  // namespace kestu::e2e
