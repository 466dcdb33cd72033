// kestu-cli check, run as a user would run it: byte-exact output, message and status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status;
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class CliCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kestu-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

  CliRun Check(const fs::path& file) {
    const fs::path out = dir_ / "out", err = dir_ / "err";
    const std::string cmd = std::string(KESTU_BUILD_DIR) + "/kestu-cli check '" + file.string() +
                            "' >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
  }

  fs::path dir_;
};

std::string Text(const std::string& score, const std::string& tempo, const std::string& loop,
                 const std::string& end, const std::string& time44, const char* eol = "\r\n") {
  return "SCORE=" + score + eol + "TEMPO=" + tempo + eol + "LOOP=" + loop + eol + "END=" + end +
         eol + "TIME44=" + time44 + eol;
}

const std::string kEmpty(2880, '0');

TEST_F(CliCheck, CleanReadNormalisesTheFile) {
  // LF endings, keys in lower case, hex tempo, a pair before its padding: all normalised.
  const std::string score = "1500" + std::string(2877, '0');
  const CliRun r = Check(Write("a.ksq", Text(score, "$FA", "TRUE", "500", "FALSE", "\n")));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, Text("0015" + std::string(2877, '0'), "250", "TRUE", "500", "FALSE"));
}

TEST_F(CliCheck, ShippedExampleIsClean) {
  const fs::path example = fs::path(KESTU_SOURCE_DIR) / "examples" / "little-tune.ksq";
  const CliRun r = Check(example);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Slurp(example));
}

TEST_F(CliCheck, BadScoreGivesANewDocumentWithTheSwitchesAsRead) {
  const CliRun r = Check(Write("b.ksq", Text("1a0" + std::string(2877, '0'), "700", "TRUE", "40", "FALSE")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "データが不正です\n");
  EXPECT_EQ(r.out, Text(kEmpty, "250", "TRUE", "961", "FALSE"));
}

TEST_F(CliCheck, ConversionErrorIsReportedWithAFullStop) {
  const CliRun r = Check(Write("c.ksq", Text(kEmpty, "250 ", "TRUE", "961", "TRUE")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "'250 ' は整数ではありません.\n");
  EXPECT_EQ(r.out, Text(kEmpty, "250", "FALSE", "961", "TRUE"));  // nothing changed

  const CliRun end = Check(Write("d.ksq", "SCORE=" + kEmpty + "\r\nTEMPO=300\r\nLOOP=TRUE\r\n"));
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(end.err, "'' は整数ではありません.\n");
  EXPECT_EQ(end.out, Text(kEmpty, "300", "TRUE", "961", "TRUE"));
}

TEST_F(CliCheck, UnreadableFile) {
  const fs::path missing = dir_ / "missing.ksq";
  const CliRun r = Check(missing);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ファイル " + missing.string() + " は開けません.\n");
  EXPECT_EQ(r.out, Text(kEmpty, "250", "FALSE", "961", "TRUE"));
}

}  // namespace
