// kestu-cli snapshot: the picture it writes is the plain view of the file's score.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "commands.h"
#include "score/sequence_text.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/text_files.h"
#include "view/render_score.h"

namespace kestu::test {
using namespace view;
namespace {

class Snapshot : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::string WriteScore(const ScoreDocument& doc, const std::string& name) {
    WriteText(Path(name), WriteSequenceText(doc));
    return Path(name);
  }
  QImage Picture(const std::string& name) const {
    return QImage(QString::fromStdString(Path(name))).convertToFormat(QImage::Format_RGB32);
  }
  ScratchFolder folder_{"snapshot"};
};

TEST_F(Snapshot, WritesThePlainViewAtTheGivenScrollOffset) {
  ScoreDocument doc;
  doc.PlaceNote(3, 40, 2);
  doc.PlaceNote(12, 41, 9);
  doc.MoveEndMark(44);
  doc.SetLoop(true);
  doc.SetTime44(false);
  const std::string score = WriteScore(doc, "a.ksq");
  for (int scroll : {0, 1000, 30435}) {
    const std::string out = "a" + std::to_string(scroll) + ".png";
    ASSERT_EQ(cli::Snapshot({score, Path(out), "--scroll", std::to_string(scroll)}), 0);
    EXPECT_EQ(Picture(out), RenderScore(doc, {.scroll = scroll})) << scroll;
  }
  ASSERT_EQ(cli::Snapshot({score, Path("default.png")}), 0);
  EXPECT_EQ(Picture("default.png"), RenderScore(doc, ScoreViewInputs{}));
}

TEST_F(Snapshot, RefusesWrongArguments) {
  ScoreDocument doc;
  const std::string score = WriteScore(doc, "b.ksq");
  const std::string out = Path("b.png");
  for (const cli::Args& args : {cli::Args{}, cli::Args{score}, cli::Args{score, out, "--scroll"},
                                cli::Args{score, out, "--scroll", "-1"}, cli::Args{score, out, "--scroll", "30436"},
                                cli::Args{score, out, "--scroll", "12x"}, cli::Args{score, out, "--zoom", "2"}}) {
    EXPECT_EQ(cli::Snapshot(args), 2) << args.size();
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(Snapshot, ReportsAFileItCouldNotReadOrWrite) {
  ScoreDocument doc;
  const std::string score = WriteScore(doc, "c.ksq");
  EXPECT_EQ(cli::Snapshot({score, Path("no/such/folder/c.png")}), 1);
  // A missing score: the message, and the picture of the new document the program would show.
  EXPECT_EQ(cli::Snapshot({Path("missing.ksq"), Path("m.png")}), 1);
  EXPECT_EQ(Picture("m.png"), RenderScore(ScoreDocument{}, ScoreViewInputs{}));
}

}  // namespace
}  // namespace kestu::test
