#include "score/text_lines.h"

#include <gtest/gtest.h>

namespace kestu {
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
  EXPECT_EQ(ValueOf({"TEMPO =3"}, "TEMPO"), "");
}

TEST(JoinLines, EndsEveryLineWithCrLf) {
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

}  // namespace
}  // namespace kestu
