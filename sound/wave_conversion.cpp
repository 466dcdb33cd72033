#include "sound/wave_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "sound/dsound/format_rules.h"
#include "sound/riff.h"

namespace kestu {

namespace {

constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// Every sub-format GUID of the extensible format ends in these 12 bytes; its first four hold the
// plain format tag.
constexpr unsigned char kGuidTail[12] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38};
constexpr unsigned char kGuidEnd[2] = {0x9B, 0x71};
constexpr std::size_t kSubFormatAt = 24;  // in the 40-byte extensible format chunk

// The plain tag an extensible format stands for, or 0.
std::uint16_t SubFormatTag(const unsigned char* chunk, std::size_t size) {
  if (size < kSubFormatAt + 16) return 0;
  const unsigned char* guid = chunk + kSubFormatAt;
  if (std::memcmp(guid + 2, kGuidTail, sizeof kGuidTail) != 0 || std::memcmp(guid + 14, kGuidEnd, 2) != 0) {
    return 0;
  }
  return static_cast<std::uint16_t>(guid[0] | guid[1] << 8);
}

std::int16_t Clip16(std::int64_t v) { return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767)); }

std::uint16_t TagOf(const ds::WAVEFORMATEX& format, const unsigned char* chunk, std::size_t size) {
  return format.wFormatTag == kFormatExtensible ? SubFormatTag(chunk, size) : format.wFormatTag;
}

// The four-term Blackman-Harris window over -1..1: side lobes under -92 dB.
double BlackmanHarris(double x) {
  const double t = std::numbers::pi * (x + 1.0);
  return 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
}

}  // namespace

std::uint32_t LoadedRate(std::uint32_t rate) {
  if (rate <= kHighestKeptRate) return rate;
  for (std::uint32_t divisor = 2; divisor <= 4; ++divisor) {
    if (rate % divisor == 0 && rate / divisor >= 44100 && rate / divisor <= kHighestKeptRate) return rate / divisor;
  }
  return kHighestKeptRate;
}

SampleEncoding EncodingOf(const ds::WAVEFORMATEX& format, const unsigned char* chunk, std::size_t size) {
  const std::uint16_t tag = TagOf(format, chunk, size);
  const unsigned bits = format.wBitsPerSample;
  SampleEncoding encoding;
  encoding.rate = format.nSamplesPerSec;
  if (format.nChannels != 1 && format.nChannels != 2) return encoding;
  encoding.channels = format.nChannels;
  encoding.bytesPerSample = bits / 8;
  if (format.nSamplesPerSec > 0) encoding.rate = LoadedRate(format.nSamplesPerSec);
  const bool plainPcm = format.wFormatTag == ds::WAVE_FORMAT_PCM && (bits == 8 || bits == 16) &&
                        !encoding.Resamples(format);
  if (plainPcm) {
    encoding.kind = SampleEncoding::Kind::AsItStands;
  } else if (tag == ds::WAVE_FORMAT_PCM && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) {
    encoding.kind = SampleEncoding::Kind::Pcm;
  } else if (tag == kFormatFloat && bits == 32) {
    encoding.kind = SampleEncoding::Kind::Float;
  }
  // What is not converted keeps the file's rate, and FormatProblem judges it as it stands.
  if (encoding.kind == SampleEncoding::Kind::AsItStands) encoding.rate = format.nSamplesPerSec;
  return encoding;
}

std::string FrameSizeProblem(const ds::WAVEFORMATEX& format, const unsigned char* chunk, std::size_t size) {
  const std::uint16_t tag = TagOf(format, chunk, size);
  if (tag != ds::WAVE_FORMAT_PCM && tag != kFormatFloat) return {};
  const unsigned frameBytes = format.nChannels * ((format.wBitsPerSample + 7u) / 8u);
  if (format.nBlockAlign == frameBytes) return {};
  return "フレームの大きさ（" + std::to_string(format.nBlockAlign) + "バイト）が、" + std::to_string(format.nChannels) +
         "チャンネル、" + std::to_string(format.wBitsPerSample) + "ビットの" + std::to_string(frameBytes) +
         "バイトと違います";
}

std::string RateProblem(const ds::WAVEFORMATEX& format) {
  if (format.nSamplesPerSec > 0 && format.nSamplesPerSec <= kFastestFileRate) return {};
  return "サンプリング周波数（" + std::to_string(format.nSamplesPerSec) + "Hz）が使えません";
}

