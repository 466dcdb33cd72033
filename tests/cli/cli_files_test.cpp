// kestu-cli through its binary, run as a user would run it: byte-exact output, message and status,
// also given what a hostile or unlucky user's world holds: inputs that are not regular files or are
// far too big, outputs that are the input, and a full disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/process.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/score_texts.h"
#include "tests/support/text_files.h"
#include "tests/support/wav_files.h"

namespace kestu::test {
namespace {

namespace fs = std::filesystem;

const std::string kCli = std::string(KESTU_BUILD_DIR) + "/kestu-cli";

class CliFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(fs::path(KESTU_SOURCE_DIR) / "examples" / "little-tune.ksq", Path("tune.ksq"));
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Read(const std::string& name) const { return ReadText(Path(name)); }
  void Write(const std::string& name, const std::string& text) const { WriteText(Path(name), text); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The samples for render are the build's, read from its folder.
  static ProgramRun Cli(const std::vector<std::string>& args, ChildOptions options = {}) {
    std::vector<std::string> argv{kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    if (options.workingFolder.empty()) options.workingFolder = KESTU_BUILD_DIR;
    ProgramRun run = RunProgram(argv, options);
    // The toolkit's own word about a missing runtime folder is not the command's.
    const std::string qtNote = "QStandardPaths: XDG_RUNTIME_DIR not set";
    if (run.err.rfind(qtNote, 0) == 0) run.err.erase(0, run.err.find('\n') + 1);
    return run;
  }
  static std::string CannotOpen(const std::string& path) { return "ファイル " + path + " は開けません.\n"; }
  static std::string CannotCreate(const std::string& path) { return "ファイル " + path + " を作成できません.\n"; }

  ScratchFolder folder_{"cli-files"};
  const fs::path& dir_ = folder_.Path();
};

// Each command with an output, and where its output goes.
#ifdef KESTU_CLI_HAS_SNAPSHOT
const std::vector<std::string> kWriters = {"midi", "snapshot", "render"};
#else
const std::vector<std::string> kWriters = {"midi", "render"};
#endif

TEST_F(CliFiles, InputsThatAreNotRegularFilesOrAreTooBigAreRefusedWithTheirMessage) {
  fs::create_directory(Path("folder.ksq"));
  ASSERT_EQ(::mkfifo(Path("fifo.ksq").c_str(), 0600), 0);
  { std::ofstream(Path("huge.ksq")); }
  fs::resize_file(Path("huge.ksq"), 2ull << 30);
  Write("lines.ksq", Read("tune.ksq") + std::string(20 << 20, '\n'));
  for (const std::string& input : {Path("folder.ksq"), Path("fifo.ksq"), std::string("/dev/zero"),
                                   Path("huge.ksq"), Path("lines.ksq")}) {
    const ProgramRun check = Cli({"check", input});
    EXPECT_EQ(check.status, 1) << input;
    EXPECT_EQ(check.err, CannotOpen(input));
    for (const std::string& command : kWriters) {
      const ProgramRun run = Cli({command, input, Path("out")});
      EXPECT_EQ(run.status, 1) << command << " " << input;
      EXPECT_EQ(run.err, CannotOpen(input)) << command << " " << input;
      // Only the snapshot draws what it has read, as check prints it: the empty score.
      EXPECT_EQ(fs::exists(Path("out")), command == "snapshot") << command << " " << input;
      fs::remove(Path("out"));
    }
  }
}

TEST_F(CliFiles, NoCommandWritesOverItsInputEvenThroughALink) {
  const std::string score = Read("tune.ksq");
  fs::create_symlink(Path("tune.ksq"), Path("link.ksq"));
  fs::create_hard_link(Path("tune.ksq"), Path("hard.ksq"));
  for (const std::string& command : kWriters) {
    for (const auto& [input, output] : std::vector<std::pair<std::string, std::string>>{
             {"tune.ksq", "tune.ksq"}, {"tune.ksq", "link.ksq"}, {"link.ksq", "tune.ksq"}, {"hard.ksq", "tune.ksq"}}) {
      const ProgramRun run = Cli({command, Path(input), Path(output)});
      EXPECT_EQ(run.status, 1) << command << " " << input << " " << output;
      EXPECT_EQ(run.err, CannotCreate(Path(output))) << command;
      EXPECT_EQ(Read("tune.ksq"), score) << command;
      EXPECT_TRUE(fs::is_symlink(Path("link.ksq")));
    }
  }
}

TEST_F(CliFiles, AFullDiskIsAnErrorAndLeavesTheOldOutputWhole) {
  // Every write past 100 bytes fails, as on a full disk: each output is larger.
  const ChildOptions fullDisk{.fileSizeLimit = 100};
  for (const std::string& command : kWriters) {
    Write("out", "old output");
    const ProgramRun run = Cli({command, Path("tune.ksq"), Path("out")}, fullDisk);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.err, CannotCreate(Path("out"))) << command;
    EXPECT_EQ(Read("out"), "old output") << command;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"out", "tune.ksq"})) << command;  // nothing partial
  }
}

