// The window's composition as the user meets it: where every control sits, the bands' rows and how
// they move, float and dock back, the scroll and tempo bars, the window's frame hints and its first
// position.
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionMenuItem>
#include <QToolBar>

#include "app/band_tool_bar.h"
#include "app/control_bar.h"
#include "app/window_placement.h"
#include "form1_fixture.h"

namespace kestu::test {
namespace {

struct Placed {
  const char* name;
  QRect rect;
  const char* controlBar = nullptr;  // where a band's button is measured
};

class ClientLayout : public Form1Shown, public ::testing::WithParamInterface<Placed> {};

TEST_P(ClientLayout, ControlSitsWhereItBelongs) {
  QWidget* w = Named(GetParam().name);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(InClient(w), GetParam().rect);
}

INSTANTIATE_TEST_SUITE_P(Window, ClientLayout,
                         ::testing::Values(Placed{"ControlBar1", {0, 0, 385, 56}},
                                           Placed{"MainImage", {0, 56, 385, 144}},
                                           Placed{"ScrollBar", {0, 200, 385, 15}},
                                           Placed{"ControlBar2", {0, 215, 385, 56}}),
                         [](const auto& info) { return std::string(info.param.name); });

// The bands' buttons in their control bar: the first 11 pixels in, rows at 2 and 28, buttons 23
// apart, the Save button 36 with its arrow, separators 8.
class BandLayout : public Form1Shown, public ::testing::WithParamInterface<Placed> {};

TEST_P(BandLayout, ButtonSitsInItsRow) {
  QWidget* w = Named(GetParam().name);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(InBar(w, Named(GetParam().controlBar)), GetParam().rect);
}

INSTANTIATE_TEST_SUITE_P(
    Bands, BandLayout,
    ::testing::Values(Placed{"NewBtn", {11, 2, 23, 22}, "ControlBar1"},
                      Placed{"OpenBtn", {34, 2, 23, 22}, "ControlBar1"},
                      Placed{"SaveBtn", {57, 2, 36, 22}, "ControlBar1"},
                      Placed{"PasteBtn", {101, 2, 23, 22}, "ControlBar1"},
                      Placed{"OptionBtn", {132, 2, 23, 22}, "ControlBar1"},
                      Placed{"SoundBtn1", {11, 28, 23, 22}, "ControlBar1"},
                      Placed{"SoundBtn2", {34, 28, 23, 22}, "ControlBar1"},
                      Placed{"SoundBtn16", {356, 28, 23, 22}, "ControlBar1"},
                      Placed{"EraserBtn", {11, 2, 23, 22}, "ControlBar2"},
                      Placed{"TimeBtn34", {42, 2, 23, 22}, "ControlBar2"},
                      Placed{"TimeBtn44", {65, 2, 23, 22}, "ControlBar2"},
                      Placed{"etcBtn1", {96, 2, 23, 22}, "ControlBar2"},
                      Placed{"etcBtn2", {119, 2, 23, 22}, "ControlBar2"},
                      Placed{"etcBtn3", {142, 2, 23, 22}, "ControlBar2"},
                      Placed{"UndoBtn", {173, 2, 23, 22}, "ControlBar2"},
                      Placed{"PlayBtn", {11, 28, 23, 22}, "ControlBar2"},
                      Placed{"StopBtn", {34, 28, 23, 22}, "ControlBar2"},
                      Placed{"LoopBtn", {65, 28, 23, 22}, "ControlBar2"},
                      Placed{"TempoBar", {96, 28, 120, 22}, "ControlBar2"}),
    [](const auto& info) { return std::string(info.param.name); });

// Drags a band from `grab` (its own coordinates) to a point on the screen, as a held button moving
// in steps; `settle` lets the bar lay its bands out again after each step.
void DragTo(QToolBar* band, QPoint grab, QPoint target, bool settle) {
  const QPoint start = band->mapToGlobal(grab);
  QTest::mousePress(band, Qt::LeftButton, {}, grab);
  for (int step = 1; step <= 10; ++step) {
    const QPoint global = start + (target - start) * step / 10;
    QMouseEvent move(QEvent::MouseMove, band->mapFromGlobal(global), global, Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(band, &move);
    if (settle) QApplication::processEvents();
  }
  QMouseEvent release(QEvent::MouseButtonRelease, band->mapFromGlobal(target), target,
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(band, &release);
  QApplication::processEvents();
}

QPoint Grip(QToolBar* band) { return {5, band->height() / 2}; }
void DragGripTo(QToolBar* band, QPoint target) { DragTo(band, Grip(band), target, true); }
void DragGrip(QToolBar* band, QPoint by) { DragGripTo(band, band->mapToGlobal(Grip(band)) + by); }
// A floating band moved by its title.
void DragTitleTo(BandToolBar* band, QPoint target) {
  DragTo(band, band->Title()->geometry().center(), target, false);
}

class BandSlides : public Form1Shown, public ::testing::WithParamInterface<const char*> {};

TEST_P(BandSlides, AlongItsRowAndBack) {
  auto* band = form->findChild<QToolBar*>(GetParam());
  ASSERT_NE(band, nullptr);
  const QPoint home = band->pos();
  DragGrip(band, QPoint(40, 0));
  EXPECT_EQ(band->pos(), home + QPoint(40, 0));
  DragGrip(band, QPoint(-25, 0));
  EXPECT_EQ(band->pos(), home + QPoint(15, 0));
  DragGrip(band, QPoint(-100, 0));  // no further than the bar's edge
  EXPECT_EQ(band->pos(), home);
  EXPECT_FALSE(band->isFloating());
}

INSTANTIATE_TEST_SUITE_P(Bands, BandSlides,
                         ::testing::Values("ToolBar1", "SoundsBar", "etcBar", "PlayerBar"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(Form1Shown, ThePaletteFloatsAsOneRowAndDocksBackWithoutMovingTheView) {
  const QRect view = InClient(form->MainImage_);
  DragGrip(form->SoundsBar, QPoint(30, 120));
  ASSERT_TRUE(form->SoundsBar->isFloating());
  EXPECT_EQ(form->SoundsBar->orientation(), Qt::Horizontal);
  EXPECT_EQ(form->SoundsBar->windowTitle().toStdString(), "SoundsPallete");
  EXPECT_LE(form->SoundsBar->height(), 30) << "one row";
  EXPECT_GE(form->SoundsBar->width(), 16 * 23);
  EXPECT_EQ(form->ControlBar1->height(), 56);
  EXPECT_EQ(InClient(form->MainImage_), view);
  EXPECT_EQ(InClient(form->ScrollBar).top(), 200);

  DragGripTo(form->SoundsBar, form->ControlBar1->mapToGlobal(QPoint(20, 39)));
  ASSERT_FALSE(form->SoundsBar->isFloating());
  EXPECT_EQ(form->SoundsBar->parentWidget(), form->ControlBar1);
  EXPECT_EQ(form->SoundsBar->orientation(), Qt::Horizontal);
  EXPECT_EQ(InBar(form->PaletteButtons[1], form->ControlBar1).top(), 28);
  EXPECT_EQ(form->ControlBar1->height(), 56);
  EXPECT_EQ(InClient(form->MainImage_), view);
  Click(form->PaletteButtons[4]);  // the buttons still work
  EXPECT_EQ(form->Document.CurrentTool, 4);
}

TEST_F(Form1Shown, TheFloatingPaletteShowsItsCaptionAndIsMovedByIt) {
  auto* band = static_cast<BandToolBar*>(form->SoundsBar);
  EXPECT_FALSE(band->Title()->isVisible()) << "a title in the bar";
  DragGrip(band, QPoint(30, 160));
  ASSERT_TRUE(band->isFloating());
  QApplication::processEvents();
  ASSERT_TRUE(band->Title()->isVisible());
  EXPECT_EQ(band->Title()->text().toStdString(), "SoundsPallete");
  const QRect title = band->Title()->geometry();
  const QImage shown = band->grab().toImage();
  const QColor strip = band->palette().color(QPalette::Highlight);
  const QColor text = band->palette().color(QPalette::HighlightedText);
  int stripPixels = 0, textPixels = 0;
  for (int y = title.top(); y <= title.bottom(); ++y) {
    for (int x = title.left(); x <= title.right(); ++x) {
      const QColor c = shown.pixelColor(x, y);
      stripPixels += c == strip;
      textPixels += c == text;
    }
  }
  EXPECT_GT(stripPixels, title.width() * title.height() / 2) << "no title strip";
  EXPECT_GT(textPixels, 30) << "no caption";
  // One row: the title, then every button, all working.
  EXPECT_LE(band->height(), 30);
  EXPECT_GT(form->PaletteButtons[1]->mapTo(band, QPoint(0, 0)).x(), title.right());
  EXPECT_LE(form->PaletteButtons[16]->mapTo(band, QPoint(0, 0)).x() + 23, band->width());
  Click(form->PaletteButtons[6]);
  EXPECT_EQ(form->Document.CurrentTool, 6);

  // Moved by its title far away, it stays a window there.
  const QPoint before = band->pos();
  DragTitleTo(band, band->mapToGlobal(title.center()) + QPoint(150, 90));
  EXPECT_TRUE(band->isFloating());
  EXPECT_EQ(band->pos(), before + QPoint(150, 90));
  // Let go over its bar, it docks back into its row, the title gone.
  DragTitleTo(band, form->ControlBar1->mapToGlobal(QPoint(40, 40)));
  ASSERT_FALSE(band->isFloating());
  EXPECT_EQ(band->parentWidget(), form->ControlBar1);
  EXPECT_FALSE(band->Title()->isVisible());
  EXPECT_EQ(InBar(form->PaletteButtons[1], form->ControlBar1), QRect(11, 28, 23, 22));
}

TEST_F(Form1Shown, ALongDragOfTheFloatingPaletteReleasedOverItsBarDocksIt) {
  DragGrip(form->SoundsBar, QPoint(30, 160));
  ASSERT_TRUE(form->SoundsBar->isFloating());
  // By the grip, out and around, and back over the bar.
  DragGripTo(form->SoundsBar, form->SoundsBar->mapToGlobal(QPoint(5, 20)) + QPoint(300, 200));
  DragGripTo(form->SoundsBar, form->ControlBar1->mapToGlobal(QPoint(30, 40)));
  ASSERT_FALSE(form->SoundsBar->isFloating());
  EXPECT_EQ(form->SoundsBar->parentWidget(), form->ControlBar1);
  EXPECT_EQ(InBar(form->PaletteButtons[1], form->ControlBar1).top(), 28);
}

// The light-mode entry shows its check mark while on and nothing, not an empty box, while off.
TEST_F(Form1Shown, TheLightModeEntryShowsAMarkOnlyWhileOn) {
  auto* edit = form->findChild<QMenu*>("Edit1");
  ASSERT_NE(edit, nullptr);
  const auto entry = [&](bool markable) {
    QStyleOptionMenuItem option;
    option.initFrom(edit);
    option.rect = edit->actionGeometry(form->Lite1);
    option.rect.moveTo(0, 0);
    option.text = form->Lite1->text();
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.checkType = markable ? QStyleOptionMenuItem::NonExclusive : QStyleOptionMenuItem::NotCheckable;
    option.checked = form->Lite1->isChecked();
    option.menuHasCheckableItems = true;
    option.maxIconWidth = 16;
    QImage image(option.rect.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    edit->style()->drawControl(QStyle::CE_MenuItem, &option, &painter, edit);
    return image;
  };
  ASSERT_FALSE(form->Lite1->isChecked());
  EXPECT_EQ(entry(true), entry(false)) << "something is drawn for the mark while off";
  form->Lite1->trigger();
  ASSERT_TRUE(form->Lite1->isChecked());
  EXPECT_NE(entry(true), entry(false)) << "no mark while on";
}

// --- no toolkit menus -------------------------------------------------------------------------

// A right-click on `name`: whatever pop-up menu it opens is noted and closed.
class RightClick : public Form1Shown, public ::testing::WithParamInterface<const char*> {};

TEST_P(RightClick, OpensNoMenu) {
  QWidget* w = Named(GetParam());
  ASSERT_NE(w, nullptr);
  QString opened;
  QTimer::singleShot(100, [&] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      opened = popup->metaObject()->className();
      popup->close();
    }
  });
  const QPoint at(w->width() / 2, w->height() / 2);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
  QApplication::sendEvent(w, &event);
  QTest::qWait(150);
  EXPECT_TRUE(opened.isEmpty()) << "a " << opened.toStdString() << " opened";
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  for (QToolBar* band : {form->ToolBar1, form->SoundsBar, form->etcBar, form->PlayerBar}) {
    EXPECT_TRUE(band->isVisible()) << band->objectName().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Window, RightClick,
                         ::testing::Values("ScrollBar", "ToolBar1", "SoundsBar", "etcBar", "PlayerBar",
                                           "ControlBar1", "ControlBar2", "MainMenu1", "TempoBar",
                                           "SoundBtn3", "PlayBtn", "MainImage"),
                         [](const auto& info) { return std::string(info.param); });

// --- the frame and the first position ---------------------------------------------------------

TEST_F(Form1Shown, TheBorderIsResizableWithoutMaximize) {
  const Qt::WindowFlags flags = form->windowFlags();
  for (Qt::WindowType hint : {Qt::WindowTitleHint, Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint,
                              Qt::WindowCloseButtonHint}) {
    EXPECT_TRUE(flags.testFlag(hint)) << hint;
  }
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(form->size(), QSize(385, 271 + form->menuBar()->height()));
  // Smaller than its first size, as an ordinary window may be made, and larger.
  EXPECT_LT(form->minimumWidth(), 385);
  EXPECT_LT(form->minimumHeight(), 271);
  EXPECT_GT(form->maximumWidth(), 2000);
  form->resize(300, 200);
  EXPECT_EQ(form->size(), QSize(300, 200));
  form->resize(600, 500);
  EXPECT_EQ(form->size(), QSize(600, 500));
  EXPECT_EQ(InClient(form->MainImage_).topLeft(), QPoint(0, 56));  // anchored to the left edge
  EXPECT_EQ(InClient(form->ControlBar2).bottom(), 500 - form->menuBar()->height() - 1);

  // A window manager that maximizes all the same gets the window back.
  form->setWindowState(Qt::WindowMaximized);
  QTest::qWait(50);
  EXPECT_FALSE(form->windowState().testFlag(Qt::WindowMaximized));
}

struct PlacementCase {
  const char* name;
  QRect available;
  QSize frame;
  QRect wanted;
};

class FirstFrame : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(FirstFrame, KeepsTheWholeFrameOnTheScreen) {
  EXPECT_EQ(FirstFrameGeometry(GetParam().available, GetParam().frame), GetParam().wanted);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FirstFrame,
    ::testing::Values(PlacementCase{"Large", {0, 0, 1920, 1080}, {393, 325}, {497, 588, 393, 325}},
                      PlacementCase{"JustFits", {0, 0, 890, 913}, {393, 325}, {497, 588, 393, 325}},
                      PlacementCase{"Short", {0, 0, 1024, 768}, {393, 325}, {497, 443, 393, 325}},
                      PlacementCase{"Small", {0, 0, 1024, 600}, {387, 314}, {497, 286, 387, 314}},
                      PlacementCase{"PanelAbove", {0, 30, 1024, 570}, {387, 314}, {497, 286, 387, 314}},
                      PlacementCase{"Narrow", {0, 0, 800, 600}, {393, 325}, {407, 275, 393, 325}},
                      PlacementCase{"SecondScreen", {1920, 0, 1280, 1024}, {393, 325}, {1920, 588, 393, 325}},
                      PlacementCase{"ScaledTwiceOnSmall", {0, 0, 1024, 600}, {772, 603}, {252, 0, 772, 600}},
                      PlacementCase{"Tiny", {0, 0, 320, 240}, {393, 325}, {0, 0, 320, 240}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestu::test
