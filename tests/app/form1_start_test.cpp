// The window at start, the palette, the switches and the sample check.
#include <QAction>
#include <QScrollBar>
#include <QSlider>

#include "form1_fixture.h"

namespace kestu::test {
namespace {

TEST_F(Form1Test, StartState) {
  EXPECT_EQ(form->windowTitle().toStdString(), "KestuSequencer");
  EXPECT_TRUE(form->PaletteButtons[1]->isChecked());
  EXPECT_EQ(form->Document.CurrentTool, 1);
  EXPECT_FALSE(form->EraserBtn->isChecked());
  EXPECT_EQ(Face(form->EraserBtn), 0);
  EXPECT_TRUE(form->TimeBtn44->isChecked());
  EXPECT_EQ(Face(form->TimeBtn34), 2);
  EXPECT_EQ(Face(form->TimeBtn44), 5);
  EXPECT_FALSE(form->LoopBtn->isChecked());
  EXPECT_EQ(Face(form->LoopBtn), 4);
  EXPECT_TRUE(form->StopBtn->isChecked());
  EXPECT_EQ(Face(form->PlayBtn), 0);
  EXPECT_EQ(Face(form->StopBtn), 3);
  EXPECT_EQ(form->TempoBar->value(), 250);
  EXPECT_EQ(form->Timer->interval(), 120);
  EXPECT_FALSE(form->Timer->isActive());
  EXPECT_FALSE(form->Document.Modified);
  EXPECT_EQ(form->Document.CurrentFileName, "無題");
  EXPECT_EQ(form->ScrollBar->maximum(), 30435);
  EXPECT_TRUE(toolkit.log.empty());  // every sample loaded
  EXPECT_FALSE(form->Lite1->isChecked());
  for (QAction* disabled : {form->Undo1, form->Redo1, form->Option1}) EXPECT_FALSE(disabled->isEnabled());
}

TEST_F(Form1Test, PaletteSelectsAndPreviewsEvenTheButtonAlreadyDown) {
  Click(form->PaletteButtons[5]);
  EXPECT_EQ(form->Document.CurrentTool, 5);
  TDDSDChannel* preview = form->DDSD1->GetChannel(0);
  EXPECT_EQ(preview->WaveData(), form->Samples.Sample(5));
  Click(form->PaletteButtons[16]);
  EXPECT_EQ(form->Document.CurrentTool, 16);
  EXPECT_EQ(preview->WaveData(), form->Samples.Sample(16));
  preview->setWaveData(nullptr);
  Click(form->PaletteButtons[16]);
  EXPECT_EQ(preview->WaveData(), form->Samples.Sample(16));
  EXPECT_FALSE(form->Document.Modified);
}

TEST_F(Form1Test, EraserTogglesBetweenItselfAndToolOne) {
  Click(form->PaletteButtons[7]);
  form->DDSD1->GetChannel(0)->setWaveData(nullptr);
  Click(form->EraserBtn);
  EXPECT_EQ(form->Document.CurrentTool, 17);
  EXPECT_EQ(Face(form->EraserBtn), 1);
  for (int n = 1; n <= 16; ++n) EXPECT_FALSE(form->PaletteButtons[n]->isChecked()) << n;
  EXPECT_EQ(form->DDSD1->GetChannel(0)->WaveData(), nullptr);  // nothing sounds

  Click(form->EraserBtn);
  EXPECT_EQ(form->Document.CurrentTool, 1);  // not 7
  EXPECT_TRUE(form->PaletteButtons[1]->isChecked());
  EXPECT_EQ(Face(form->EraserBtn), 0);
  EXPECT_EQ(form->DDSD1->GetChannel(0)->WaveData(), nullptr);

  Click(form->EraserBtn);
  Click(form->PaletteButtons[3]);
  EXPECT_EQ(form->Document.CurrentTool, 3);
  EXPECT_FALSE(form->EraserBtn->isChecked());
  EXPECT_EQ(Face(form->EraserBtn), 0);
}

TEST_F(Form1Test, TimeSignatureAndLoopFacesAndModified) {
  Click(form->TimeBtn34);
  EXPECT_FALSE(form->Document.Time44());
  EXPECT_EQ(Face(form->TimeBtn34), 3);
  EXPECT_EQ(Face(form->TimeBtn44), 4);
  EXPECT_TRUE(form->Document.Modified);

  form->Document.Modified = false;
  Click(form->TimeBtn44);
  form->Document.Modified = false;
  Click(form->TimeBtn44);  // already down
  EXPECT_TRUE(form->Document.Modified);
  EXPECT_EQ(Face(form->TimeBtn34), 2);
  EXPECT_EQ(Face(form->TimeBtn44), 5);

  form->Document.Modified = false;
  Click(form->LoopBtn);
  EXPECT_TRUE(form->Document.Loop());
  EXPECT_EQ(Face(form->LoopBtn), 5);
  EXPECT_TRUE(form->Document.Modified);
  Click(form->LoopBtn);
  EXPECT_EQ(Face(form->LoopBtn), 4);
  EXPECT_FALSE(form->Document.Loop());
}

TEST_F(Form1Test, LightModeIsNotPartOfTheDocument) {
  form->Lite1->trigger();
  EXPECT_TRUE(form->Lite1->isChecked());
  EXPECT_FALSE(form->Document.Modified);
  form->NewActionExecute();
  toolkit.clipboardHasText = true;
  toolkit.clipboard = SequenceText(EmptyScore());
  form->LoadFromClipbrdActionExecute();
  EXPECT_TRUE(form->Lite1->isChecked());
  form->Lite1->trigger();
  EXPECT_FALSE(form->Lite1->isChecked());
}

TEST_F(Form1Test, TempoBarMovesTheTimerAndModifies) {
  form->TempoBar->setValue(700);
  EXPECT_EQ(form->Document.Tempo(), 700);
  EXPECT_EQ(form->Timer->interval(), 42);
  EXPECT_TRUE(form->Document.Modified);
}

TEST_F(Form1Test, PressOnTheScoreEditsAndSoundsButDrawsOnlyAtTheNextMove) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  const QImage before = form->MainImage_->Picture();
  QTest::mouseClick(form->MainImage_, Qt::RightButton, {}, QPoint(82, 104));
  EXPECT_EQ(form->Document.Cell(9, 1), 0);
  EXPECT_EQ(form->DDSD1->GetChannel(0)->WaveData(), nullptr);

