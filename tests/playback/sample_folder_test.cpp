// Where the samples are found: the current folder's waves/ first, then beside the program, then the
// installed data folder; a folder is taken whole.
#include "playback/sample_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "playback/sample_bank.h"
#include "tests/support/scratch_folder.h"

namespace kestu::test {
namespace {

namespace fs = std::filesystem;

TEST(SampleFolder, CandidatesAreTheCurrentFolderThenTheProgramsThenItsInstalledData) {
  const std::vector<std::string> candidates = SampleFolderCandidates();
  const std::string bin = ExecutableFolder();
  ASSERT_FALSE(bin.empty());
  EXPECT_EQ(fs::canonical("/proc/self/exe").parent_path().string(), bin);
  EXPECT_EQ(InstalledDataFolder(), (fs::path(bin).parent_path() / "share/kestu-sequencer").string());
  EXPECT_EQ(candidates, (std::vector<std::string>{"", bin, InstalledDataFolder()}));
}

TEST(SampleFolder, FilePathsKeepThePlainNameInTheCurrentFolder) {
  EXPECT_EQ(SampleBank::FilePath("", 1), "waves/Sound1.wav");
  EXPECT_EQ(SampleBank::FilePath("/opt/k", 29), "/opt/k/waves/Sound29.wav");
  EXPECT_EQ(SampleBank::FilePath("/opt/k/", 7), "/opt/k/waves/Sound7.wav");
}

class ChooseSampleFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    for (const char* f : {"cwd", "bin", "data"}) fs::create_directories(root_ / f);
    fs::current_path(root_ / "cwd");
  }
  void TearDown() override { fs::current_path(previous_); }
  // Gives `folder` (relative to the test's root) a waves/ folder holding sample n, or none at all.
  void Holds(const std::string& folder, int n) {
    fs::create_directories(root_ / folder / "waves");
    if (n > 0) std::ofstream(root_ / folder / SampleBank::FileName(n)) << "RIFF";
  }
  std::string Chosen() {
    return ChooseSampleFolder({"", (root_ / "bin").string(), (root_ / "data").string()});
  }
  std::string At(const std::string& folder) { return (root_ / folder).string(); }

  ScratchFolder scratch_{"sample-folder"};
  const fs::path root_ = scratch_.Path();
  fs::path previous_;
};

TEST_F(ChooseSampleFolderTest, TheFirstFolderHoldingAnySampleWins) {
  EXPECT_EQ(Chosen(), "") << "none anywhere: the current folder, where the files are reported missing";
  Holds("data", 1);
  EXPECT_EQ(Chosen(), At("data"));
  Holds("bin", 29);
  EXPECT_EQ(Chosen(), At("bin"));
  Holds("cwd", 0);
  EXPECT_EQ(Chosen(), At("bin")) << "an empty waves/ holds no sample";
  fs::create_directories(root_ / "cwd" / SampleBank::FileName(3));
  EXPECT_EQ(Chosen(), At("bin")) << "a folder named like a sample is no sample";
  Holds("cwd", 17);
  EXPECT_EQ(Chosen(), "") << "the current folder's own set, even with files missing";
}

}  // namespace
}  // namespace kestu::test
