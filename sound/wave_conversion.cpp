#include "sound/wave_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

}  // namespace

SampleEncoding EncodingOf(const ds::WAVEFORMATEX& format, const unsigned char* chunk, std::size_t size) {
  std::uint16_t tag = format.wFormatTag;
  if (tag == kFormatExtensible) tag = SubFormatTag(chunk, size);
  const unsigned bits = format.wBitsPerSample;
  SampleEncoding encoding;
  if (format.nChannels != 1 && format.nChannels != 2) return encoding;
  encoding.channels = format.nChannels;
  encoding.bytesPerSample = bits / 8;
  const bool plainPcm = format.wFormatTag == ds::WAVE_FORMAT_PCM && (bits == 8 || bits == 16);
  if (plainPcm) {
    encoding.kind = SampleEncoding::Kind::AsItStands;
  } else if (tag == ds::WAVE_FORMAT_PCM && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) {
    encoding.kind = SampleEncoding::Kind::Pcm;
  } else if (tag == kFormatFloat && bits == 32) {
    encoding.kind = SampleEncoding::Kind::Float;
  }
  return encoding;
}

ds::WAVEFORMATEX ConvertedFormat(const ds::WAVEFORMATEX& format) {
  ds::WAVEFORMATEX out{};
  out.wFormatTag = ds::WAVE_FORMAT_PCM;
  out.nChannels = format.nChannels;
  out.nSamplesPerSec = format.nSamplesPerSec;
  out.nBlockAlign = static_cast<std::uint16_t>(2 * format.nChannels);
  out.nAvgBytesPerSec = format.nSamplesPerSec * out.nBlockAlign;
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