TEST_F(CliFiles, AnOutputReplacesTheOldOneKeepingItsModeAndLink) {
  fs::create_directory(Path("outs"));
  for (const std::string& command : kWriters) {
    const std::string target = "outs/" + command;
    Write(target, "old output");
    ::chmod(Path(target).c_str(), 0640);
    fs::create_symlink(Path(target), Path(command + ".link"));
    const ProgramRun run = Cli({command, Path("tune.ksq"), Path(command + ".link")});
    EXPECT_EQ(run.status, 0) << command << ": " << run.err;
    EXPECT_TRUE(fs::is_symlink(Path(command + ".link")));
    EXPECT_GT(Read(target).size(), 44u) << command;
    EXPECT_EQ(fs::status(Path(target)).permissions(), fs::perms(0640)) << command;
  }
  // An output that is not a regular file is never renamed over.
  const ProgramRun toDevice = Cli({"midi", Path("tune.ksq"), "/dev/null"});
  EXPECT_EQ(toDevice.status, 1);
  EXPECT_EQ(toDevice.err, CannotCreate("/dev/null"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(CliFiles, RenderNamesASampleItCannotUseAndEndsWithStatusOne) {
  fs::copy(fs::path(KESTU_BUILD_DIR) / "waves", Path("waves"));
  // Six channels of 16 bits at 8000 Hz: no mixer format, nothing to convert to.
  WriteBytes(Path("waves/Sound4.wav"), SilentWavBytes(1, 6, 8000, 16, 120));
  const ProgramRun run = Cli({"render", Path("tune.ksq"), Path("out.wav")},
                             {.workingFolder = dir_.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "waves/Sound4.wav：この形式のサウンドは使えません（形式 1、6チャンネル、16ビット、8000Hz）\n");
  EXPECT_FALSE(fs::exists(Path("out.wav")));
}

TEST_F(CliFiles, RenderFromAFolderWithoutSamplesUsesTheOnesBesideTheProgram) {
  const ProgramRun run = Cli({"render", "tune.ksq", "out.wav"},
                             {.workingFolder = dir_.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_GT(fs::file_size(Path("out.wav")), 100000u);
  EXPECT_FALSE(fs::exists(Path("waves")));
}

TEST_F(CliFiles, HelpAndVersionGoToStandardOutputAndAWrongCommandLineIsStatusTwo) {
  for (const char* option : {"--help", "-h"}) {
    const ProgramRun help = Cli({option});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: kestu-cli COMMAND"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
  }
  const ProgramRun version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kestu-cli ", 0), 0u) << version.out;
  for (const std::vector<std::string>& wrong : {std::vector<std::string>{}, {"--bogus"}, {"render", "a.ksq"}}) {
    const ProgramRun run = Cli(wrong);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("usage: kestu-cli"), std::string::npos) << run.err;
  }
}

TEST_F(CliFiles, CheckReadsAScoreWithAByteOrderMarkAsWithout) {
  Write("marked.ksq", "\xEF\xBB\xBF" + Read("tune.ksq"));
  const ProgramRun plain = Cli({"check", Path("tune.ksq")});
  const ProgramRun marked = Cli({"check", Path("marked.ksq")});
  EXPECT_EQ(marked.status, 0) << marked.err;
  EXPECT_EQ(marked.err, "");
  EXPECT_EQ(marked.out, plain.out);
}

TEST_F(CliFiles, AnInterruptedRenderEndsByItsSignalAndLeavesNoTemporaryFile) {
  // The tune looped over all 960 columns: about 53 MB a pass, far more than a moment's work.
  std::string tune = Read("tune.ksq");
  ASSERT_NE(tune.find("LOOP=TRUE"), std::string::npos);
  const size_t end = tune.find("END=");
  ASSERT_NE(end, std::string::npos);
  tune.replace(end, tune.find('\r', end) - end, "END=961");
  Write("long.ksq", tune);
  Write("out.wav", "old");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Process render({kCli, "render", "long.ksq", "out.wav", "--loops", "60"}, {}, dir_.string());
    ASSERT_TRUE(render.Started());
    // Under way: a hidden file beside out.wav that has begun to grow.
    const auto growing = [&] {
      for (const auto& e : fs::directory_iterator(dir_)) {
        std::error_code ec;
        if (e.path().filename().string()[0] == '.' && fs::file_size(e.path(), ec) > (1u << 20)) return true;
      }
      return false;
    };
    ASSERT_TRUE(WaitFor(growing, std::chrono::seconds(30))) << ::strsignal(signal);
    render.Signal(signal);
    EXPECT_EQ(render.Wait(std::chrono::seconds(10)), 128 + signal) << ::strsignal(signal);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"long.ksq", "out.wav", "tune.ksq"})) << ::strsignal(signal);
    EXPECT_EQ(Read("out.wav"), "old");
  }
}

class CliCheck : public CliFiles {
 protected:
  fs::path Write(const std::string& name, const std::string& text) const {
    CliFiles::Write(name, text);
    return Path(name);
  }
  static ProgramRun Check(const fs::path& file) { return Cli({"check", file.string()}); }
  // Check's status, message and the score it prints for `file`.
  static void ExpectCheck(const fs::path& file, int status, const std::string& err, const std::string& out) {
    SCOPED_TRACE(file.string());
    const ProgramRun r = Check(file);
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, out);
  }
};

