// Reading and saving files through the window's commands, as a hostile or unlucky user's world
// would have them: folders, FIFOs, devices and huge files given as scores; links, hard links,
// protected files and folders, other users' files, long names and a full disk when saving.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include "form1_fixture.h"
#include "score/sequence_text.h"
#include "tests/support/process.h"
#include "tests/support/wav_files.h"

namespace kestu::test {
namespace {

std::string Joined(const std::vector<std::string>& log) {
  std::string text;
  for (const std::string& line : log) text += line + "\n";
  return text;
}

class Form1Files : public Form1Test {
 protected:
  void SetUp() override {
    Form1Test::SetUp();
    fs::permissions(dir_, fs::perms(0755));  // the ordinary user of the children reaches it
    toolkit.log.clear();
  }

  // What the toolkit showed after the open dialog answered with path.
  std::string OpenReport(const std::string& path) {
    toolkit.log.clear();
    toolkit.openAnswers = {path};
    form->OpenAction->trigger();
    EXPECT_EQ(toolkit.log.front().rfind("open:", 0), 0u);
    return Joined({toolkit.log.begin() + 1, toolkit.log.end()});
  }
  static std::string CannotOpen(const std::string& path) { return "error:ファイル " + path + " は開けません.\n"; }
  static std::string CannotCreate(const std::string& path) { return "error:ファイル " + path + " を作成できません.\n"; }

  // A changed document saved with Save to `name`, in a child with `options`. The report holds
  // what the toolkit showed and whether the document is still modified.
  std::string SaveReport(const std::string& name, const ChildOptions& options) {
    form->Document.CurrentFileName = Path(name);
    form->Document.PlaceNote(4, 3, 7);
    form->Document.Modified = true;
    const std::optional<std::string> report = RunInChild(
        [this] {
          toolkit.log.clear();
          form->SaveAction->trigger();
          return Joined(toolkit.log) + (form->Document.Modified ? "modified" : "saved");
        },
        options);
    return report.value_or("the child failed");
  }
  std::string Saved() const { return WriteSequenceText(form->Document); }

