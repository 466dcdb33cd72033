// The window as assistive technology reads it: a Japanese name for every control (the toolbar
// buttons show only pictures) and what the score view shows. The roles are given where the
// controls are made (accessibility.h).
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <array>

#include "app/accessibility.h"
#include "app/control_bar.h"
#include "app/form1.h"

namespace kestu {

namespace {

// The palette's tools by tool number: the instruments our samples play, then the end mark.
constexpr std::array<const char*, 17> kToolNames{
    "",         "ピアノ",   "オルゴール", "バスドラム", "トランペット", "フルート",   "ギター",
    "スネアドラム", "ハイハット", "ベース",     "マリンバ",   "ボヨヨン",     "オルガン", "ストリングス",
    "コーラス", "ピコピコ", "終了マーク"};

void Describe(QWidget* w, const char* name, const char* description = nullptr) {
  w->setAccessibleName(QString::fromUtf8(name));
  if (description != nullptr) w->setAccessibleDescription(QString::fromUtf8(description));
}

}  // namespace

const char* TForm1::ToolName(int tool) {
  if (tool == kEraserTool) return "消しゴム";
  return tool >= 1 && tool <= 16 ? kToolNames[static_cast<std::size_t>(tool)] : "";
}

void TForm1::DescribeControls() {
  Describe(menuBar(), "メニュー");
  auto* client = static_cast<QScrollArea*>(centralWidget());
  Describe(client, kApplicationTitle);
  Describe(client->viewport(), kApplicationTitle);
  Describe(client->widget(), kApplicationTitle);
  Describe(ControlBar1, "上のツールバー");
  Describe(ControlBar2, "下のツールバー");
  Describe(ToolBar1, "ファイル");
  Describe(SoundsBar, "楽器パレット", "音符を置く楽器か終了マークを選びます");
  Describe(etcBar, "消しゴムと拍子");
  Describe(PlayerBar, "再生");

  Describe(NewBtn, "新規作成");
  Describe(OpenBtn, "データを開く");
  Describe(SaveBtn, "データ保存", "矢印で「上書き保存」と「名前をつけて保存」を選べます");
  Describe(PasteBtn, "データ貼り付け");
  Describe(OptionBtn, "オプション");

  for (int n = 1; n <= 16; ++n) {
    QToolButton* button = findChild<QToolButton*>(QString("SoundBtn%1").arg(n));
    Describe(button, ToolName(n), n == 16 ? "曲の終わりの位置を置く道具" : "この楽器の音符を置く道具");
  }
  Describe(EraserBtn, ToolName(kEraserTool), "音符を消す道具");
  Describe(TimeBtn34, "4分の3拍子", "小節線を3拍ごとに引きます");
  Describe(TimeBtn44, "4分の4拍子", "小節線を4拍ごとに引きます");
  Describe(etcBtn1, "拡張ボタン1", "使えません");
  Describe(etcBtn2, "拡張ボタン2", "使えません");
  Describe(etcBtn3, "拡張ボタン3", "使えません");
  Describe(UndoBtn, "元に戻す", "使えません");
  Describe(PlayBtn, "再生");
  Describe(StopBtn, "停止");
  Describe(LoopBtn, "ループ再生", "終了マークで曲の始めに戻ります");
  Describe(TempoBar, "テンポ", "再生の速さ（100から1500、右ほど速い）");
  Describe(ScrollBar, "楽譜のスクロール");
  Describe(MainImage_, "楽譜",
           "五線の楽譜。13段の音の高さ（上ほど高い）と960列。置いた音符、終了マーク、小節線と"
           "小節番号、ループの印、再生中は走る人形を表示します。クリックすると選んだ道具を使います");
}

}  // namespace kestu
