// Plain records, result codes and flags of our DirectSound-like layer.
#pragma once

#include <cstdint>

namespace kestu::ds {

using HRESULT = std::int32_t;

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DSERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);

constexpr std::uint32_t DSSCL_NORMAL = 1;
constexpr std::uint32_t DSSCL_PRIORITY = 2;
constexpr std::uint32_t DSSCL_EXCLUSIVE = 3;
constexpr std::uint32_t DSSCL_WRITEPRIMARY = 4;

constexpr std::uint32_t DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr std::uint32_t DSBCAPS_STATIC = 0x2;
constexpr std::uint32_t DSBCAPS_CTRL3D = 0x10;
constexpr std::uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr std::uint32_t DSBCAPS_CTRLPAN = 0x40;
constexpr std::uint32_t DSBCAPS_CTRLVOLUME = 0x80;
constexpr std::uint32_t DSBCAPS_STICKYFOCUS = 0x4000;

constexpr std::uint32_t DSBSTATUS_PLAYING = 0x1;
constexpr std::uint32_t DSBPLAY_LOOPING = 0x1;

constexpr std::uint32_t DSBFREQUENCY_MIN = 100;
constexpr std::uint32_t DSBFREQUENCY_MAX = 200000;
// Largest secondary buffer we allocate; a file that claims more is refused.
constexpr std::uint32_t DSBSIZE_MAX = 0x0FFFFFFF;

constexpr std::uint32_t DS3D_IMMEDIATE = 0;
constexpr std::uint32_t DS3DMODE_NORMAL = 0;

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// The 18-byte wave format record, laid out as the "fmt " chunk stores it.
struct WAVEFORMATEX {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 0;
  std::uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Buffer description; dwSize is 20, the size callers have always filled in.
constexpr std::uint32_t kBufferDescSize = 20;
struct DSBUFFERDESC {
  std::uint32_t dwSize = 0;
  std::uint32_t dwFlags = 0;
  std::uint32_t dwBufferBytes = 0;
  std::uint32_t dwReserved = 0;
  const WAVEFORMATEX* lpwfxFormat = nullptr;
};

struct D3DVECTOR {
  float x = 0, y = 0, z = 0;
};

struct DS3DBUFFER {
  std::uint32_t dwSize = 0;
  D3DVECTOR vPosition;
  D3DVECTOR vVelocity;
  std::uint32_t dwInsideConeAngle = 0;
  std::uint32_t dwOutsideConeAngle = 0;
  D3DVECTOR vConeOrientation;
  std::int32_t lConeOutsideVolume = 0;
  float flMinDistance = 0;
  float flMaxDistance = 0;
  std::uint32_t dwMode = 0;
};
static_assert(sizeof(DS3DBUFFER) == 64);

struct DS3DLISTENER {
  std::uint32_t dwSize = 0;
  D3DVECTOR vPosition;
  D3DVECTOR vVelocity;
  D3DVECTOR vOrientFront;
  D3DVECTOR vOrientTop;
  float flDistanceFactor = 0;
  float flRolloffFactor = 0;
  float flDopplerFactor = 0;
};
static_assert(sizeof(DS3DLISTENER) == 64);

enum class InterfaceId { IDirectSound3DListener, IDirectSound3DBuffer };

}  // namespace kestu::ds
