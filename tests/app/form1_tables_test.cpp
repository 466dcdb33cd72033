// The window's tables as the user meets them: hints, menus and their nesting, the Save button's
// drop-down, the bands' captions and order, the scroll and tempo bars, the disabled controls, the
// faces of the extra and undo buttons, and which events redraw the score view.
#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QToolBar>
#include <array>
#include <functional>

#include "form1_fixture.h"
#include "view/render_score.h"

namespace kestu::test {
namespace {

// --- hints ------------------------------------------------------------------------------------

struct Hint {
  const char* button;
  const char* hint;
};

class Hints : public Form1Test, public ::testing::WithParamInterface<Hint> {};

TEST_P(Hints, ShownOnHover) {
  auto* button = form->findChild<QToolButton*>(GetParam().button);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->toolTip().toStdString(), GetParam().hint);
}

INSTANTIATE_TEST_SUITE_P(ToolBar1, Hints,
                         ::testing::Values(Hint{"NewBtn", "新規作成"}, Hint{"OpenBtn", "データを開く"},
                                           Hint{"SaveBtn", "データ保存"}, Hint{"PasteBtn", "データ貼り付け"},
                                           Hint{"OptionBtn", ""}),
                         [](const auto& info) { return std::string(info.param.button); });

// --- menus ------------------------------------------------------------------------------------

std::string Outline(const QList<QAction*>& actions, int depth = 0) {
  std::string out;
  for (QAction* a : actions) {
    out += std::string(2 * depth, ' ');
    if (a->isSeparator()) {
      out += "---\n";
      continue;
    }
    out += a->text().toStdString();
    if (!a->isEnabled()) out += " [disabled]";
    if (a->isCheckable()) out += a->isChecked() ? " [checked]" : " [unchecked]";
    if (!a->shortcut().isEmpty()) out += " " + a->shortcut().toString().toStdString();
    out += "\n";
    if (a->menu() != nullptr) out += Outline(a->menu()->actions(), depth + 1);
  }
  return out;
}

TEST_F(Form1Test, MainMenuTextsAndNesting) {
  EXPECT_EQ(Outline(form->menuBar()->actions()),
            "ファイル(&F)\n"
            "  新規作成(&N)\n"
            "  開く(&O)\n"
            "  上書き保存(&S)\n"
            "  名前をつけて保存(&A)\n"
            "  ---\n"
            "  終了(&X)\n"
            "編集(&E)\n"
            "  元に戻す(&U) [disabled] Ctrl+Z\n"
            "  やり直し(&R) [disabled]\n"
            "  ---\n"
            "  クリップボードへデータ書き出し(&C)\n"
            "  クリップボードからデータ貼り付け(&P)\n"
            "  ---\n"
            "  Liteモード（再生アニメ無し） [unchecked]\n"
            "  オプション(&O) [disabled]\n"
            "ヘルプ(&H)\n"
            "  バージョン情報(&A)...\n"
            "    KestuSeq(Release6)\n"
            "  トラブルシューティング\n"
            "    テンポが速くならないの\n"
            "      メニューの、「編集（E）」をおして、\n"
            "        Liteモードにしてみてください。\n"
            "    これを起動しているとMIDIがおかしくなるの\n"
            "      このソフトを終了すれば。直ります。\n"
            "    音が出ないわ\n"
            "      わからんよ。\n"
            "  ---\n"
            "  おしゃれ占い\n"
            "    貴方はおしゃれですか？\n"
            "      はい。\n"
            "        ちがいます。\n"
            "      いいえ。\n"
            "        そのようですね。\n");
}

TEST_F(Form1Test, TheHelpTextsDoNothingWhenChosen) {
  std::function<void(QMenu*)> chooseAll = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->menu() != nullptr) chooseAll(a->menu());
      else if (!a->isSeparator()) a->trigger();
    }
  };
  chooseAll(form->menuBar()->actions().last()->menu());
  EXPECT_TRUE(toolkit.log.empty());
  EXPECT_FALSE(form->Document.Modified);
  EXPECT_EQ(form->Document.CurrentFileName, "無題");
}

