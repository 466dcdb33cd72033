#include "midi_file.h"

#include <algorithm>
#include <array>
#include <map>

namespace kestu::midi {

namespace {

// Semitones from row 9, as the pitch tables step them.
constexpr std::array<int, 14> kRowSemitones = {0, 14, 12, 11, 9, 7, 6, 4, 2, 0, -1, -3, -5, -6};
constexpr int kRowNineKey = 65;  // F4
// A note that nothing cuts off rings for at most this long, about what the samples last.
constexpr int kLongestRingColumns = 4;
constexpr int kDrumChannel = 9;  // channel 10

struct Note {
  int instrument;
  int key;
  uint32_t start, end;  // ticks
};

void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[5];
  int n = 0;
  bytes[n++] = v & 0x7F;
  while ((v >>= 7) != 0) bytes[n++] = 0x80 | (v & 0x7F);
  while (n > 0) out.push_back(bytes[--n]);
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((v >> shift) & 0xFF);
}

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(v >> 8);
  out.push_back(v & 0xFF);
}

void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
  out.insert(out.end(), id, id + 4);
  PutU32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
}

// The notes as the two channel banks play them: a column's notes start together on the first
// channels of its bank; the next non-empty column of the other parity stops them, and a later
// column of the same parity re-uses the first channels.
std::vector<Note> PlayedNotes(const ScoreDocument& doc) {
  std::vector<Note> notes;
  std::array<int, 8> sounding;  // index into notes per channel, -1 when silent
  sounding.fill(-1);
  auto end = [&](int channel, uint32_t at) {
    if (sounding[channel] >= 0) {
      Note& n = notes[sounding[channel]];
      n.end = std::min(n.end, at);
      sounding[channel] = -1;
    }
  };
  for (int c = 1; c < doc.EndColumn(); ++c) {
    const uint32_t at = static_cast<uint32_t>(c - 1) * kTicksPerColumn;
    const int first = (c % 2 == 1) ? 1 : 5;
    const int other = (c % 2 == 1) ? 5 : 1;
    int channel = first;
    std::vector<Note> started;
    for (int r = 1; r <= kRows; ++r) {
      const int v = doc.Cell(r, c);
      if (v == 0) continue;
      started.push_back({v, SoundingKey(v, r), at, at + kLongestRingColumns * kTicksPerColumn});
    }
    if (started.empty()) continue;
    for (int k = 0; k < 3; ++k) end(other + k, at);
    for (const Note& n : started) {
      end(channel, at);
      sounding[channel++] = static_cast<int>(notes.size());
      notes.push_back(n);
    }
  }
  return notes;
}

std::vector<uint8_t> ConductorTrack(const ScoreDocument& doc) {
  std::vector<uint8_t> t;
  // One column lasts two timer periods; the period is 30000 / tempo ms, truncated.
  const uint32_t microsPerColumn = static_cast<uint32_t>(2 * (30000 / doc.Tempo()) * 1000);
  PutVarLen(t, 0);
  t.insert(t.end(), {0xFF, 0x51, 0x03});
  t.push_back((microsPerColumn >> 16) & 0xFF);
  t.push_back((microsPerColumn >> 8) & 0xFF);
  t.push_back(microsPerColumn & 0xFF);
  PutVarLen(t, 0);
  // Time signature: 4/4 or 3/4, 24 clocks per click, 8 thirty-seconds per quarter.
  t.insert(t.end(), {0xFF, 0x58, 0x04, static_cast<uint8_t>(doc.Time44() ? 4 : 3), 2, 24, 8});
  PutVarLen(t, 0);
  t.insert(t.end(), {0xFF, 0x2F, 0x00});
  return t;
}

std::vector<uint8_t> InstrumentTrack(int instrument, int channel, const std::vector<Note>& all) {
  struct Event {
    uint32_t at;
    bool on;
    int key;
  };
  const Instrument voice = InstrumentFor(instrument);
  std::vector<Event> events;
  for (const Note& n : all) {
    if (n.instrument != instrument) continue;
    events.push_back({n.start, true, n.key});
    events.push_back({n.end, false, n.key});
  }
  // Offs before ons at the same time, so a repeated key restarts cleanly.
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.at != b.at ? a.at < b.at : (!a.on && b.on);
  });

  std::vector<uint8_t> t;
  PutVarLen(t, 0);
  t.push_back(0xC0 | channel);
  t.push_back(static_cast<uint8_t>(voice.program));
  uint32_t now = 0;
  for (const Event& e : events) {
    PutVarLen(t, e.at - now);
    now = e.at;
    t.push_back((e.on ? 0x90 : 0x80) | channel);
    t.push_back(static_cast<uint8_t>(e.key));
    t.push_back(e.on ? 100 : 0);
  }
  PutVarLen(t, 0);
  t.insert(t.end(), {0xFF, 0x2F, 0x00});
  return t;
}

}  // namespace

Instrument InstrumentFor(int instrument) {
  switch (instrument) {
    case 1: return {0, 0, 0};     // piano
    case 2: return {10, 0, 0};    // music box
    case 3: return {0, 36, 0};    // bass drum
    case 4: return {56, 0, 0};    // trumpet
    case 5: return {73, 0, 0};    // flute
    case 6: return {24, 0, 0};    // guitar
    case 7: return {0, 38, 0};    // snare drum
    case 8: return {0, 42, 0};    // closed hi-hat
    case 9: return {33, 0, -24};  // fingered bass, sounding two octaves under the staff
    case 10: return {12, 0, 0};   // marimba
    case 11: return {104, 0, 0};  // the twanging "boing", a plucked tone whose buzz opens: sitar
    case 12: return {16, 0, 0};   // organ
    case 13: return {48, 0, 0};   // strings
    case 14: return {52, 0, 0};   // choir "aah"
    default: return {80, 0, 0};   // chip lead: square lead
  }
}

int KeyOfRow(int row) { return kRowNineKey + kRowSemitones[row]; }

int SoundingKey(int instrument, int row) {
  const Instrument voice = InstrumentFor(instrument);
  return voice.drumKey != 0 ? voice.drumKey : KeyOfRow(row) + voice.transpose;
}

std::vector<uint8_t> WriteMidi(const ScoreDocument& doc) {
  const std::vector<Note> notes = PlayedNotes(doc);
  std::map<int, int> channelOf;  // instrument -> MIDI channel, in order of first use
  int nextChannel = 0;
  for (const Note& n : notes) {
    if (channelOf.count(n.instrument)) continue;
    if (InstrumentFor(n.instrument).drumKey != 0) {
      channelOf[n.instrument] = kDrumChannel;
    } else {
      if (nextChannel == kDrumChannel) ++nextChannel;
      channelOf[n.instrument] = nextChannel < 16 ? nextChannel++ : 15;
    }
  }

  std::vector<uint8_t> file;
  std::vector<uint8_t> header;
  PutU16(header, 1);  // format 1
  PutU16(header, static_cast<uint16_t>(1 + channelOf.size()));
  PutU16(header, kTicksPerColumn);
  PutChunk(file, "MThd", header);
  PutChunk(file, "MTrk", ConductorTrack(doc));
  for (const auto& [instrument, channel] : channelOf) {
    PutChunk(file, "MTrk", InstrumentTrack(instrument, channel, notes));
  }
  return file;
}

}  // namespace kestu::midi
