// The MIDI export, read back as a player would read it.
#include <gtest/gtest.h>

#include <map>

#include "midi_file.h"

namespace kestu::test {
namespace {

using namespace midi;

struct Event {
  uint32_t at;
  int status, a, b;
};
struct Song {
  int format = -1, division = 0;
  std::vector<std::vector<Event>> tracks;
  uint32_t tempo = 0;
  int numerator = 0;
};

uint32_t Be(const std::vector<uint8_t>& d, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | d.at(at + i);
  return v;
}

Song Parse(const std::vector<uint8_t>& d) {
  Song song;
  EXPECT_EQ(std::string(d.begin(), d.begin() + 4), "MThd");
  song.format = static_cast<int>(Be(d, 8, 2));
  const int trackCount = static_cast<int>(Be(d, 10, 2));
  song.division = static_cast<int>(Be(d, 12, 2));
  size_t at = 14;
  for (int t = 0; t < trackCount; ++t) {
    EXPECT_EQ(std::string(d.begin() + at, d.begin() + at + 4), "MTrk");
    const size_t end = at + 8 + Be(d, at + 4, 4);
    at += 8;
    std::vector<Event> events;
    uint32_t now = 0;
    bool ended = false;
    while (at < end) {
      uint32_t delta = 0;
      uint8_t byte;
      do {
        byte = d.at(at++);
        delta = (delta << 7) | (byte & 0x7F);
      } while (byte & 0x80);
      now += delta;
      const int status = d.at(at++);
      if (status == 0xFF) {
        const int type = d.at(at++);
        const int len = d.at(at++);
        if (type == 0x51) song.tempo = Be(d, at, 3);
        if (type == 0x58) song.numerator = d.at(at);
        if (type == 0x2F) ended = true;
        at += len;
      } else if ((status & 0xF0) == 0xC0) {
        events.push_back({now, status, d.at(at++), 0});
      } else {
        events.push_back({now, status, d.at(at), d.at(at + 1)});
        at += 2;
      }
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(at, end);
    song.tracks.push_back(events);
  }
  return song;
}

TEST(Midi, RowsAreTheStaffsPitches) {
  const int keys[14] = {0, 79, 77, 76, 74, 72, 71, 69, 67, 65, 64, 62, 60, 59};
  for (int r = 1; r <= 13; ++r) EXPECT_EQ(KeyOfRow(r), keys[r]) << r;
}

// What each instrument's sample sounds on row 9 (F4 = 65): the bass two octaves down, the drums on
// their fixed keys. The render's own pitch on every row is checked against SoundingKey where the
// samples are measured (instruments_as_played_test).
TEST(Midi, KeysAreWhatTheInstrumentsSound) {
  const int rowNine[16] = {0, 65, 65, 36, 65, 65, 65, 38, 42, 41, 65, 65, 65, 65, 65, 65};
  for (int i = 1; i <= 15; ++i) EXPECT_EQ(SoundingKey(i, 9), rowNine[i]) << "instrument " << i;
  EXPECT_EQ(SoundingKey(9, 1), 41 + 14);
  EXPECT_EQ(SoundingKey(9, 13), 41 - 6);
  EXPECT_EQ(SoundingKey(3, 1), 36);

  ScoreDocument doc;
  doc.PlaceNote(13, 1, 9);  // bass, B3 written: sounds B1
  const Song song = Parse(WriteMidi(doc));
  ASSERT_EQ(song.tracks.size(), 2u);
  ASSERT_GE(song.tracks[1].size(), 2u);
  EXPECT_EQ(song.tracks[1][0].a, 33);  // fingered bass
  EXPECT_EQ(song.tracks[1][1].a, 59 - 24);
}

TEST(Midi, EmptyScoreHasOnlyTheConductorTrack) {
  ScoreDocument doc;
  const Song song = Parse(WriteMidi(doc));
  EXPECT_EQ(song.format, 1);
  EXPECT_EQ(song.tracks.size(), 1u);
  EXPECT_EQ(song.tempo, 240000u);  // a column is 2 x 120 ms at tempo 250
  EXPECT_EQ(song.numerator, 4);
}

TEST(Midi, NotesTracksChannelsAndCutOffsFollowPlayback) {
  ScoreDocument doc;
  doc.SetTempo(700);   // period 42 ms: 84 ms per column
  doc.SetTime44(false);
  doc.PlaceNote(9, 1, 1);   // piano F4 at column 1, cut by column 2 (other bank)
  doc.PlaceNote(12, 2, 3);  // bass drum at column 2 on the percussion channel
  doc.PlaceNote(2, 2, 1);   // piano G5 at column 2
  doc.PlaceNote(5, 3, 13);  // strings C5 at column 3
  doc.PlaceNote(1, 8, 1);   // hidden behind the end mark
  doc.MoveEndMark(8);
  const Song song = Parse(WriteMidi(doc));
  ASSERT_EQ(song.tracks.size(), 4u);
  EXPECT_EQ(song.tempo, 84000u);
  EXPECT_EQ(song.numerator, 3);

  std::map<int, std::vector<Event>> byChannel;
  for (size_t t = 1; t < song.tracks.size(); ++t) {
    for (const Event& e : song.tracks[t]) byChannel[e.status & 0x0F].push_back(e);
  }
  ASSERT_TRUE(byChannel.count(9));  // percussion
  const auto& drums = byChannel[9];
  ASSERT_EQ(drums.size(), 3u);  // program, on, off
  EXPECT_EQ(drums[1].status, 0x99);
  EXPECT_EQ(drums[1].a, 36);
  EXPECT_EQ(drums[1].at, 480u);
  EXPECT_EQ(drums[2].at, 960u);  // column 3 is the other bank: it stops the drum

  // Piano: F4 from 0 to 480, G5 from 480 to 960; nothing at column 8.
  const auto& piano = byChannel[0];
  ASSERT_EQ(piano.size(), 5u);
  EXPECT_EQ(piano[0].status, 0xC0);
  EXPECT_EQ(piano[0].a, 0);
  EXPECT_EQ(piano[1].a, 65);
  EXPECT_EQ(piano[1].at, 0u);
  EXPECT_EQ(piano[2].status & 0xF0, 0x80);
  EXPECT_EQ(piano[2].at, 480u);
  EXPECT_EQ(piano[3].a, 77);
  EXPECT_EQ(piano[4].at, 960u);

  // Strings at column 3 ring on, at most four columns.
  const auto& strings = byChannel[1];
  ASSERT_EQ(strings.size(), 3u);
  EXPECT_EQ(strings[0].a, 48);
  EXPECT_EQ(strings[1].a, 72);
  EXPECT_EQ(strings[2].at, 960u + 4 * 480u);
}

}  // namespace
}  // namespace kestu::test
