#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "score/errors.h"
#include "score/sequence_text.h"
#include "score/text_file.h"
#include "tests/support/process.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/thrown.h"

namespace kestu::test {
namespace {

namespace fs = std::filesystem;

class SaveTest : public ::testing::Test {
 protected:
  // A case that fails while the folder is read-only leaves it so.
  void TearDown() override { fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  long Entries() const { return std::distance(fs::directory_iterator(dir_), fs::directory_iterator()); }
  ScratchFolder folder_{"save"};
  const fs::path& dir_ = folder_.Path();
};

TEST_F(SaveTest, AppendsTheExtensionUnlessTheNameHoldsItAnywhere) {
  // The name given and the file written.
  const std::pair<const char*, const char*> cases[] = {
      {"tune", "tune.ksq"},
      {"tune.KSQ", "tune.KSQ.ksq"},
      {"tune.ksq", "tune.ksq"},
      {"my.ksq.old", "my.ksq.old"},
  };
  for (const auto& [given, written] : cases) {
    ScoreDocument doc;
    doc.CurrentFileName = Path(given);
    doc.Modified = true;
    SaveToCurrentFile(doc);
    EXPECT_EQ(doc.CurrentFileName, Path(written));
    EXPECT_FALSE(doc.Modified);
    EXPECT_EQ(ReadTextFile(Path(written)), WriteSequenceText(doc));
  }
}

TEST_F(SaveTest, FailedWriteKeepsTheOldFileAndModified) {
  ScoreDocument old;
  old.CurrentFileName = Path("keep.ksq");
  SaveToCurrentFile(old);
  const std::string before = ReadTextFile(Path("keep.ksq"));

  // A protected file in a protected folder, saved by an ordinary user (root drops to one).
  fs::permissions(dir_, fs::perms(0555));
  ::chmod(Path("keep.ksq").c_str(), 0444);
  const std::optional<std::string> report = RunInChild(
      [&] {
        ScoreDocument doc;
        doc.PlaceNote(1, 1, 1);
        doc.CurrentFileName = Path("keep");
        const std::string message = ThrownMessage<EFCreateError>([&doc] { SaveToCurrentFile(doc); });
        return message + "|" + doc.CurrentFileName + "|" + (doc.Modified ? "modified" : "saved");
      },
      {.asOrdinaryUser = true});
  fs::permissions(dir_, fs::perms(0755));
  EXPECT_EQ(report, "ファイル " + Path("keep.ksq") + " を作成できません|" + Path("keep.ksq") + "|modified");
  EXPECT_EQ(ReadTextFile(Path("keep.ksq")), before);
}

TEST_F(SaveTest, WriteCutOffHalfWayLeavesTheOldFileWhole) {
  // A file size limit makes the write fail part of the way through, as a full disk would.
  const std::string path = Path("tune.ksq");
  const std::string old(100, 'o');
  { std::ofstream(path) << old; }
  ScoreDocument doc;
  doc.PlaceNote(1, 1, 1);
  doc.CurrentFileName = path;

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    SaveToCurrentFile(doc);
  } catch (const EFCreateError&) {
    threw = true;
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_TRUE(threw);
  EXPECT_TRUE(doc.Modified);
  EXPECT_EQ(ReadTextFile(path), old);
  EXPECT_EQ(Entries(), 1);  // no temporary file left behind
}

TEST_F(SaveTest, NameThatIsAFolderCannotBeCreated) {
  fs::create_directories(dir_ / "sub.ksq");
  ScoreDocument doc;
  doc.CurrentFileName = Path("sub.ksq");
  doc.Modified = true;
  EXPECT_THROW(SaveToCurrentFile(doc), EFCreateError);
  EXPECT_TRUE(doc.Modified);
}

TEST_F(SaveTest, ReplacingKeepsPermissionsAndLeavesNoTemporaryFile) {
  const std::string path = Path("perm.ksq");
  { std::ofstream(path) << "old"; }
  ::chmod(path.c_str(), 0640);
  WriteTextFileReplacing(path, "new");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadTextFile(path), "new");
  EXPECT_EQ(Entries(), 1);
}

TEST_F(SaveTest, MissingFileCannotBeOpened) {
  EXPECT_EQ(ThrownMessage<EFOpenError>([this] { ReadTextFile(Path("none.ksq")); }),
            "ファイル " + Path("none.ksq") + " は開けません");
}

TEST_F(SaveTest, ReadingStopsAtTheSizeLimit) {
  // A file of so many bytes, and whether it is read.
  const std::pair<size_t, bool> cases[] = {{0, true}, {kMaxTextFileBytes, true}, {kMaxTextFileBytes + 1, false}};
  for (const auto& [bytes, reads] : cases) {
    { std::ofstream(Path("sized.ksq"), std::ios::binary) << std::string(bytes, 'x'); }
    if (reads) {
      EXPECT_EQ(ReadTextFile(Path("sized.ksq")).size(), bytes);
    } else {
      EXPECT_THROW(ReadTextFile(Path("sized.ksq")), EFOpenError) << bytes;
    }
  }
}

}  // namespace
}  // namespace kestu::test
