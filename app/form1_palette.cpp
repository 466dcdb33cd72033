// The tool palette, the eraser, the time signature, loop and light-mode switches, and the
// disabled extra buttons.
#include <QAction>
#include <QButtonGroup>
#include <QToolButton>

#include "app/form1.h"
#include "assets/images.h"

namespace kestu {

void TForm1::SoundBtn1Click() {
  for (int n = 1; n <= 16; ++n) {
    if (PaletteButtons[n]->isChecked()) Document.CurrentTool = n;
  }
  PreviewTool(Document.CurrentTool);
  EraserBtn->setChecked(false);
  SetFace(EraserBtn, assets::etcImages(), 0);
}

void TForm1::EraserBtnClick() {
  if (EraserBtn->isChecked()) {
    SetFace(EraserBtn, assets::etcImages(), 1);
    Document.CurrentTool = kEraserTool;
    // An exclusive group cannot be emptied while it is exclusive.
    QButtonGroup* group = PaletteButtons[1]->group();
    group->setExclusive(false);
    for (int n = 1; n <= 16; ++n) PaletteButtons[n]->setChecked(false);
    group->setExclusive(true);
  } else {
    SetFace(EraserBtn, assets::etcImages(), 0);
    PaletteButtons[1]->setChecked(true);
    Document.CurrentTool = 1;
  }
}

void TForm1::TimeBtn34Click() {
  SetFace(TimeBtn34, assets::etcImages(), 3);
  SetFace(TimeBtn44, assets::etcImages(), 4);
  Document.SetTime44(TimeBtn44->isChecked());
  Document.Modified = true;
  RenderScore(-1, -1, -1);
}

void TForm1::TimeBtn44Click() {
  SetFace(TimeBtn34, assets::etcImages(), 2);
  SetFace(TimeBtn44, assets::etcImages(), 5);
  Document.SetTime44(TimeBtn44->isChecked());
  Document.Modified = true;
  RenderScore(-1, -1, -1);
}

void TForm1::LoopBtnClick() {
  SetFace(LoopBtn, assets::PlayerImages(), LoopBtn->isChecked() ? 5 : 4);
  Document.SetLoop(LoopBtn->isChecked());
  Document.Modified = true;
  RenderScore(-1, -1, -1);
}

void TForm1::Lite1Click() { Lite1->setChecked(!Lite1->isChecked()); }

void TForm1::UndoBtnMouseDown() { SetFace(UndoBtn, assets::etcImages(), 13); }

void TForm1::UndoBtnMouseUp() { SetFace(UndoBtn, assets::etcImages(), 12); }

void TForm1::etcBtn1Click() {
  if (etcBtn1->isChecked()) {
    SetFace(etcBtn1, assets::etcImages(), 7);
    etcBtn2->setChecked(false);
    SetFace(etcBtn2, assets::etcImages(), 8);
    etcBtn3->setChecked(false);
    SetFace(etcBtn3, assets::etcImages(), 10);
  } else {
    SetFace(etcBtn1, assets::etcImages(), 6);
  }
}

void TForm1::etcBtn2Click() {
  if (etcBtn2->isChecked()) {
    SetFace(etcBtn2, assets::etcImages(), 9);
    etcBtn1->setChecked(false);
    SetFace(etcBtn1, assets::etcImages(), 6);
    etcBtn3->setChecked(false);
    SetFace(etcBtn3, assets::etcImages(), 10);
  } else {
    SetFace(etcBtn2, assets::etcImages(), 8);
  }
}

void TForm1::etcBtn3Click() {
  if (etcBtn3->isChecked()) {
    SetFace(etcBtn3, assets::etcImages(), 11);
    etcBtn2->setChecked(false);
    SetFace(etcBtn2, assets::etcImages(), 8);
    etcBtn1->setChecked(false);
    SetFace(etcBtn1, assets::etcImages(), 6);
  } else {
    SetFace(etcBtn3, assets::etcImages(), 10);
  }
}

// The loop and time-signature buttons show what the document holds, without their click handlers:
// a reader sets them from code.
void TForm1::ShowSwitches() {
  LoopBtn->setChecked(Document.Loop());
  SetFace(LoopBtn, assets::PlayerImages(), Document.Loop() ? 5 : 4);
  if (Document.Time44()) {
    TimeBtn44->setChecked(true);
    SetFace(TimeBtn44, assets::etcImages(), 5);
    SetFace(TimeBtn34, assets::etcImages(), 2);
  } else {
    TimeBtn34->setChecked(true);
    SetFace(TimeBtn44, assets::etcImages(), 4);
    SetFace(TimeBtn34, assets::etcImages(), 3);
  }
}

}  // namespace kestu