  QTest::mouseClick(form->MainImage_, Qt::LeftButton, {}, QPoint(82, 104));
  EXPECT_EQ(form->Document.Cell(9, 1), 1);
  EXPECT_TRUE(form->Document.Modified);
  TDDSDChannel* preview = form->DDSD1->GetChannel(0);
  EXPECT_EQ(preview->WaveData(), form->Samples.Sample(1));
  EXPECT_EQ(preview->Buffer()->Frequency(), preview->BaseFrequency());  // row 9: its own rate
  EXPECT_EQ(form->MainImage_->Picture(), before);

  QTest::mouseMove(form->MainImage_, QPoint(300, 10));
  EXPECT_NE(form->MainImage_->Picture(), before);
  // Row 5 of instrument 1 sounds its high-register sample.
  QTest::mouseClick(form->MainImage_, Qt::LeftButton, {}, QPoint(114, 72));
  EXPECT_EQ(preview->WaveData(), form->Samples.Sample(21));
}

class Form1WithoutSamples : public Form1Test {
 protected:
  bool WithSamples() const override { return false; }
};

TEST_F(Form1WithoutSamples, MissingSampleFilesAreReportedOnceAndStaySilent) {
  EXPECT_EQ(toolkit.log, std::vector<std::string>{"error:サウンドファイルがありません。終了してください。"});
  Click(form->PaletteButtons[2]);  // attaching a sample without sound data neither halts nor sounds
  EXPECT_EQ(form->DDSD1->GetChannel(0)->Buffer(), nullptr);
}

TEST_F(Form1WithoutSamples, WithoutASoundDeviceThereIsNothingToReport) {
  ScriptedToolkit quiet;
  TForm1 silent(quiet, NoOutput());
  EXPECT_FALSE(silent.DDSD1->DeviceOpen());
  EXPECT_TRUE(quiet.log.empty());
  Click(silent.PaletteButtons[4]);  // every sound call is a no-op
  EXPECT_EQ(silent.Document.CurrentTool, 4);
}

}  // namespace
}  // namespace kestu::test
