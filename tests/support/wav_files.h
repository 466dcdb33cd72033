// WAV files for tests: RiffBytes builds any file byte by byte (broken ones included), WavBytes a
// plain PCM one, WriteBytes/WriteWav put them on disk; ReadWav reads a 16-bit file back (a recording,
// a render) with a parser of its own, so what the program writes is checked by other code.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kestu::test {

// A RIFF file put together chunk by chunk, so tests can break it any way.
class RiffBytes {
 public:
  RiffBytes& Chunk(const std::string& id, const std::vector<std::uint8_t>& payload) {
    Id(id);
    U32(static_cast<std::uint32_t>(payload.size()));
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) bytes_.push_back(0);
    return *this;
  }
  RiffBytes& Raw(const std::vector<std::uint8_t>& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  // The whole as a RIFF form of `form` type.
  std::vector<std::uint8_t> Form(const std::string& form = "WAVE") const {
    RiffBytes out;
    out.Id("RIFF");
    out.U32(static_cast<std::uint32_t>(bytes_.size() + 4));
    out.Id(form);
    out.Raw(bytes_);
    return out.bytes_;
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  static std::vector<std::uint8_t> Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                          std::uint16_t bits, std::size_t size = 16, std::uint16_t cbSize = 0) {
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    RiffBytes f;
    f.U16(tag).U16(channels).U32(rate).U32(rate * align).U16(align).U16(bits);
    if (size >= 18) f.U16(cbSize);
    while (f.bytes_.size() < size) f.bytes_.push_back(0xEE);
    f.bytes_.resize(size);
    return f.bytes_;
  }
  static std::vector<std::uint8_t> Pcm16(const std::vector<std::int16_t>& samples) {
    RiffBytes d;
    for (std::int16_t s : samples) d.U16(static_cast<std::uint16_t>(s));
    return d.bytes_;
  }

  RiffBytes& Id(const std::string& id) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(id[i]));
    return *this;
  }
  RiffBytes& U16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
  }
  RiffBytes& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A WAVE file of a format chunk and a data chunk.
inline std::vector<std::uint8_t> WaveOf(const std::vector<std::uint8_t>& format, const std::vector<std::uint8_t>& data) {
  return RiffBytes().Chunk("fmt ", format).Chunk("data", data).Form();
}

// A 16-bit PCM file of interleaved `samples`.
inline std::vector<std::uint8_t> WavBytes(std::uint32_t rate, std::uint16_t channels,
                                          const std::vector<std::int16_t>& samples) {
  return WaveOf(RiffBytes::Format(1, channels, rate, 16), RiffBytes::Pcm16(samples));
}
inline std::vector<std::uint8_t> MonoWave16(std::uint32_t rate, const std::vector<std::int16_t>& samples) {
  return WavBytes(rate, 1, samples);
}

// `frames` of a sine of `hz` and `amplitude` at `rate`, rounded to 16 bits.
inline std::vector<std::int16_t> SineTone(std::uint32_t rate, double hz, std::size_t frames, double amplitude) {
  std::vector<std::int16_t> tone(frames);
  for (std::size_t i = 0; i < frames; ++i)
    tone[i] = static_cast<std::int16_t>(std::lrint(amplitude * std::sin(2.0 * M_PI * hz * i / rate)));
  return tone;
}

// A file in any format: `dataBytes` zero bytes of data behind a 16-byte format chunk.
inline std::vector<std::uint8_t> SilentWavBytes(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                                std::uint16_t bits, std::uint32_t dataBytes) {
  return WaveOf(RiffBytes::Format(tag, channels, rate, bits), std::vector<std::uint8_t>(dataBytes, 0));
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
inline void WriteWav(const std::string& path, std::uint32_t rate, std::uint16_t channels,
                     const std::vector<std::int16_t>& samples) {
  WriteBytes(path, WavBytes(rate, channels, samples));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The little-endian number of `n` bytes at `at`.
inline std::uint32_t LittleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | bytes.at(at + static_cast<std::size_t>(i));
  return v;
}

// A 16-bit PCM file as read back: no rate when it is not one.
struct WavSound {
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
  std::vector<std::int16_t> samples;  // interleaved

  // One channel's frames as doubles.
  std::vector<double> Channel(int channel = 0) const {
    std::vector<double> out;
    for (std::size_t i = static_cast<std::size_t>(channel); channels != 0 && i < samples.size(); i += channels)
      out.push_back(samples[i]);
    return out;
  }
};

// Trusts the file's length over the data chunk's size: a recorder stopped by a signal may leave the
// sizes unwritten.
inline WavSound ReadWav(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  WavSound sound;
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return sound;
  std::uint32_t rate = 0;
  std::uint16_t channels = 0, bits = 0;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::uint32_t size = LittleEndian(bytes, at + 4, 4);
    if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && at + 24 <= bytes.size()) {
      channels = static_cast<std::uint16_t>(LittleEndian(bytes, at + 10, 2));
      rate = LittleEndian(bytes, at + 12, 4);
      bits = static_cast<std::uint16_t>(LittleEndian(bytes, at + 22, 2));
    } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
      if (channels == 0 || bits != 16) return sound;
      const std::size_t frameBytes = 2u * channels;
      const std::size_t frames = (bytes.size() - at - 8) / frameBytes;
      sound.samples.resize(frames * channels);
      std::memcpy(sound.samples.data(), bytes.data() + at + 8, sound.samples.size() * 2);  // little-endian host
      sound.rate = rate;
      sound.channels = channels;
      return sound;
    }
    at += 8 + size + (size & 1);
  }
  return sound;
}

}  // namespace kestu::test