TEST_F(Form1Test, SaveDropDownRunsSaveAndSaveAs) {
  EXPECT_EQ(form->SaveBtn->menu(), form->SaveBtnMenu);
  EXPECT_EQ(form->SaveBtn->popupMode(), QToolButton::MenuButtonPopup);
  EXPECT_EQ(Outline(form->SaveBtnMenu->actions()), "上書き保存(&S)\n名前をつけて保存(&A)\n");

  // Save on an untitled document and Save As both ask for a name; with a name, Save writes it.
  form->SaveBtnMenu->actions()[0]->trigger();
  form->SaveBtnMenu->actions()[1]->trigger();
  EXPECT_EQ(toolkit.log, (std::vector<std::string>{"save:無題", "save:無題"}));
  form->Document.CurrentFileName = Path("named.ksq");
  form->SaveBtnMenu->actions()[0]->trigger();
  EXPECT_TRUE(fs::exists(Path("named.ksq")));
  form->SaveBtnMenu->actions()[1]->trigger();
  EXPECT_EQ(toolkit.log.back(), "save:" + Path("named.ksq"));
}

// --- the bands --------------------------------------------------------------------------------

struct Band {
  const char* name;
  const char* caption;
  bool floatable;
  std::vector<const char*> order;  // its controls, left to right
};

class Bands : public Form1Shown, public ::testing::WithParamInterface<Band> {};

TEST_P(Bands, CaptionFloatingAndOrder) {
  const Band& b = GetParam();
  auto* bar = form->findChild<QToolBar*>(b.name);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->windowTitle().toStdString(), b.caption);
  EXPECT_EQ(bar->isFloatable(), b.floatable);
  EXPECT_TRUE(bar->isMovable());
  EXPECT_EQ(bar->orientation(), Qt::Horizontal);
  EXPECT_EQ(bar->iconSize(), QSize(16, 16));
  int lastX = -1;
  for (const char* name : b.order) {
    auto* w = bar->findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_GT(w->x(), lastX) << name << " out of order";
    lastX = w->x();
    if (auto* button = qobject_cast<QToolButton*>(w)) {
      EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly) << name << ": no captions shown";
      EXPECT_TRUE(button->autoRaise()) << name << " is flat";
    }
  }
}

const std::vector<const char*> kPaletteNames = {
    "SoundBtn1", "SoundBtn2", "SoundBtn3",  "SoundBtn4",  "SoundBtn5",  "SoundBtn6",  "SoundBtn7",  "SoundBtn8",
    "SoundBtn9", "SoundBtn10", "SoundBtn11", "SoundBtn12", "SoundBtn13", "SoundBtn14", "SoundBtn15", "SoundBtn16"};

