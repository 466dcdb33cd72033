// The document commands through the window, with the toolkit's answers scripted.
#include "form1_fixture.h"
#include "score/sequence_text.h"

namespace kestu::test {
namespace {

const char* kQuestion = "confirm:変更あり。保存しとく？";

// Yes to the question, then a folder's name to save to and Yes to replacing it: a failing save.
void AnswerYesThenSaveOntoAFolder(Form1Test& t) {
  fs::create_directory(t.Path("dir.ksq"));
  t.toolkit.confirmAnswers = {true};
  t.toolkit.saveAnswers = {t.Path("dir.ksq")};
  t.toolkit.overwriteAnswers = {true};
}

TEST_F(Form1Test, ConfirmYesSavesThroughTheDialogThenGoesOn) {
  form->Document.PlaceNote(3, 1, 2);
  toolkit.confirmAnswers = {true};
  toolkit.saveAnswers = {Path("kept")};
  form->NewActionExecute();
  EXPECT_EQ(toolkit.log, (std::vector<std::string>{kQuestion, "save:無題"}));
  EXPECT_EQ(ReadFile("kept.ksq").substr(0, 10), "SCORE=0032");
  EXPECT_EQ(form->Document.Cell(3, 1), 0);  // New went on
  EXPECT_EQ(form->Document.CurrentFileName, "無題");
}

TEST_F(Form1Test, ConfirmYesWithTheDialogCancelledDiscards) {
  form->Document.PlaceNote(3, 1, 2);
  form->Document.CurrentFileName = Path("named.ksq");
  toolkit.confirmAnswers = {true};
  form->NewActionExecute();
  // Yes always shows the dialog, also for a document with a name.
  EXPECT_EQ(toolkit.log, (std::vector<std::string>{kQuestion, "save:" + Path("named.ksq")}));
  EXPECT_FALSE(fs::exists(Path("named.ksq")));
  EXPECT_EQ(form->Document.Cell(3, 1), 0);
}

TEST_F(Form1Test, ConfirmNoGoesOnWithoutSaving) {
  form->Document.PlaceNote(3, 1, 2);
  form->NewActionExecute();
  EXPECT_EQ(toolkit.log, std::vector<std::string>{kQuestion});
  EXPECT_FALSE(form->Document.Modified);
}

TEST_F(Form1Test, FailedSaveInsideTheQuestionStopsTheCommand) {
  form->Document.PlaceNote(3, 1, 2);
  AnswerYesThenSaveOntoAFolder(*this);
  form->NewAction->trigger();
  ASSERT_EQ(toolkit.log.size(), 4u);
  EXPECT_EQ(toolkit.log[3], "error:ファイル " + Path("dir.ksq") + " を作成できません.");
  EXPECT_EQ(form->Document.Cell(3, 1), 2);  // not replaced
  EXPECT_TRUE(form->Document.Modified);
}

TEST_F(Form1Test, SaveAsAppendsTheExtensionAndAsksAboutThatName) {
  WriteFile("tune.ksq", "old");
  toolkit.saveAnswers = {Path("tune"), Path("other")};
  toolkit.overwriteAnswers = {false};
  form->Document.Modified = true;
  form->SaveAsActionExecute();
  EXPECT_EQ(toolkit.log, (std::vector<std::string>{"save:無題", "overwrite:" + Path("tune.ksq"),
                                                    "save:無題"}));
  EXPECT_EQ(ReadFile("tune.ksq"), "old");
  EXPECT_EQ(form->Document.CurrentFileName, Path("other.ksq"));
  EXPECT_EQ(ReadFile("other.ksq"), WriteSequenceText(form->Document));
  EXPECT_FALSE(form->Document.Modified);

  // Save now writes to the same file without a dialog.
  toolkit.log.clear();
  form->Document.PlaceNote(1, 1, 1);
  form->SaveActionExecute();
  EXPECT_TRUE(toolkit.log.empty());
  EXPECT_EQ(ReadFile("other.ksq"), WriteSequenceText(form->Document));
}

TEST_F(Form1Test, SaveOnANewDocumentOpensTheDialogAndCancelLeavesModified) {
  form->Document.Modified = true;
  form->SaveActionExecute();
  EXPECT_EQ(toolkit.log, std::vector<std::string>{"save:無題"});
  EXPECT_TRUE(form->Document.Modified);
}

TEST_F(Form1Test, OpenReadsTheFileAndTakesItsName) {
  WriteFile("a.ksq", SequenceText(ScoreStartingWith("0015"), "300", "TRUE", "50", "FALSE"));
  toolkit.openAnswers = {Path("a.ksq")};
  form->OpenActionExecute();
  EXPECT_EQ(form->Document.Cell(1, 1), 5);
  EXPECT_EQ(form->Document.Tempo(), 300);
  EXPECT_EQ(form->Timer->interval(), 100);
  EXPECT_TRUE(form->LoopBtn->isChecked());
  EXPECT_EQ(Face(form->LoopBtn), 5);
  EXPECT_TRUE(form->TimeBtn34->isChecked());
  EXPECT_EQ(Face(form->TimeBtn34), 3);
  EXPECT_EQ(Face(form->TimeBtn44), 4);
  EXPECT_EQ(form->Document.EndColumn(), 50);
  EXPECT_EQ(form->Document.CurrentFileName, Path("a.ksq"));
  EXPECT_FALSE(form->Document.Modified);
}

TEST_F(Form1Test, OpenWithBadDataGivesANewDocument) {
  WriteFile("bad.ksq", SequenceText(ScoreStartingWith("1a0"), "300", "TRUE"));
  toolkit.openAnswers = {Path("bad.ksq")};
  form->OpenActionExecute();
  EXPECT_EQ(toolkit.log, (std::vector<std::string>{"open:", "message:データが不正です"}));
  EXPECT_EQ(form->Document.CurrentFileName, "無題");
  EXPECT_EQ(form->Document.Tempo(), 250);
  EXPECT_TRUE(form->Document.Loop());
  EXPECT_FALSE(form->Document.Modified);
}

TEST_F(Form1Test, OpenWithABadNumberKeepsTheOldName) {
  form->Document.CurrentFileName = Path("mine.ksq");
  form->Document.PlaceNote(2, 2, 2);
  form->Document.Modified = false;
  WriteFile("broken.ksq", SequenceText(EmptyScore(), "700", "TRUE", "x"));
  toolkit.openAnswers = {Path("broken.ksq")};
  form->OpenAction->trigger();
  EXPECT_EQ(toolkit.log.back(), "error:'x' は整数ではありません.");
  EXPECT_EQ(form->Document.CurrentFileName, Path("mine.ksq"));
  EXPECT_EQ(form->Document.Cell(2, 2), 2);
  EXPECT_EQ(form->Document.Tempo(), 700);
}

TEST_F(Form1Test, OpenAMissingFileChangesNothing) {
  toolkit.openAnswers = {Path("none.ksq")};
  form->OpenAction->trigger();
  EXPECT_EQ(toolkit.log.back(), "error:ファイル " + Path("none.ksq") + " は開けません.");
  EXPECT_EQ(form->Document.CurrentFileName, "無題");
}

TEST_F(Form1Test, OpenCancelledStillStopsPlayback) {
  form->PlayBtn->click();
  ASSERT_TRUE(form->Timer->isActive());
  form->OpenActionExecute();
  EXPECT_FALSE(form->Timer->isActive());
  EXPECT_TRUE(form->StopBtn->isChecked());
  EXPECT_EQ(Face(form->StopBtn), 3);
}

TEST_F(Form1Test, CopyClearsModifiedAndPasteWithoutTextDoesNothing) {
  form->Document.PlaceNote(1, 1, 9);
  form->SaveToClipbrdActionExecute();
  EXPECT_FALSE(form->Document.Modified);
  EXPECT_EQ(toolkit.clipboard, WriteSequenceText(form->Document));

  toolkit.clipboardHasText = false;
  form->Document.Modified = true;
  form->Document.CurrentFileName = "x.ksq";
  toolkit.confirmAnswers = {false};
  form->LoadFromClipbrdActionExecute();
  EXPECT_TRUE(form->Document.Modified);
  EXPECT_EQ(form->Document.CurrentFileName, "x.ksq");
  EXPECT_EQ(form->Document.Cell(1, 1), 9);
}

TEST_F(Form1Test, PasteReadsTheClipboardUntitled) {
  toolkit.clipboardHasText = true;
  toolkit.clipboard = SequenceText(ScoreStartingWith("0015"));
  form->Document.CurrentFileName = "x.ksq";
  form->LoadFromClipbrdActionExecute();
  EXPECT_EQ(form->Document.Cell(1, 5), 0);
  EXPECT_EQ(form->Document.Cell(1, 1), 5);
  EXPECT_EQ(form->Document.CurrentFileName, "無題");
  EXPECT_FALSE(form->Document.Modified);
}

TEST_F(Form1Test, DropLoadsThroughTheClipboardAndTakesTheWholePath) {
  // A path well over 255 characters, in folders of legal name lengths.
  std::string longName;
  for (int i = 0; i < 4; ++i) longName += std::string(90, char('a' + i)) + "/";
  fs::create_directories(Path(longName));
  longName += "tune.ksq";
  WriteFile(longName, SequenceText(ScoreStartingWith("0015"), "500"));
  form->Document.PlaceNote(2, 2, 2);
  form->DropFiles({Path(longName), Path("ignored.ksq")});
  EXPECT_EQ(toolkit.log, std::vector<std::string>{kQuestion});
  EXPECT_EQ(toolkit.clipboard, ReadFile(longName));
  EXPECT_EQ(form->Document.Cell(1, 1), 5);
  EXPECT_EQ(form->Document.Tempo(), 500);
  EXPECT_EQ(form->Document.CurrentFileName, Path(longName));
  EXPECT_FALSE(form->Document.Modified);
}

TEST_F(Form1Test, AFileDroppedOnTheWindowArrivesAsItsUrl) {
  WriteFile("dropped.ksq", SequenceText(ScoreStartingWith("0015")));
  ASSERT_TRUE(DropOnWindow(Path("dropped.ksq")));
  EXPECT_EQ(form->Document.Cell(1, 1), 5);
  EXPECT_EQ(form->Document.CurrentFileName, Path("dropped.ksq"));
}

TEST_F(Form1Test, DroppedBadDataStaysUntitled) {
  WriteFile("bad.ksq", SequenceText("nonsense"));
  form->DropFiles({Path("bad.ksq")});
  EXPECT_EQ(toolkit.log, std::vector<std::string>{"message:データが不正です"});
  EXPECT_EQ(form->Document.CurrentFileName, "無題");
}

TEST_F(Form1Test, ClosingAsksOnlyWhenModifiedAndAFailedSaveKeepsTheWindow) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->Document.PlaceNote(1, 1, 1);
  AnswerYesThenSaveOntoAFolder(*this);
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());

  toolkit.log.clear();
  EXPECT_TRUE(form->close());  // No: closes without saving
  EXPECT_EQ(toolkit.log, std::vector<std::string>{kQuestion});

  form->show();
  form->Document.Modified = false;
  toolkit.log.clear();
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(toolkit.log.empty());
}

}  // namespace
}  // namespace kestu::test