ds::WAVEFORMATEX ConvertedFormat(const ds::WAVEFORMATEX& format, const SampleEncoding& encoding) {
  ds::WAVEFORMATEX out{};
  out.wFormatTag = ds::WAVE_FORMAT_PCM;
  out.nChannels = format.nChannels;
  out.nSamplesPerSec = encoding.rate;
  out.nBlockAlign = static_cast<std::uint16_t>(2 * format.nChannels);
  out.nAvgBytesPerSec = encoding.rate * out.nBlockAlign;
  out.wBitsPerSample = 16;
  out.cbSize = 0;
  return out;
}

void ConvertToPcm16(const SampleEncoding& encoding, const unsigned char* source, std::size_t frames,
                    std::int16_t* destination) {
  const std::size_t count = frames * encoding.channels;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char* s = source + i * encoding.bytesPerSample;
    std::int16_t v = 0;
    if (encoding.kind == SampleEncoding::Kind::Float) {
      float f = 0;
      std::memcpy(&f, s, sizeof f);
      v = std::isnan(f) ? 0 : Clip16(std::lround(std::clamp(f, -1.0f, 1.0f) * 32767.0f));
    } else {
      switch (encoding.bytesPerSample) {
        case 1: v = static_cast<std::int16_t>((s[0] - 128) * 256); break;
        case 2: v = static_cast<std::int16_t>(s[0] | s[1] << 8); break;
        case 3: {
          const std::uint32_t u = static_cast<std::uint32_t>(s[0]) << 8 | static_cast<std::uint32_t>(s[1]) << 16 |
                                  static_cast<std::uint32_t>(s[2]) << 24;
          const std::int32_t x = static_cast<std::int32_t>(u) >> 8;  // 24 bits, sign kept
          v = Clip16((static_cast<std::int64_t>(x) + 128) >> 8);
          break;
        }
        default: {
          const auto x = static_cast<std::int32_t>(LittleEndian32(s));
          v = Clip16((static_cast<std::int64_t>(x) + 32768) >> 16);
          break;
        }
      }
    }
    destination[i] = v;
  }
}

std::size_t ResampledFrames(std::size_t frames, std::uint32_t from, std::uint32_t to) {
  if (from == 0 || from == to) return frames;
  return static_cast<std::size_t>((static_cast<std::uint64_t>(frames) * to + from - 1) / from);
}

std::vector<std::int16_t> Downsample(const std::vector<std::int16_t>& interleaved, unsigned channels,
                                     std::uint32_t from, std::uint32_t to) {
  const std::size_t inFrames = interleaved.size() / channels;
  const std::size_t outFrames = ResampledFrames(inFrames, from, to);
  std::vector<std::int16_t> out(outFrames * channels);
  // The cut-off in cycles per input frame, and the kernel's half width: 24 zero crossings a side.
  const double cutoff = 0.45 * to / from;
  const double halfWidth = 24.0 / (2.0 * cutoff);
  const double step = static_cast<double>(from) / to;
  std::vector<double> weights;
  for (std::size_t m = 0; m < outFrames; ++m) {
    const double centre = static_cast<double>(m) * step;
    const auto first = static_cast<std::ptrdiff_t>(std::ceil(centre - halfWidth));
    const auto last = static_cast<std::ptrdiff_t>(std::floor(centre + halfWidth));
    weights.clear();
    for (std::ptrdiff_t k = first; k <= last; ++k) {
      const double d = static_cast<double>(k) - centre;
      const double x = 2.0 * cutoff * d;
      const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
      weights.push_back(2.0 * cutoff * sinc * BlackmanHarris(d / halfWidth));
    }
    for (unsigned c = 0; c < channels; ++c) {
      double sum = 0.0;
      for (std::ptrdiff_t k = std::max<std::ptrdiff_t>(first, 0);
           k <= last && k < static_cast<std::ptrdiff_t>(inFrames); ++k) {
        sum += weights[static_cast<std::size_t>(k - first)] * interleaved[static_cast<std::size_t>(k) * channels + c];
      }
      out[m * channels + c] = Clip16(std::lround(sum));
    }
  }
  return out;
}

std::string FormatProblem(const ds::WAVEFORMATEX& format, std::uint32_t dataBytes) {
  if (!ds::IsMixablePcm(format)) {
    return "この形式のサウンドは使えません（形式 " + std::to_string(format.wFormatTag) + "、" +
           std::to_string(format.nChannels) + "チャンネル、" + std::to_string(format.wBitsPerSample) +
           "ビット、" + std::to_string(format.nSamplesPerSec) + "Hz）";
  }
  const unsigned frameBytes = format.nChannels * (format.wBitsPerSample / 8u);
  if (dataBytes < frameBytes) return "サウンドデータが1フレームに足りません（" + std::to_string(dataBytes) + "バイト）";
  if (dataBytes > ds::DSBSIZE_MAX) return "サウンドデータが大きすぎます（" + std::to_string(dataBytes) + "バイト）";
  return {};
}

}  // namespace kestu
