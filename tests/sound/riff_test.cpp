#include <gtest/gtest.h>

#include "sound/riff.h"
#include "tests/sound/sound_fixture.h"

namespace kestu::test {
namespace {

constexpr std::uint32_t kWave = MakeFourCC('W', 'A', 'V', 'E');

class Riff : public SoundTest {
 protected:
  // Opens `bytes` as a file and finds its WAVE form.
  void OpenWave(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    ASSERT_TRUE(reader.Open(Write(name, bytes)));
    ASSERT_TRUE(reader.FindRiff(kWave, riff));
  }
  RiffReader reader;
  RiffChunk riff;
};

TEST(FourCC, FirstCharacterGoesInTheLowestByte) {
  EXPECT_EQ(MakeFourCC('R', 'I', 'F', 'F'), 0x46464952u);
  EXPECT_EQ(MakeFourCC('f', 'm', 't', ' '), 0x20746D66u);
}

TEST_F(Riff, FindsTheWaveFormBehindOtherTopLevelChunks) {
  RiffBytes file;
  file.Raw(RiffBytes().Chunk("junk", {1, 2, 3}).Bytes());
  file.Raw(RiffBytes().Chunk("abcd", {4}).Form("AVI "));
  file.Raw(RiffBytes().Chunk("fmt ", {9, 9}).Form("WAVE"));
  ASSERT_NO_FATAL_FAILURE(OpenWave("forms.bin", file.Bytes()));
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
  ASSERT_NO_FATAL_FAILURE(OpenWave("order.bin", bytes));
  RiffChunk chunk;
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
  ASSERT_NO_FATAL_FAILURE(OpenWave("two.bin", file.Bytes()));
  RiffChunk chunk;
  EXPECT_FALSE(reader.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk));
}

TEST_F(Riff, HugeSizesDoNotRunAway) {
  RiffBytes file;
  file.Id("RIFF").U32(0xFFFFFFF0u).Id("WAVE").Id("LIST").U32(0xFFFFFFF0u).U32(0);
  ASSERT_NO_FATAL_FAILURE(OpenWave("huge.bin", file.Bytes()));
  RiffChunk chunk;
  EXPECT_FALSE(reader.FindChunk(MakeFourCC('f', 'm', 't', ' '), riff, chunk));
  EXPECT_LE(reader.Position(), reader.FileSize());
}

TEST_F(Riff, EmptyHeadersAreSteppedOverEightBytesAtATimeWrittenOrSparse) {
  // The form stands behind a run of zero bytes: found when the run is a whole number of empty
  // headers, not when it ends in the middle of one (that header's size then jumps past the form).
  const auto form = WaveOf({1, 2}, {3, 4});
  struct Case {
    std::uint64_t zeros;
    bool sparse;
    bool found;
  } cases[] = {{0, false, true},       {3 << 20, false, true},       {(3 << 20) + 4, false, false},
               {64 << 20, true, true}, {(64 << 20) + 4, true, false}, {(64 << 20) + 8, true, true}};
  for (const Case& c : cases) {
    const std::string path = Write("zeros.bin", {});
    if (c.sparse) {
      std::filesystem::resize_file(path, c.zeros);
    } else {
      Write("zeros.bin", std::vector<std::uint8_t>(c.zeros, 0));
    }
    std::ofstream(path, std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(form.data()), static_cast<std::streamsize>(form.size()));
    RiffReader reader;
    ASSERT_TRUE(reader.Open(path));
    RiffChunk riff, chunk;
    ASSERT_EQ(reader.FindRiff(kWave, riff), c.found) << c.zeros;
    if (!c.found) continue;
    EXPECT_EQ(riff.payload, c.zeros + 12);
    ASSERT_TRUE(reader.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk));
    EXPECT_EQ(chunk.payload, c.zeros + 12 + 10 + 8);
  }
}

TEST_F(Riff, EmptyHeadersInsideTheFormAreSkippedUpToItsEnd) {
  std::vector<std::uint8_t> zeros(1 << 20, 0);
  const auto bytes = RiffBytes().Raw(zeros).Chunk("data", {7, 8}).Form();
  ASSERT_NO_FATAL_FAILURE(OpenWave("inner.bin", bytes));
  RiffChunk chunk;
  ASSERT_TRUE(reader.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk));
  EXPECT_EQ(chunk.payload, 12u + zeros.size() + 8);
  // Searching again from behind it runs to the form's end and stops there.
  reader.Ascend(chunk);
  EXPECT_FALSE(reader.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, chunk));
  EXPECT_EQ(reader.Position(), bytes.size());
}

}  // namespace
}  // namespace kestu::test
