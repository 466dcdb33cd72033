#include <gtest/gtest.h>

#include "sound/riff.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

using Riff = SoundTest;

constexpr std::uint32_t kWave = MakeFourCC('W', 'A', 'V', 'E');

TEST(FourCC, FirstCharacterGoesInTheLowestByte) {
  EXPECT_EQ(MakeFourCC('R', 'I', 'F', 'F'), 0x46464952u);
  EXPECT_EQ(MakeFourCC('f', 'm', 't', ' '), 0x20746D66u);
}

TEST_F(Riff, FindsTheWaveFormBehindOtherTopLevelChunks) {
  RiffBytes file;
  file.Raw(RiffBytes().Chunk("junk", {1, 2, 3}).Bytes());
  file.Raw(RiffBytes().Chunk("abcd", {4}).Form("AVI "));
  file.Raw(RiffBytes().Chunk("fmt ", {9, 9}).Form("WAVE"));
  RiffReader reader;
  ASSERT_TRUE(reader.Open(Write("forms.bin", file.Bytes())));
  RiffChunk riff;
  ASSERT_TRUE(reader.FindRiff(kWave, riff));
  EXPECT_EQ(riff.formType, kWave);
  EXPECT_EQ(reader.Position(), riff.payload);
  RiffChunk fmt;
  ASSERT_TRUE(reader.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, fmt));
  EXPECT_EQ(fmt.size, 2u);
  unsigned char bytes[2] = {};
  EXPECT_EQ(reader.Read(bytes, 2), 2u);
  EXPECT_EQ(bytes[0], 9);
}

TEST_F(Riff, ChunkSearchLooksOnlyForwardAndAscendSkipsThePadByte) {
  const auto bytes = RiffBytes()
                         .Chunk("data", {1, 2, 3, 4})
                         .Chunk("odd ", {5, 6, 7})  // padded to 4
                         .Chunk("fmt ", {8})
                         .Chunk("last", {0x55, 0x66})
                         .Form();
  RiffReader reader;
  ASSERT_TRUE(reader.Open(Write("order.bin", bytes)));
  RiffChunk riff, chunk;
  ASSERT_TRUE(reader.FindRiff(kWave, riff));
  ASSERT_TRUE(reader.FindChunk(MakeFourCC('o', 'd', 'd', ' '), riff, chunk));
  reader.Ascend(chunk);
  RiffChunk fmt;
  ASSERT_TRUE(reader.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, fmt));
  reader.Ascend(fmt);
  RiffChunk last;
  ASSERT_TRUE(reader.FindChunk(MakeFourCC('l', 'a', 's', 't'), riff, last));
  unsigned char value = 0;
  reader.Read(&value, 1);
  EXPECT_EQ(value, 0x55);
  // "data" lies behind the current position now.
  reader.Ascend(last);
  RiffChunk data;
  EXPECT_FALSE(reader.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, data));
}

TEST_F(Riff, SearchStaysInsideTheParent) {
  // A second form after the WAVE form holds the chunk; the search must not reach it.
  RiffBytes file;
  file.Raw(RiffBytes().Chunk("fmt ", {1, 2}).Form("WAVE"));
  file.Raw(RiffBytes().Chunk("data", {3, 4}).Form("WAVE"));
  RiffReader reader;
  ASSERT_TRUE(reader.Open(Write("two.bin", file.Bytes())));
  RiffChunk riff, chunk;
  ASSERT_TRUE(reader.FindRiff(kWave, riff));
  EXPECT_FALSE(reader.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk));
}

TEST_F(Riff, HugeSizesDoNotRunAway) {
  RiffBytes file;
  file.Id("RIFF").U32(0xFFFFFFF0u).Id("WAVE").Id("LIST").U32(0xFFFFFFF0u).U32(0);
  RiffReader reader;
  ASSERT_TRUE(reader.Open(Write("huge.bin", file.Bytes())));
  RiffChunk riff, chunk;
  ASSERT_TRUE(reader.FindRiff(kWave, riff));
  EXPECT_FALSE(reader.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, chunk));
  EXPECT_LE(reader.Position(), reader.FileSize());
}

}  // namespace
}  // namespace kestu::test
