// kestu-cli render: what it writes, and how it refuses.
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "commands.h"
#include "score/sequence_text.h"
#include "tests/playback/playback_fixture.h"
#include "tests/support/text_files.h"

namespace kestu::test {
namespace {

class RenderCli : public SampleFolderTest {
 protected:
  void SetUp() override {
    SampleFolderTest::SetUp();
    WriteAllTones(0.1);
    doc_.PlaceNote(9, 1, 3);
    doc_.PlaceNote(2, 2, 1);
    doc_.PlaceNote(5, 3, 13);
    doc_.MoveEndMark(5);
    doc_.SetLoop(true);
    WriteText("tune.ksq", WriteSequenceText(doc_));
  }
  int Run(const cli::Args& args) {
    ::testing::internal::CaptureStderr();
    const int status = cli::Render(args);
    errors_ = ::testing::internal::GetCapturedStderr();
    return status;
  }
  std::vector<std::uint8_t> Expected(int loops) {
    ScoreDocument doc;
    ReadSequenceText(doc, WriteSequenceText(doc_), [](const std::string&) {});
    OfflinePlayer player;
    return RiffBytes::Pcm16(RenderedFrames(player, doc, loops));
  }

  ScoreDocument doc_;
  std::string errors_;
};

TEST_F(RenderCli, WritesThePlayersSoundAsA23160HzStereoWave) {
  for (int loops : {1, 3}) {
    cli::Args args = {"tune.ksq", "out.wav"};
    if (loops != 1) args = {"tune.ksq", "--loops", std::to_string(loops), "out.wav"};
    ASSERT_EQ(Run(args), 0) << errors_;
    EXPECT_EQ(errors_, "");
    const std::vector<std::uint8_t> wav = ReadBytes("out.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(LittleEndian(wav, 4, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    // Format 1, two channels, 23160 Hz, 92640 bytes a second, 4 a frame, 16 bits.
    for (const auto& [at, size, value] : {std::array<std::uint32_t, 3>{16, 4, 16}, {20, 2, 1}, {22, 2, 2},
                                          {24, 4, 23160}, {28, 4, 92640}, {32, 2, 4}, {34, 2, 16}})
      EXPECT_EQ(LittleEndian(wav, at, size), value) << "at " << at;
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(LittleEndian(wav, 40, 4), wav.size() - 44);
    EXPECT_TRUE(std::vector<std::uint8_t>(wav.begin() + 44, wav.end()) == Expected(loops)) << loops;
  }
}

TEST_F(RenderCli, AWrongCommandLineIsAUsageError) {
  const cli::Args cases[] = {
      {}, {"tune.ksq"}, {"tune.ksq", "a.wav", "b.wav"}, {"tune.ksq", "a.wav", "--loops"},
      {"tune.ksq", "a.wav", "--loops", "0"}, {"tune.ksq", "a.wav", "--loops", "-2"},
      {"tune.ksq", "a.wav", "--loops", "2x"}, {"tune.ksq", "a.wav", "--loops", "99999999999"},
  };
  for (const cli::Args& args : cases) {
    EXPECT_EQ(Run(args), 2) << args.size();
    EXPECT_NE(errors_.find("usage:"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists("a.wav"));
}

TEST_F(RenderCli, AScoreThatDoesNotReadCleanlyEndsWithItsMessage) {
  EXPECT_EQ(Run({"missing.ksq", "out.wav"}), 1);
  EXPECT_EQ(errors_, "ファイル missing.ksq は開けません.\n");
  WriteText("bad.ksq", "SCORE=XYZ\r\nTEMPO=250\r\nLOOP=FALSE\r\nEND=961\r\nTIME44=TRUE\r\n");
  EXPECT_EQ(Run({"bad.ksq", "out.wav"}), 1);
  EXPECT_EQ(errors_, std::string(kBadDataMessage) + "\n");
  EXPECT_FALSE(std::filesystem::exists("out.wav"));
}

TEST_F(RenderCli, RefusesToWriteOverTheScoreOrWhereItCannot) {
  const std::vector<std::uint8_t> before = ReadBytes("tune.ksq");
  EXPECT_EQ(Run({"tune.ksq", "./tune.ksq"}), 1);
  EXPECT_EQ(errors_, "ファイル ./tune.ksq を作成できません.\n");
  EXPECT_EQ(ReadBytes("tune.ksq"), before);
  EXPECT_EQ(Run({"tune.ksq", "no/such/folder/out.wav"}), 1);
  EXPECT_EQ(errors_, "ファイル no/such/folder/out.wav を作成できません.\n");
}

TEST_F(RenderCli, ARenderPastTheWaveLimitIsRefusedBeforeItStarts) {
  doc_.SetTempo(100);
  doc_.MoveEndMark(961);
  WriteText("long.ksq", WriteSequenceText(doc_));
  // 1920 ticks of 300 ms per pass: 576 s, about 53 MB; 100 passes pass the 4 GB limit.
  EXPECT_EQ(Run({"long.ksq", "out.wav", "--loops", "100"}), 1);
  EXPECT_NE(errors_.find("WAV"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("out.wav"));
}

TEST_F(RenderCli, MissingOrUnusableSamplesAreEachNamedWithTheirReasonAndNothingIsWritten) {
  std::filesystem::remove(SampleBank::FileName(13));
  std::filesystem::remove(SampleBank::FileName(2));
  std::ofstream(SampleBank::FileName(20), std::ios::binary) << "not a wave";
  WriteText("out.wav", "old");
  EXPECT_EQ(Run({"tune.ksq", "out.wav"}), 1);
  EXPECT_EQ(errors_,
            "waves/Sound2.wavが、見つかりません\n"
            "waves/Sound13.wavが、見つかりません\n"
            "waves/Sound20.wavは、WAVEファイルではありません\n");
  EXPECT_EQ(ReadBytes("out.wav").size(), 3u) << "a silent render replaced the old output";
}

}  // namespace
}  // namespace kestu::test
