// The real program, as a person uses it: it starts from the build folder under Xvfb with sound going
// to a PulseAudio null sink, shows its window, places a note that is heard and then drawn, plays,
// and asks before closing with a change.
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <memory>
#include <optional>

#include "assets/images.h"
#include "screen.h"
#include "tests/support/listening.h"
#include "tests/support/private_pulse.h"
#include "tests/support/process.h"

namespace kestu::test {
namespace {

using namespace std::chrono_literals;

class EndToEnd : public ScreenTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "pulseaudio", "pactl", "parec", "xdotool", "import"}) {
      if (!test::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    if (!display_.Start(1024, 768, 90, 140, (work_ / "xvfb.log").string())) GTEST_SKIP() << "Xvfb could not start";

    pulse_ = std::make_unique<PrivatePulse>(work_.Path());
    std::string why;
    if (!pulse_->Start(why)) GTEST_SKIP() << "PulseAudio could not start: " << why;
    StartRecorder("rec.wav");
  }

  void StartRecorder(const std::string& file) { pulse_->StartRecording((work_ / file).string()); }

  void TearDown() override {
    program_.Stop();
    pulse_.reset();
    ScreenTest::TearDown();
  }

  // The program from the build folder; the id of its window once it shows, empty if it does not.
  std::string StartProgram() {
    program_ = Process({std::string(KESTU_BUILD_DIR) + "/kestu"}, {"DISPLAY=" + display_.Name(), "QT_QPA_PLATFORM=xcb"},
                       KESTU_BUILD_DIR, (work_ / "kestu.log").string());
    std::vector<std::string> ids;
    if (!WaitFor([&] { return !(ids = Windows("^KestuSequencer$")).empty(); }, 15s)) return "";
    Sleep(700ms);  // its first picture drawn
    return ids.front();
  }
  // The score view's top-left corner, found by its background colour; (-1, -1) when not shown.
  static QPoint FindView(const QImage& screen) {
    for (int y = 0; y < screen.height(); ++y)
      for (int x = 0; x < screen.width(); ++x)
        if ((screen.pixel(x, y) & 0xFFFFFF) == 0xCEEFE7) return QPoint(x, y - 32);
    return QPoint(-1, -1);
  }
  // An instrument icon drawn with its top-left corner at `at`: more than 3/4 of its opaque pixels.
  static bool IconAt(const QImage& screen, const QImage& icon, QPoint at) {
    return Find(screen, icon, 0.75, QRect(at, QSize(1, 1))).has_value();
  }
  void MoveTo(QPoint at, const std::string& then = "") {
    test::Run(X() + "xdotool mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + then);
  }
  void Click(QPoint at) { MoveTo(at, " click 1"); }

  std::unique_ptr<PrivatePulse> pulse_;  // sets this process's PulseAudio variables, which the program inherits
  Process program_;
};

TEST_F(EndToEnd, StartsPlacesAHeardNotePlaysAndAsksBeforeClosing) {
  const std::string window = StartProgram();
  ASSERT_TRUE(program_.Started());
  ASSERT_FALSE(window.empty()) << "no window";

  // The window: the staff (background colour and its lines), the palette, the transport.
  const QImage first = Screenshot("start.png");
  ASSERT_FALSE(first.isNull());
  const QPoint view = FindView(first);
  ASSERT_GE(view.x(), 0) << "no staff on the screen";
  EXPECT_EQ(first.pixel(view + QPoint(200, 46)) & 0xFFFFFF, 0x000000u) << "staff line";
  EXPECT_EQ(first.pixel(view + QPoint(200, 110)) & 0xFFFFFF, 0x000000u) << "staff line";
  EXPECT_TRUE(Find(first, assets::SoundImages()[0])) << "palette";
  EXPECT_TRUE(Find(first, assets::SoundImages()[14])) << "palette";
  const std::optional<QPoint> play = Find(first, assets::PlayerImages()[0]);
  ASSERT_TRUE(play) << "transport";
  EXPECT_TRUE(Find(first, assets::PlayerImages()[3])) << "stop button down";

  // A press on column 1, row 9 places instrument 1 there and sounds it; the next move draws it.
  Click(view + QPoint(82, 104));
  Sleep(600ms);
  MoveTo(view + QPoint(250, 10));
  Sleep(400ms);
  const QImage placed = Screenshot("placed.png");
  EXPECT_TRUE(IconAt(placed, assets::SoundImages()[0], view + QPoint(74, 96)))
      << "the note is not drawn at column 1, row 9";

  // Two more notes, then Play: the score sounds.
  Click(view + QPoint(114, 88));
  Click(view + QPoint(146, 72));
  Sleep(300ms);
  Click(*play + QPoint(8, 8));
  Sleep(2500ms);
  const QImage playing = Screenshot("playing.png");
  EXPECT_TRUE(Find(playing, assets::PlayerImages()[1])) << "play button shows running";

  // Closing with a change asks first, and closes after the answer (Escape: No).
  FromFileMenu(window, "x", 300ms);
  Sleep(1000ms);
  EXPECT_TRUE(program_.Running()) << "closed without asking";
  Screenshot("question.png");
  test::Run(X() + "xdotool key Escape");
  const std::optional<int> status = program_.Wait(10s);
  ASSERT_TRUE(status) << "did not close after the answer";
  EXPECT_EQ(*status, 0);

  Sleep(300ms);
  pulse_->StopRecording();
  const Recording rec = ReadRecording((work_ / "rec.wav").string());
  ASSERT_GT(rec.rate, 0u) << "no recording";
  // The recorder's clock starts when the sink wakes, so the sounds are found by their shape: the
  // placed note, the two quick presses, then the three columns of the score 240 ms apart.
  const std::vector<double> onsets = rec.Onsets(0.03);
  std::string found;
  for (double t : onsets) found += std::to_string(t) + " ";
  ASSERT_GE(onsets.size(), 5u) << "sounds found at " << found;
  EXPECT_GT(rec.Rms(onsets[0], onsets[0] + 0.3), 0.01) << "the placed note was not heard";
  const size_t n = onsets.size();
  for (size_t i = n - 2; i < n; ++i) {
    const double gap = onsets[i] - onsets[i - 1];
    EXPECT_NEAR(gap, 0.240, 0.045) << "columns not 240 ms apart: " << found;
  }
}

TEST_F(EndToEnd, ASoundServerThatGoesAwayAndComesBackIsHeardAgainWithTheScoreKept) {
  const std::string window = StartProgram();
  ASSERT_FALSE(window.empty()) << "no window";
  const QPoint view = FindView(Screenshot("start.png"));
  ASSERT_GE(view.x(), 0) << "no staff on the screen";
  Click(view + QPoint(82, 104));  // column 1, row 9
  Sleep(300ms);

  // The server dies; the program goes on silent, then finds the new one by itself.
  pulse_->StopRecording();
  pulse_->Kill();
  Sleep(2000ms);
  ASSERT_TRUE(program_.Running()) << "the program ended with its sound server";
  std::string why;
  ASSERT_TRUE(pulse_->Start(why)) << "PulseAudio did not start again: " << why;
  StartRecorder("again.wav");
  Sleep(2500ms);

  Click(view + QPoint(114, 88));  // column 2, row 7: placed and heard
  Sleep(800ms);
  MoveTo(view + QPoint(250, 10));
  Sleep(400ms);
  const QImage after = Screenshot("after.png");
  EXPECT_TRUE(IconAt(after, assets::SoundImages()[0], view + QPoint(74, 96))) << "column 1 lost";
  EXPECT_TRUE(IconAt(after, assets::SoundImages()[0], view + QPoint(106, 80))) << "column 2 not placed";

  pulse_->StopRecording();
  const Recording rec = ReadRecording((work_ / "again.wav").string());
  ASSERT_GT(rec.rate, 0u) << "no recording";
  const std::vector<double> onsets = rec.Onsets(0.03);
  ASSERT_FALSE(onsets.empty()) << "nothing heard from the server that came back";
  EXPECT_GT(rec.Rms(onsets[0], onsets[0] + 0.3), 0.01);
  EXPECT_TRUE(program_.Running());
}

TEST_F(EndToEnd, ClosingNeverWaitsForAStoppedSoundServer) {
  const std::string window = StartProgram();
  ASSERT_FALSE(window.empty()) << "no window";
  pulse_->StopRecording();
  pulse_->Freeze();
  Sleep(500ms);
  // Exit from the File menu; the score is unchanged, so nothing is asked.
  FromFileMenu(window, "x", 300ms);
  const std::optional<int> status = program_.Wait(10s);
  pulse_->Thaw();
  ASSERT_TRUE(status) << "the program waited for the stopped server";
  EXPECT_EQ(*status, 0);
}

}  // namespace
}  // namespace kestu::test
