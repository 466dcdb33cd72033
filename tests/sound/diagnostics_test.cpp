#include <gtest/gtest.h>

#include <fstream>

#include "sound/diagnostics.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/thrown.h"

namespace kestu::test {
namespace {

using Diagnostics = SoundTest;

TEST_F(Diagnostics, SetDebugOptionSetsEachSwitchFromItsElement) {
  struct Case {
    TDDSDDebugOption options;
    bool halt, log, raise;
  } cases[] = {
      {0, false, false, false},
      {dsoHaltOnError, true, false, false},
      {dsoDebugMessage, false, true, false},
      {dsoExceptOnError, false, false, true},
      {dsoHaltOnError | dsoDebugMessage | dsoExceptOnError, true, true, true},
  };
  for (const Case& c : cases) {
    ApplyDebugOption(c.options);
    EXPECT_EQ(HaltSwitch, c.halt) << int(c.options);
    EXPECT_EQ(LogSwitch, c.log) << int(c.options);
    EXPECT_EQ(RaiseSwitch, c.raise) << int(c.options);
  }
}

TEST_F(Diagnostics, ZeroCodeWritesRaisesAndCountsNothing) {
  ApplyDebugOption(dsoDebugMessage | dsoExceptOnError | dsoHaltOnError);
  EXPECT_NO_THROW(CheckResult(0, "never"));
  EXPECT_FALSE(LogExists());
  EXPECT_EQ(LogLineCount, 0);
}

TEST_F(Diagnostics, FirstLineReplacesAnOldLogAndLaterLinesAppend) {
  std::ofstream(LogPath()) << "left over from an earlier run\r\n";
  ApplyDebugOption(dsoDebugMessage);
  DebugMessage("最初");
  EXPECT_EQ(LogText(), "debug#00001 ... 最初\r\n");
  CheckResult(static_cast<std::int32_t>(0x88780078u), "二番目");
  EXPECT_EQ(LogText(), "debug#00001 ... 最初\r\ndebug#00002 ... 二番目(Error Code(88780078))\r\n");
  EXPECT_EQ(LogLineCount, 2);
}

TEST_F(Diagnostics, LineNumbersGrowPastFiveDigits) {
  ApplyDebugOption(dsoDebugMessage);
  DebugMessage("a");
  LogLineCount = 99999;
  DebugMessage("b");
  EXPECT_EQ(LogText(), "debug#00001 ... a\r\ndebug#100000 ... b\r\n");
}

TEST_F(Diagnostics, ARunThatWritesNothingLeavesAnOldLogAlone) {
  std::ofstream(LogPath()) << "kept";
  ApplyDebugOption(dsoExceptOnError);
  EXPECT_THROW(DebugMessage("only raised"), EDDSD);
  EXPECT_EQ(LogText(), "kept");
}

TEST_F(Diagnostics, ErrorCodeSuffixIsUnsignedCapitalHexWithoutPadding) {
  struct Case {
    std::int32_t code;
    const char* message;
  } cases[] = {
      {1, "x(Error Code(1))"},
      {0xABC, "x(Error Code(ABC))"},
      {static_cast<std::int32_t>(0x80004005u), "x(Error Code(80004005))"},
      {-1, "x(Error Code(FFFFFFFF))"},
  };
  ApplyDebugOption(dsoExceptOnError);
  for (const Case& c : cases) {
    EXPECT_EQ(ThrownMessage<EDDSD>([&c] { CheckResult(c.code, "x"); }), c.message) << c.code;
  }
}

TEST_F(Diagnostics, LoggedFirstThenRaisedWithTheSameText) {
  ApplyDebugOption(dsoDebugMessage | dsoExceptOnError);
  EXPECT_EQ(ThrownMessage<EDDSD>([] { CheckResult(5, "失敗"); }), "失敗(Error Code(5))");
  EXPECT_EQ(LogText(), "debug#00001 ... 失敗(Error Code(5))\r\n");
}

TEST_F(Diagnostics, RaiseComesInsteadOfHalt) {
  ApplyDebugOption(dsoExceptOnError | dsoHaltOnError);
  EXPECT_THROW(CheckResult(2, "raised, not halted"), EDDSD);
}

TEST_F(Diagnostics, WithoutOptionsEveryMessageIsDropped) {
  EXPECT_NO_THROW(CheckResult(2, "dropped"));
  EXPECT_NO_THROW(DebugMessage("dropped"));
  EXPECT_FALSE(LogExists());
  EXPECT_EQ(LogLineCount, 0);
}

TEST_F(Diagnostics, AnUnwritableLogRaisesItsOwnErrorAndNothingElseFollows) {
  SetDebugLogFolder((folder_ / "no such folder").string());
  ApplyDebugOption(dsoDebugMessage | dsoExceptOnError | dsoHaltOnError);
  EXPECT_THROW(CheckResult(3, "lost"), EDDSDLogError);
  EXPECT_EQ(LogLineCount, 0);
}

using DiagnosticsDeathTest = SoundTest;

TEST_F(DiagnosticsDeathTest, ProgramOptionsEndTheProcessWithStatusOneAndNoLog) {
  EXPECT_EXIT(
      {
        ApplyDebugOption(dsoHaltOnError);
        CheckResult(static_cast<std::int32_t>(0x88780078u), "halts");
      },
      ::testing::ExitedWithCode(1), "^$");
  EXPECT_FALSE(LogExists());
}

TEST_F(DiagnosticsDeathTest, HaltAfterLoggingKeepsTheLine) {
  EXPECT_EXIT(
      {
        ApplyDebugOption(dsoHaltOnError | dsoDebugMessage);
        CheckResult(7, "logged then halted");
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(LogText(), "debug#00001 ... logged then halted(Error Code(7))\r\n");
}

}  // namespace
}  // namespace kestu::test
