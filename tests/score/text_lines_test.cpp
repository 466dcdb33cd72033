#include "score/text_lines.h"

#include <gtest/gtest.h>

namespace kestu::test {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, EveryLineEndingAndNul) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
  EXPECT_EQ(SplitLines("a\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines(std::string_view("a\nb\0c\nd", 7)), (Lines{"a", "b"}));
  EXPECT_EQ(SplitLines(""), Lines{});
}

TEST(ValueOf, FirstMatchingLineCaseInsensitiveUntrimmed) {
  const Lines lines{"x", "Tempo=1", "TEMPO=2", "TEMPO =3", "end= 4 ", "a=b=c"};
  EXPECT_EQ(ValueOf(lines, "TEMPO"), "1");
  EXPECT_EQ(ValueOf(lines, "END"), " 4 ");
  EXPECT_EQ(ValueOf(lines, "A"), "b=c");
  EXPECT_EQ(ValueOf(lines, "LOOP"), "");
  EXPECT_EQ(ValueOf(Lines{"TEMPO =3"}, "TEMPO"), "");
}

TEST(ValueOf, LookupInTheTextFindsWhatTheLinesGive) {
  const std::string_view texts[] = {
      "x\r\nTempo=1\rTEMPO=2\nend= 4 \r\na=b=c",
      "\n\n\r\r\nTEMPO=7\r\n",
      std::string_view("TEMPO=1\0\nEND=2\n", 16),  // NUL ends the text
      "TEMPO=5\r",
      "tempo=",
      "",
  };
  for (std::string_view text : texts) {
    for (const char* key : {"TEMPO", "END", "A", "LOOP"}) {
      EXPECT_EQ(ValueOf(text, key), ValueOf(SplitLines(text), key)) << text << " / " << key;
    }
  }
}

TEST(WithoutByteOrderMark, OnlyAMarkAtTheVeryStartGoes) {
  EXPECT_EQ(WithoutByteOrderMark("\xEF\xBB\xBFSCORE=1"), "SCORE=1");
  const std::string mark = "\xEF\xBB\xBF";
  EXPECT_EQ(WithoutByteOrderMark(mark + mark + "A"), mark + "A");  // one mark, once
  EXPECT_EQ(WithoutByteOrderMark("A" + mark), "A" + mark);
  EXPECT_EQ(WithoutByteOrderMark("\xEF\xBB"), "\xEF\xBB");
  EXPECT_EQ(WithoutByteOrderMark(""), "");
}

TEST(JoinLines, EndsEveryLineWithCrLf) {
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

}  // namespace
}  // namespace kestu::test