INSTANTIATE_TEST_SUITE_P(
    ControlBars, Bands,
    ::testing::Values(
        Band{"ToolBar1", "ToolBar1", false, {"NewBtn", "OpenBtn", "SaveBtn", "PasteBtn", "OptionBtn"}},
        Band{"SoundsBar", "SoundsPallete", true, kPaletteNames},
        Band{"etcBar", "etcBar", true,
             {"EraserBtn", "TimeBtn34", "TimeBtn44", "etcBtn1", "etcBtn2", "etcBtn3", "UndoBtn"}},
        Band{"PlayerBar", "PlayerBar", true, {"PlayBtn", "StopBtn", "LoopBtn", "TempoBar"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form1Test, ThePaletteIsOneGroupWithExactlyOneDown) {
  for (int n = 1; n <= 16; ++n) {
    Click(form->PaletteButtons[n]);
    int down = 0;
    for (int m = 1; m <= 16; ++m) down += form->PaletteButtons[m]->isChecked();
    EXPECT_EQ(down, 1);
    EXPECT_TRUE(form->PaletteButtons[n]->isChecked());
    EXPECT_EQ(Face(form->PaletteButtons[n]), n - 1);
  }
}

// --- the scroll and tempo bars ----------------------------------------------------------------

TEST_F(Form1Test, ScrollBarRangeAndSteps) {
  QScrollBar* bar = form->ScrollBar;
  EXPECT_EQ(bar->orientation(), Qt::Horizontal);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 30435);
  EXPECT_EQ(bar->singleStep(), 10);
  EXPECT_EQ(bar->pageStep(), 20);
  EXPECT_EQ(bar->value(), 0);
  struct Step {
    QAbstractSlider::SliderAction action;
    int from, to;
  };
  for (const Step& s : {Step{QAbstractSlider::SliderSingleStepAdd, 0, 10},
                        Step{QAbstractSlider::SliderPageStepAdd, 10, 30},
                        Step{QAbstractSlider::SliderSingleStepSub, 5, 0},
                        Step{QAbstractSlider::SliderPageStepAdd, 30430, 30435},
                        Step{QAbstractSlider::SliderToMaximum, 0, 30435}}) {
    bar->setValue(s.from);
    bar->triggerAction(s.action);
    EXPECT_EQ(bar->value(), s.to) << "from " << s.from;
  }
  bar->setValue(40000);
  EXPECT_EQ(bar->value(), 30435);  // clamped
}

TEST_F(Form1Test, TempoBarRangeAndThumb) {
  QSlider* bar = form->TempoBar;
  EXPECT_EQ(bar->minimum(), 100);
  EXPECT_EQ(bar->maximum(), 1500);
  EXPECT_EQ(bar->value(), 250);
  EXPECT_EQ(bar->tickPosition(), QSlider::NoTicks);
  EXPECT_EQ(bar->size(), QSize(120, 22));
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = Qt::Horizontal;
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = bar->value();
  option.subControls = QStyle::SC_SliderHandle | QStyle::SC_SliderGroove;
  const QRect thumb = bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar);
  EXPECT_EQ(thumb.width(), 17);
  bar->setValue(50);
  EXPECT_EQ(bar->value(), 100);
  bar->setValue(2000);
  EXPECT_EQ(bar->value(), 1500);
}

// --- disabled controls and their faces --------------------------------------------------------

class Disabled : public Form1Test, public ::testing::WithParamInterface<const char*> {};

TEST_P(Disabled, AtStart) {
  QObject* o = form->findChild<QObject*>(GetParam());
  ASSERT_NE(o, nullptr);
  if (auto* w = qobject_cast<QWidget*>(o)) {
    EXPECT_FALSE(w->isEnabled());
  } else if (auto* a = qobject_cast<QAction*>(o)) {
    EXPECT_FALSE(a->isEnabled());
  } else {
    ADD_FAILURE() << "neither a control nor a menu entry";
  }
}

INSTANTIATE_TEST_SUITE_P(Controls, Disabled,
                         ::testing::Values("OptionBtn", "etcBtn1", "etcBtn2", "etcBtn3", "UndoBtn", "Undo1",
                                           "Redo1", "Option1"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(Form1Test, DisabledControlsIgnoreTheMouse) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  for (QToolButton* b : {form->etcBtn1, form->UndoBtn}) {
    const int face = Face(b);
    QTest::mousePress(b, Qt::LeftButton);
    EXPECT_EQ(Face(b), face);
    QTest::mouseRelease(b, Qt::LeftButton);
    EXPECT_FALSE(b->isChecked());
  }
}

struct ExtraCase {
  const char* name;
  int clicked;                 // 1..3: which handler runs
  std::array<bool, 3> before;  // down states before the click (the clicked one already toggled)
  std::array<bool, 3> down;    // afterwards
  std::array<int, 3> faces;    // afterwards
};

class ExtraButtons : public Form1Test, public ::testing::WithParamInterface<ExtraCase> {};

TEST_P(ExtraButtons, ActAsASetByFaces) {
  const ExtraCase& c = GetParam();
  QToolButton* buttons[] = {form->etcBtn1, form->etcBtn2, form->etcBtn3};
  for (int i = 0; i < 3; ++i) buttons[i]->setChecked(c.before[i]);
  const std::array handlers = {&TForm1::etcBtn1Click, &TForm1::etcBtn2Click, &TForm1::etcBtn3Click};
  std::invoke(handlers[c.clicked - 1], *form);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(buttons[i]->isChecked(), c.down[i]) << "etcBtn" << i + 1;
    EXPECT_EQ(Face(buttons[i]), c.faces[i]) << "etcBtn" << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, ExtraButtons,
    ::testing::Values(ExtraCase{"OneDown", 1, {true, true, true}, {true, false, false}, {7, 8, 10}},
                      ExtraCase{"OneUp", 1, {false, true, false}, {false, true, false}, {6, 8, 10}},
                      ExtraCase{"TwoDown", 2, {true, true, true}, {false, true, false}, {6, 9, 10}},
                      ExtraCase{"TwoUp", 2, {false, false, true}, {false, false, true}, {6, 8, 10}},
                      ExtraCase{"ThreeDown", 3, {true, true, true}, {false, false, true}, {6, 8, 11}},
                      ExtraCase{"ThreeUp", 3, {true, false, false}, {true, false, false}, {6, 8, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form1Test, UndoButtonShowsItsPressedFaceWhileHeld) {
  EXPECT_EQ(Face(form->UndoBtn), 12);
  form->UndoBtnMouseDown();
  EXPECT_EQ(Face(form->UndoBtn), 13);
  form->UndoBtnMouseUp();
  EXPECT_EQ(Face(form->UndoBtn), 12);
  EXPECT_FALSE(form->Document.Modified);
}

// --- which events redraw the score view -------------------------------------------------------

// What the view shows after an event: unchanged, a plain redraw, one with the hover ghost at the
// pointer, or a playback tick's (drawn before the tick moved on to the next step).
enum class Drawn { Nothing, Plain, Ghost, Tick };

struct RedrawCase {
  const char* name;
  std::function<void(TForm1&, Form1Test&)> event;  // the fixture gives its folder and toolkit
  Drawn drawn;
};

QImage Expected(TForm1& form, int x, int y, int tool, int stepsBack = 0) {
  return view::RenderScore(form.Document, {.scroll = form.ScrollBar->value(), .playing = form.Playback.Playing,
                                           .playStep = form.Playback.PlayStep - stepsBack, .x = x, .y = y,
                                           .tool = tool, .viewSize = form.MainImage_->size()});
}

class Redraws : public Form1Shown, public ::testing::WithParamInterface<RedrawCase> {};

TEST_P(Redraws, OnlyWhereTheTableSays) {
  // A picture that no redraw would give: the view shows it until something redraws.
  QImage stale(form->MainImage_->size(), QImage::Format_RGB32);
  stale.fill(Qt::magenta);
  form->MainImage_->SetPicture(stale);
  GetParam().event(*form, *this);
  const QImage shown = form->MainImage_->Picture();
  switch (GetParam().drawn) {
    case Drawn::Nothing: EXPECT_EQ(shown, stale); break;
    case Drawn::Plain: EXPECT_EQ(shown, Expected(*form, -1, -1, -1)); break;
    case Drawn::Ghost: EXPECT_EQ(shown, Expected(*form, 200, 90, form->Document.CurrentTool)); break;
    case Drawn::Tick:
      EXPECT_EQ(shown, Expected(*form, -1, -1, -1, 1));
      EXPECT_NE(shown, Expected(*form, -1, -1, -1));
      break;
  }
}

void Play(TForm1& f) { Form1Test::Click(f.PlayBtn); }
// Play, then the window's own timers until the first tick has been heard and shown.
void PlayFirstTick(TForm1& f) {
  Play(f);
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.Playback.PlayStep > 1; }, 2000));
}

INSTANTIATE_TEST_SUITE_P(
    Events, Redraws,
    ::testing::Values(
        RedrawCase{"Resize", [](TForm1& f, auto&) { f.resize(f.width() + 30, f.height() + 10); }, Drawn::Plain},
        RedrawCase{"ScrollByUser",
                   [](TForm1& f, auto&) { f.ScrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd); },
                   Drawn::Plain},
        RedrawCase{"ScrollToTheSamePlace", [](TForm1& f, auto&) { f.ScrollBar->setValue(0); }, Drawn::Nothing},
        RedrawCase{"TimeBtn34", [](TForm1& f, auto&) { Form1Test::Click(f.TimeBtn34); }, Drawn::Plain},
        RedrawCase{"TimeBtn44AlreadyDown", [](TForm1& f, auto&) { Form1Test::Click(f.TimeBtn44); }, Drawn::Plain},
        RedrawCase{"LoopBtn", [](TForm1& f, auto&) { Form1Test::Click(f.LoopBtn); }, Drawn::Plain},
        RedrawCase{"PointerMove", [](TForm1& f, auto&) { QTest::mouseMove(f.MainImage_, QPoint(200, 90)); },
                   Drawn::Ghost},
        RedrawCase{"PointerMoveWhilePlaying",
                   [](TForm1& f, auto&) {
                     Play(f);
                     QTest::mouseMove(f.MainImage_, QPoint(200, 90));
                   },
                   Drawn::Nothing},
        RedrawCase{"Tick", [](TForm1& f, auto&) { PlayFirstTick(f); }, Drawn::Tick},
        RedrawCase{"TickInLightMode",
                   [](TForm1& f, auto&) {
                     f.Lite1->trigger();
                     PlayFirstTick(f);
                   },
                   Drawn::Nothing},
        RedrawCase{"New", [](TForm1& f, auto&) { f.NewAction->trigger(); }, Drawn::Plain},
        RedrawCase{"OpenCancelled", [](TForm1& f, auto&) { f.OpenAction->trigger(); }, Drawn::Plain},
        RedrawCase{"Open",
                   [](TForm1& f, Form1Test& t) {
                     t.WriteFile("o.ksq", SequenceText(ScoreStartingWith("0015")));
                     t.toolkit.openAnswers = {t.Path("o.ksq")};
                     f.OpenAction->trigger();
                   },
                   Drawn::Plain},
        RedrawCase{"Paste",
                   [](TForm1& f, Form1Test& t) {
                     t.toolkit.clipboardHasText = true;
                     t.toolkit.clipboard = SequenceText(ScoreStartingWith("0015"));
                     f.LoadFromClipbrdAction->trigger();
                   },
                   Drawn::Plain},
        RedrawCase{"Drop",
                   [](TForm1& f, Form1Test& t) {
                     t.WriteFile("d.ksq", SequenceText(ScoreStartingWith("0015")));
                     f.DropFiles({t.Path("d.ksq")});
                   },
                   Drawn::Plain},
        RedrawCase{"PasteWithoutText", [](TForm1& f, auto&) { f.LoadFromClipbrdAction->trigger(); }, Drawn::Nothing},
        RedrawCase{"EditingPress",
                   [](TForm1& f, auto&) { QTest::mouseClick(f.MainImage_, Qt::LeftButton, {}, QPoint(82, 104)); },
                   Drawn::Nothing},
        RedrawCase{"ChoosingATool", [](TForm1& f, auto&) { Form1Test::Click(f.PaletteButtons[3]); }, Drawn::Nothing},
        RedrawCase{"Eraser", [](TForm1& f, auto&) { Form1Test::Click(f.EraserBtn); }, Drawn::Nothing},
        RedrawCase{"PlayAndStop",
                   [](TForm1& f, auto&) {
                     Play(f);
                     Form1Test::Click(f.StopBtn);
                   },
                   Drawn::Nothing},
        RedrawCase{"Tempo", [](TForm1& f, auto&) { f.TempoBar->setValue(600); }, Drawn::Nothing},
        RedrawCase{"Copy", [](TForm1& f, auto&) { f.SaveToClipbrdAction->trigger(); }, Drawn::Nothing},
        RedrawCase{"SaveAs",
                   [](TForm1& f, Form1Test& t) {
                     t.toolkit.saveAnswers = {t.Path("s")};
                     f.SaveAsAction->trigger();
                   },
                   Drawn::Nothing},
        RedrawCase{"LightMode", [](TForm1& f, auto&) { f.Lite1->trigger(); }, Drawn::Nothing}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestu::test
