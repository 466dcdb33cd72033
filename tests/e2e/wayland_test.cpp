// The window on Wayland (weston, headless, on a small output), in this process through the
// toolkit's Wayland platform: it is made small enough for the output and scrolls its client area so
// that every control stays within reach, it is never placed by coordinates, and its bands stay in
// their bars (they cannot be placed there as floating windows, nor docked back). Skips, saying why,
// where weston or the toolkit's Wayland platform is missing.
#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QToolBar>
#include <QWindow>
#include <cstdlib>

#include "assets/images.h"
#include "tests/app/form1_fixture.h"
#include "tests/e2e/screen.h"
#include "tests/support/private_wayland.h"

namespace kestu::test {
namespace {

constexpr int kOutputWidth = 480;
constexpr int kOutputHeight = 320;
std::string skipReason;  // why the tests cannot run here, empty when they can
PrivateWayland* compositor = nullptr;

class OnWayland : public Form1Test {
 protected:
  void SetUp() override {
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    Form1Test::SetUp();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), 10000));
    QTest::qWait(500);  // the compositor's configure and the fit that follows
  }
  QScrollArea* Client() const { return static_cast<QScrollArea*>(form->centralWidget()); }
};

TEST_F(OnWayland, TheWindowFitsASmallOutputAndEveryControlIsWithinReach) {
  ASSERT_EQ(QGuiApplication::platformName().toStdString().rfind("wayland", 0), 0u);
  const QSize output = form->screen()->geometry().size();
  EXPECT_EQ(output, QSize(kOutputWidth, kOutputHeight));
  const auto frame = [&] { return form->windowHandle()->frameGeometry(); };
  EXPECT_TRUE(test::WaitFor([&] { return frame().height() <= kOutputHeight - 40; }, std::chrono::seconds(4)))
      << frame().height() << ": no room left for the shell's panel";
  EXPECT_GT(form->windowHandle()->frameMargins().top(), 0) << "no title bar";
  EXPECT_LE(frame().width(), kOutputWidth);
  EXPECT_EQ(form->windowTitle().toStdString(), "KestuSequencer");

  for (QWidget* control : std::vector<QWidget*>{form->PlayBtn, form->StopBtn, form->LoopBtn, form->TempoBar,
                                                form->EraserBtn, form->PaletteButtons[16], form->NewBtn}) {
    Client()->ensureWidgetVisible(control, 0, 0);
    QApplication::processEvents();
    const QRect shown = control->visibleRegion().boundingRect();
    EXPECT_EQ(shown.size(), control->size()) << control->objectName().toStdString() << " cannot be reached";
  }
  Client()->ensureWidgetVisible(form->PlayBtn, 0, 0);
  QApplication::processEvents();
  QTest::qWait(300);
  const std::string shot = KESTU_BUILD_DIR "/tests/wayland-small-output.png";  // kept to look at
  // What the user sees: the transport's faces on the output. The compositor may still show an
  // earlier frame on a busy machine, so look again for a while before calling them missing.
  bool shotTaken = false;
  const auto transportShown = [&] {
    if (!compositor->Screenshot(shot)) return false;
    shotTaken = true;
    const QImage screen(QString::fromStdString(shot));
    return test::Find(screen, assets::PlayerImages()[0]) && test::Find(screen, assets::PlayerImages()[3]);
  };
  const bool shown = QTest::qWaitFor(transportShown, 5000);  // the window goes on drawing meanwhile
  if (shotTaken) {
    EXPECT_TRUE(shown) << "no play or stop button on " << shot;
  }
}

TEST_F(OnWayland, TheBandsStayInTheirBars) {
  for (QToolBar* band : {form->SoundsBar, form->etcBar, form->PlayerBar}) {
    EXPECT_FALSE(band->isFloatable()) << band->objectName().toStdString();
    const QPoint grip(5, band->height() / 2);
    QTest::mousePress(band, Qt::LeftButton, {}, grip);
    for (int step = 1; step <= 10; ++step) {
      const QPoint at = grip + QPoint(step * 3, step * 15);
      QMouseEvent move(QEvent::MouseMove, at, band->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(band, &move);
      QApplication::processEvents();
    }
    QTest::mouseRelease(band, Qt::LeftButton, {}, grip + QPoint(30, 150));
    EXPECT_FALSE(band->isFloating()) << band->objectName().toStdString();
    EXPECT_FALSE(band->isWindow()) << band->objectName().toStdString();
  }
  Click(form->PaletteButtons[3]);  // and they still work
  EXPECT_EQ(form->Document.CurrentTool, 3);
}

}  // namespace
}  // namespace kestu::test

int main(int argc, char** argv) {
  using namespace kestu::test;
  ::testing::InitGoogleTest(&argc, argv);
  PrivateWayland wayland;
  const bool listing = ::testing::GTEST_FLAG(list_tests);  // the test runner asking what there is
  const ScratchFolder logs("weston");
  const std::string log = (logs / "weston.log").string();
  if (listing) {
    skipReason = "listing only";
  } else if (wayland.Start(kOutputWidth, kOutputHeight, log)) {
    compositor = &wayland;
    ::setenv("XDG_RUNTIME_DIR", wayland.RuntimeDir().c_str(), 1);
    ::setenv("WAYLAND_DISPLAY", wayland.Socket().c_str(), 1);
    // Without the toolkit's Wayland platform it falls back to drawing offscreen, and the tests
    // say so rather than abort.
    ::setenv("QT_QPA_PLATFORM", "wayland;offscreen", 1);
  } else {
    skipReason = wayland.Why();
  }
  if (!skipReason.empty()) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (skipReason.empty() && !QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
    skipReason = "the toolkit's Wayland platform (qt6-wayland) is not installed";
  }
  return RUN_ALL_TESTS();
}