TEST_F(CliCheck, CleanReadNormalisesTheFile) {
  // LF endings, keys in lower case, hex tempo, a pair before its padding: all normalised.
  ExpectCheck(Write("a.ksq", SequenceText(ScoreStartingWith("1500"), "$FA", "TRUE", "500", "FALSE", "\n")), 0, "",
              SequenceText(ScoreStartingWith("0015"), "250", "TRUE", "500", "FALSE"));
}

TEST_F(CliCheck, ShippedExampleIsClean) {
  const fs::path example = fs::path(KESTU_SOURCE_DIR) / "examples" / "little-tune.ksq";
  const ProgramRun r = Check(example);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Read("tune.ksq"));
}

TEST_F(CliCheck, BadScoreGivesANewDocumentWithTheSwitchesAsRead) {
  ExpectCheck(Write("b.ksq", SequenceText(ScoreStartingWith("1a0"), "700", "TRUE", "40", "FALSE")), 1,
              "データが不正です\n", SequenceText(EmptyScore(), "250", "TRUE", "961", "FALSE"));
}

TEST_F(CliCheck, ConversionErrorIsReportedWithAFullStop) {
  ExpectCheck(Write("c.ksq", SequenceText(EmptyScore(), "250 ", "TRUE", "961", "TRUE")), 1,
              "'250 ' は整数ではありません.\n",
              SequenceText(EmptyScore(), "250", "FALSE", "961", "TRUE"));  // nothing changed
  ExpectCheck(Write("d.ksq", "SCORE=" + EmptyScore() + "\r\nTEMPO=300\r\nLOOP=TRUE\r\n"), 1,
              "'' は整数ではありません.\n", SequenceText(EmptyScore(), "300", "TRUE", "961", "TRUE"));
}

TEST_F(CliCheck, UnreadableFile) {
  const fs::path missing = dir_ / "missing.ksq";
  ExpectCheck(missing, 1, CannotOpen(missing.string()), SequenceText(EmptyScore(), "250", "FALSE", "961", "TRUE"));
}

}  // namespace
}  // namespace kestu::test