  void GiveToChild(const std::string& name) const { ASSERT_TRUE(GiveToOrdinaryUser(Path(name))) << name; }
  struct stat Stat(const std::string& name) const {
    struct stat st {};
    EXPECT_EQ(::stat(Path(name).c_str(), &st), 0) << name;
    return st;
  }
  long EntriesIn(const std::string& folder) const {
    return std::distance(fs::directory_iterator(Path(folder)), fs::directory_iterator());
  }
};

const ChildOptions kOrdinaryUser{.asOrdinaryUser = true};

TEST_F(Form1Files, WhatIsNotARegularFileIsRefusedAtOnce) {
  fs::create_directory(Path("folder.ksq"));
  ASSERT_EQ(::mkfifo(Path("fifo.ksq").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = Path("s.ksq");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // A sparse file far past the limit, and a score followed by 20 MB of line ends.
  { std::ofstream(Path("huge.ksq")); }
  fs::resize_file(Path("huge.ksq"), 2ull << 30);
  WriteFile("lines.ksq", SequenceText(EmptyScore()) + std::string(20 << 20, '\n'));

  form->Document.PlaceNote(2, 2, 2);
  form->Document.Modified = false;
  form->Document.CurrentFileName = Path("mine.ksq");
  for (const std::string& path : {Path("folder.ksq"), Path("fifo.ksq"), socketPath, std::string("/dev/zero"),
                                  std::string("/dev/urandom"), Path("huge.ksq"), Path("lines.ksq")}) {
    EXPECT_EQ(OpenReport(path), CannotOpen(path)) << path;
    EXPECT_EQ(form->Document.Cell(2, 2), 2) << path;
    EXPECT_EQ(form->Document.CurrentFileName, Path("mine.ksq")) << path;

    // Dropped, the same: the clipboard keeps what it held.
    toolkit.log.clear();
    toolkit.clipboard = "kept";
    DropOnWindow(path);
    EXPECT_EQ(Joined(toolkit.log), CannotOpen(path)) << path;
    EXPECT_EQ(toolkit.clipboard, "kept");
  }
  ::close(sock);
}

TEST_F(Form1Files, ALinkToAScoreAndAScoreWithManyLineEndsRead) {
  WriteFile("tune.ksq", SequenceText(ScoreStartingWith("0015"), "300") + std::string(3 << 20, '\n'));
  fs::create_symlink(Path("tune.ksq"), Path("link.ksq"));
  EXPECT_EQ(OpenReport(Path("link.ksq")), "");
  EXPECT_EQ(form->Document.Cell(1, 1), 5);
  EXPECT_EQ(form->Document.Tempo(), 300);
  EXPECT_EQ(form->Document.CurrentFileName, Path("link.ksq"));
}

TEST_F(Form1Files, AByteOrderMarkIsReadAlikeByOpenDropAndPaste) {
  const std::string text = SequenceText(ScoreStartingWith("0019"), "333", "TRUE", "44", "FALSE");
  WriteFile("marked.ksq", "\xEF\xBB\xBF" + text);
  const std::string expected = [&] {
    ScoreDocument plain;
    ReadSequenceText(plain, text, nullptr);
    return WriteSequenceText(plain);
  }();
  const std::vector<std::pair<std::string, std::function<void()>>> routes = {
      {"open", [&] { OpenReport(Path("marked.ksq")); }},
      {"drop", [&] { DropOnWindow(Path("marked.ksq")); }},
      {"paste", [&] {
         toolkit.SetClipboardText("\xEF\xBB\xBF" + text);
         form->LoadFromClipbrdAction->trigger();
       }},
  };
  for (const auto& [route, run] : routes) {
    form->NewActionExecute();
    toolkit.log.clear();
    run();
    EXPECT_EQ(WriteSequenceText(form->Document), expected) << route;
    EXPECT_EQ(form->Document.Cell(1, 1), 9) << route;
    EXPECT_FALSE(form->Document.Modified) << route;
    for (const std::string& shown : toolkit.log) EXPECT_EQ(shown.rfind("open:", 0), 0u) << route << ": " << shown;
  }
}

TEST_F(Form1Files, AHugeNumberIsShownShortened) {
  const std::string digits(3'000'000, '9');
  WriteFile("tempo.ksq", SequenceText(EmptyScore(), digits));
  EXPECT_EQ(OpenReport(Path("tempo.ksq")), "error:'" + std::string(60, '9') + "…' は整数ではありません.\n");

  // Pasted, ten million digits.
  toolkit.log.clear();
  toolkit.clipboardHasText = true;
  toolkit.clipboard = SequenceText(EmptyScore(), "250", "FALSE", std::string(10'000'000, '1'));
  form->LoadFromClipbrdAction->trigger();
  EXPECT_EQ(Joined(toolkit.log), "error:'" + std::string(60, '1') + "…' は整数ではありません.\n");
}

TEST_F(Form1Files, SavingThroughALinkKeepsTheLinkAndWritesItsTarget) {
  fs::create_directory(Path("real"));
  WriteFile("real/tune.ksq", "old");
  fs::create_symlink("real/tune.ksq", Path("link.ksq"));  // relative to the link's folder
  fs::create_symlink(Path("real/new.ksq"), Path("dangling.ksq"));
  EXPECT_EQ(SaveReport("link.ksq", {}), "saved");
  EXPECT_TRUE(fs::is_symlink(Path("link.ksq")));
  EXPECT_EQ(ReadFile("real/tune.ksq"), Saved());
  EXPECT_EQ(SaveReport("dangling.ksq", {}), "saved");
  EXPECT_TRUE(fs::is_symlink(Path("dangling.ksq")));
  EXPECT_EQ(ReadFile("real/new.ksq"), Saved());
  EXPECT_EQ(EntriesIn("real"), 2);  // no temporary file left
}

TEST_F(Form1Files, SavingKeepsHardLinksModeAndAWriteProtectedFileRefuses) {
  WriteFile("a.ksq", "old");
  fs::create_hard_link(Path("a.ksq"), Path("b.ksq"));
  ::chmod(Path("a.ksq").c_str(), 0640);
  const ino_t inode = Stat("a.ksq").st_ino;
  EXPECT_EQ(SaveReport("a.ksq", {}), "saved");
  EXPECT_EQ(ReadFile("b.ksq"), Saved());
  EXPECT_EQ(Stat("a.ksq").st_ino, inode);
  EXPECT_EQ(Stat("a.ksq").st_nlink, 2u);
  EXPECT_EQ(Stat("a.ksq").st_mode & 07777, 0640u);

  // As an ordinary user, a file that user may not write is refused as an overwrite would be.
  fs::create_directory(Path("own"));
  WriteFile("own/ro.ksq", "old");
  ::chmod(Path("own/ro.ksq").c_str(), 0444);
  GiveToChild("own");
  GiveToChild("own/ro.ksq");
  EXPECT_EQ(SaveReport("own/ro.ksq", kOrdinaryUser), CannotCreate(Path("own/ro.ksq")) + "modified");
  EXPECT_EQ(ReadFile("own/ro.ksq"), "old");
  EXPECT_EQ(EntriesIn("own"), 1);
}

TEST_F(Form1Files, AFolderThatRefusesNewFilesStillLetsAWritableFileBeSaved) {
  fs::create_directory(Path("locked"));
  WriteFile("locked/mine.ksq", std::string(9000, 'o'));  // longer than the new text
  GiveToChild("locked/mine.ksq");
  fs::permissions(Path("locked"), fs::perms(0555));
  const ino_t inode = Stat("locked/mine.ksq").st_ino;
  EXPECT_EQ(SaveReport("locked/mine.ksq", kOrdinaryUser), "saved");
  EXPECT_EQ(ReadFile("locked/mine.ksq"), Saved());  // cut to the new length
  EXPECT_EQ(Stat("locked/mine.ksq").st_ino, inode);
  // A new file there cannot be made.
  EXPECT_EQ(SaveReport("locked/new.ksq", kOrdinaryUser), CannotCreate(Path("locked/new.ksq")) + "modified");
  EXPECT_FALSE(fs::exists(Path("locked/new.ksq")));
  fs::permissions(Path("locked"), fs::perms(0755));
}

TEST_F(Form1Files, AnotherUsersFileKeepsItsOwner) {
  if (!RunningAsRoot()) GTEST_SKIP() << "giving a file to another user needs root, and there is no second user";
  // Root saving a user's file: the owner and group stay the user's.
  WriteFile("users.ksq", "old");
  GiveToChild("users.ksq");
  ::chmod(Path("users.ksq").c_str(), 0600);
  EXPECT_EQ(SaveReport("users.ksq", {}), "saved");
  EXPECT_EQ(Stat("users.ksq").st_uid, kOrdinaryUid);
  EXPECT_EQ(Stat("users.ksq").st_gid, kOrdinaryGid);
  EXPECT_EQ(Stat("users.ksq").st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile("users.ksq"), Saved());

  // A user saving root's shared file in the user's own folder: root stays the owner.
  fs::create_directory(Path("shared"));
  GiveToChild("shared");
  WriteFile("shared/roots.ksq", "old");
  ::chmod(Path("shared/roots.ksq").c_str(), 0666);
  EXPECT_EQ(SaveReport("shared/roots.ksq", kOrdinaryUser), "saved");
  EXPECT_EQ(Stat("shared/roots.ksq").st_uid, 0u);
  EXPECT_EQ(Stat("shared/roots.ksq").st_mode & 07777, 0666u);
  EXPECT_EQ(ReadFile("shared/roots.ksq"), Saved());
  EXPECT_EQ(EntriesIn("shared"), 1);
}

TEST_F(Form1Files, ANameNearTheFileSystemsLimitIsSaved) {
  const std::string name = std::string(251, 'n') + ".ksq";  // 255 bytes, the limit
  EXPECT_EQ(SaveReport(name, {}), "saved");
  EXPECT_EQ(ReadFile(name), Saved());
  EXPECT_EQ(SaveReport(name, {}), "saved");  // and over itself
  EXPECT_EQ(EntriesIn("."), 2);              // the file and waves/
}

TEST_F(Form1Files, AFullDiskLeavesTheOldFileWhole) {
  // The file size limit makes every write past 1000 bytes fail, as a full disk would.
  const ChildOptions full{.asOrdinaryUser = true, .fileSizeLimit = 1000};
  fs::create_directory(Path("own"));
  GiveToChild("own");
  WriteFile("own/tune.ksq", "old");
  GiveToChild("own/tune.ksq");
  EXPECT_EQ(SaveReport("own/tune.ksq", full), CannotCreate(Path("own/tune.ksq")) + "modified");
  EXPECT_EQ(ReadFile("own/tune.ksq"), "old");
  EXPECT_EQ(EntriesIn("own"), 1);

  // Written in place (a folder that refuses new files): the room is asked for before any byte.
  fs::create_directory(Path("locked"));
  WriteFile("locked/tune.ksq", "old");
  GiveToChild("locked/tune.ksq");
  fs::permissions(Path("locked"), fs::perms(0555));
  EXPECT_EQ(SaveReport("locked/tune.ksq", full), CannotCreate(Path("locked/tune.ksq")) + "modified");
  EXPECT_EQ(ReadFile("locked/tune.ksq"), "old");
  fs::permissions(Path("locked"), fs::perms(0755));
}

TEST_F(Form1Files, AFifoOrAFolderGivenAsTheSaveNameIsRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(Path("fifo.ksq").c_str(), 0600), 0);
  fs::create_directory(Path("dir.ksq"));
  for (const char* name : {"fifo.ksq", "dir.ksq"}) {
    EXPECT_EQ(SaveReport(name, {}), CannotCreate(Path(name)) + "modified") << name;
  }
}

class Form1OwnSamples : public Form1Test {
 protected:
  bool WithSamples() const override { return false; }
  void SetUp() override {
    Form1Test::SetUp();
    fs::copy(fs::path(KESTU_BUILD_DIR) / "waves", Path("waves"));
  }
  // A sample at 22050 Hz with other format tag, channels and bits, its data `bytes` long.
  void WriteWave(int n, std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, std::uint32_t bytes) const {
    WriteBytes(Path("waves/Sound" + std::to_string(n) + ".wav"), SilentWavBytes(tag, channels, 22050, bits, bytes));
  }
  // A second window started here and closed: what it wrote on standard error, and what it showed.
  static std::pair<std::string, std::vector<std::string>> StartAnother() {
    ScriptedToolkit second;
    OfflineOutput secondOutput;
    ::testing::internal::CaptureStderr();
    { TForm1 window(second, UseOutput(secondOutput)); }
    return {::testing::internal::GetCapturedStderr(), second.log};
  }
};

TEST_F(Form1OwnSamples, StartUpNamesTheSampleFilesThatFailed) {
  fs::remove(Path("waves/Sound3.wav"));
  WriteFile("waves/Sound5.wav", "hello");
  WriteWave(9, 3, 2, 32, 800);  // float: converted, plays
  const auto [err, shown] = StartAnother();
  EXPECT_EQ(err, "waves/Sound3.wavが、見つかりません\nwaves/Sound5.wavは、WAVEファイルではありません\n");
  EXPECT_EQ(shown, std::vector<std::string>{"error:サウンドファイルがありません。終了してください。"});
}

// A file in a format the program cannot use counts as a missing one: named on standard error, the
// start-up box, and the window opens.
TEST_F(Form1OwnSamples, ASampleThatCannotBeUsedIsReportedAsAMissingOne) {
  WriteWave(7, 1, 6, 16, 1200);
  WriteWave(8, 1, 3, 16, 1200);
  const auto [err, shown] = StartAnother();
  EXPECT_EQ(err, "waves/Sound7.wav：この形式のサウンドは使えません（形式 1、6チャンネル、16ビット、22050Hz）\n"
                 "waves/Sound8.wav：この形式のサウンドは使えません（形式 1、3チャンネル、16ビット、22050Hz）\n");
  EXPECT_EQ(shown, std::vector<std::string>{"error:サウンドファイルがありません。終了してください。"});
}

}  // namespace
}  // namespace kestu::test
