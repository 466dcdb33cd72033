// The program's command line: `kestu FILE` opens FILE exactly as Open does; --help and --version
// answer on standard output without a window or a display; a wrong command line is status 2.
#include "app/command_line.h"

#include "form1_fixture.h"
#include "score/sequence_text.h"
#include "tests/support/process.h"

namespace kestu::test {
namespace {

using Action = CommandLine::Action;

struct LineCase {
  std::vector<std::string> args;
  bool toolkitOptions;
  Action action;
  std::string file;
};

TEST(CommandLineParse, Table) {
  const std::vector<LineCase> cases = {
      {{}, true, Action::Run, ""},
      {{"tune.ksq"}, true, Action::Run, "tune.ksq"},
      {{"--help"}, true, Action::Help, ""},
      {{"-h"}, false, Action::Help, ""},
      {{"tune.ksq", "--version"}, true, Action::Version, ""},
      {{"-platform", "offscreen", "tune.ksq"}, true, Action::Run, "tune.ksq"},
      {{"-reverse", "tune.ksq"}, true, Action::Run, "tune.ksq"},
      {{"--", "-odd.ksq"}, false, Action::Run, "-odd.ksq"},
      {{"--", "--help"}, true, Action::Run, "--help"},
      {{"-"}, false, Action::Run, "-"},
      {{"--bogus"}, true, Action::UsageError, ""},
      {{"-x"}, false, Action::UsageError, ""},
      {{"a.ksq", "b.ksq"}, true, Action::UsageError, ""},
      {{"-platform"}, true, Action::UsageError, ""},
  };
  for (const LineCase& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    const CommandLine line = ParseCommandLine(c.args, c.toolkitOptions);
    EXPECT_EQ(line.action, c.action) << shown;
    EXPECT_EQ(line.file, c.file) << shown;
    EXPECT_EQ(line.error.empty(), c.action != Action::UsageError) << shown;
  }
}

// The program itself, with no display of any kind: what answers without a window never needs one.
test::ProgramRun Kestu(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                                std::string(KESTU_BUILD_DIR) + "/kestu"};
  argv.insert(argv.end(), args.begin(), args.end());
  return test::RunProgram(argv);
}

TEST(CommandLineProgram, HelpAndVersionAnswerOnStandardOutputWithoutADisplay) {
  for (const char* option : {"--help", "-h"}) {
    const test::ProgramRun run = Kestu({option});
    EXPECT_EQ(run.status, 0) << option;
    EXPECT_EQ(run.out, HelpText()) << option;
    EXPECT_NE(run.out.find("usage: kestu [FILE]"), std::string::npos);
    EXPECT_EQ(run.err, "") << option;
  }
  const test::ProgramRun version = Kestu({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "kestu " KESTU_TEST_VERSION "\n");
  EXPECT_EQ(version.err, "");
}

TEST(CommandLineProgram, AWrongCommandLineIsStatusTwoOnStandardError) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--bogus"}, {"a.ksq", "b.ksq"}}) {
    const test::ProgramRun run = Kestu(args);
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_EQ(run.out, "") << args[0];
    EXPECT_EQ(run.err.rfind("kestu: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(UsageText()), std::string::npos) << run.err;
  }
}

// What a command left: the document's text, its name, Modified, and what the user was shown.
struct Outcome {
  std::string text, name;
  bool modified;
  std::vector<std::string> shown;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << o.name << (o.modified ? " modified" : "") << " [";
  for (const std::string& s : o.shown) out << s << "; ";
  return out << "] " << o.text.substr(0, 40);
}

class OpenFromTheCommandLine : public Form1Test {
 protected:
  Outcome Left(TForm1& window, ScriptedToolkit& shown) {
    std::vector<std::string> log;
    for (const std::string& entry : shown.log) {
      if (entry.rfind("open:", 0) != 0) log.push_back(entry);
    }
    return {WriteSequenceText(window.Document), window.Document.CurrentFileName, window.Document.Modified, log};
  }
};

TEST_F(OpenFromTheCommandLine, EveryFileIsReadAsTheOpenCommandReadsIt) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"good.ksq", SequenceText(ScoreStartingWith("0015"), "300", "TRUE", "50", "FALSE")},
      {"marked.ksq", bom + SequenceText(ScoreStartingWith("0016"), "400", "FALSE", "70")},
      {"bad.ksq", SequenceText(ScoreStartingWith("1a0"), "300", "TRUE")},
      {"badnumber.ksq", SequenceText(ScoreStartingWith("0015"), "700", "TRUE", "x")},
      {"missing.ksq", ""},
  };
  for (const auto& [name, text] : files) {
    if (!text.empty()) WriteFile(name, text);
    // Through the dialog, in a window just started.
    ScriptedToolkit dialogToolkit;
    OfflineOutput dialogOutput;
    TForm1 opened(dialogToolkit, UseOutput(dialogOutput));
    dialogToolkit.log.clear();
    dialogToolkit.openAnswers = {Path(name)};
    opened.Guarded([&] { opened.OpenActionExecute(); });
    const Outcome byDialog = Left(opened, dialogToolkit);
    // Named on the command line, relative to the current folder, in another.
    ScriptedToolkit ownToolkit;
    OfflineOutput ownOutput;
    TForm1 window(ownToolkit, UseOutput(ownOutput));
    ownToolkit.log.clear();
    window.Guarded([&] { window.OpenFile(name); });
    EXPECT_EQ(Left(window, ownToolkit), byDialog) << name;
    // Open's dialog then starts from that file, as after choosing it there.
    window.OpenActionExecute();
    EXPECT_EQ(ownToolkit.log.back(), "open:" + Path(name)) << name;
  }
  // The cases did what they are for.
  form->Guarded([&] { form->OpenFile("marked.ksq"); });
  EXPECT_EQ(form->Document.Cell(1, 1), 6) << "the byte-order mark was read as part of the score";
  EXPECT_EQ(form->Document.Tempo(), 400);
  EXPECT_EQ(form->Document.CurrentFileName, Path("marked.ksq"));
  EXPECT_FALSE(form->Document.Modified);
}

}  // namespace
}  // namespace kestu::test
