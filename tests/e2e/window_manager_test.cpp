// The installed program as a user meets it: started from its desktop entry by an ordinary user,
// under a window manager (openbox) on a 1024 x 600 screen. Its whole frame is on the screen, its
// samples are found from its home folder, every band shows, maximizing is not offered in its hints,
// and a first Save As (in Japanese) saves into the user's documents folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QImage>
#include <QRect>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "assets/images.h"
#include "installed_tree.h"
#include "tests/support/process.h"
#include "screen.h"

namespace kestu::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 600;

class UnderAWindowManager : public ScreenTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import"}) {
      if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ::chmod(work_.Path().c_str(), 0755);
    prefix_ = work_ / "prefix";
    ASSERT_TRUE(InstallBuild(prefix_.string(), "", (work_ / "install.log").string()));
    // Installed for everyone, written by no one: the sample folder is read-only to the user.
    ::chmod((prefix_ / "share/kestu-sequencer").c_str(), 0555);

    // The user's home with a documents folder, owned by the ordinary user the program runs as.
    home_ = work_ / "home";
    for (const fs::path& p : {home_, home_ / "Documents", home_ / "runtime"}) {
      fs::create_directories(p);
      ::chmod(p.c_str(), 0700);
      ASSERT_TRUE(GiveToOrdinaryUser(p)) << "chown " << p;
    }

    if (!display_.Start(kScreenWidth, kScreenHeight, 140, 190, (work_ / "xvfb.log").string())) {
      GTEST_SKIP() << "Xvfb could not start";
    }
    wm_ = Process({"openbox", "--sm-disable"}, {"DISPLAY=" + display_.Name(), "HOME=" + (work_ / "wm").string()}, {},
                  (work_ / "openbox.log").string());
    // The manager announces itself before it has finished starting; a window mapped meanwhile can
    // go unmanaged, and so unmapped, on a loaded machine. The work area comes later in its start.
    if (!WaitFor([&] { return test::Run(X() + "xprop -root _NET_WORKAREA 2>/dev/null | grep -q ' = '") == 0; }, 20s)) {
      GTEST_SKIP() << "openbox could not start";
    }
    Sleep(1s);
  }

  void TearDown() override {
    program_.Stop();
    wm_.Stop();
    if (!prefix_.empty()) ::chmod((prefix_ / "share/kestu-sequencer").c_str(), 0755);
    ScreenTest::TearDown();
  }
  // The program's options: the user's home and a screen, no sound server; the ordinary user when
  // the tests run as root.
  ChildOptions AsTheUser(std::vector<std::string> env = {}) const {
    env.insert(env.end(), {"DISPLAY=" + display_.Name(), "QT_QPA_PLATFORM=xcb", "HOME=" + home_.string(),
                           "XDG_RUNTIME_DIR=" + (home_ / "runtime").string(),
                           "XDG_CONFIG_HOME=" + (home_ / "config").string(), "PULSE_SERVER=unix:/nonexistent"});
    return {.asOrdinaryUser = true, .workingFolder = home_.string(), .env = env};
  }

  // The window's frame on the screen: its client area grown by the manager's frame extents.
  QRect Frame(const std::string& window) const {
    const std::string info = Capture(X() + "xwininfo -id " + window);
    auto field = [&](const char* key) {
      const size_t at = info.find(key);
      return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + std::strlen(key));
    };
    int l = 0, r = 0, t = 0, b = 0;
    const std::string extents = Capture(X() + "xprop -id " + window + " _NET_FRAME_EXTENTS");
    std::sscanf(extents.c_str() + std::min(extents.size(), extents.find('=') + 1), "%d, %d, %d, %d", &l, &r, &t, &b);
    return {field("Absolute upper-left X:") - l, field("Absolute upper-left Y:") - t, field("Width:") + l + r,
            field("Height:") + t + b};
  }
  fs::path prefix_, home_;
  Process wm_, program_;
};

TEST_F(UnderAWindowManager, StartsFromItsDesktopEntryWhollyOnASmallScreen) {
  auto entry = ReadDesktopEntry(prefix_ / "share/applications/kestu-sequencer.desktop");
  ASSERT_FALSE(entry["Exec"].empty());
  program_ = Process(ExecArguments(entry["Exec"]), (work_ / "kestu.log").string(), AsTheUser());
  ASSERT_TRUE(program_.Started());
  // A loaded machine (tests run in parallel) can take its time.
  if (!WaitFor([&] { return !Windows("^KestuSequencer$").empty(); }, 60s)) {
    Screenshot("no-window.png");
    test::Run(X() + "xwininfo -root -tree > '" + (work_ / "windows.txt").string() + "' 2>&1");
    FAIL() << "no window; see " << work_.Path().string();
  }
  Sleep(1500ms);
  // One window: no box saying the samples are missing (it would carry the same caption).
  const std::vector<std::string> windows = Windows("^KestuSequencer$");
  ASSERT_EQ(windows.size(), 1u) << "a second window, likely the missing-samples box";
  const std::string window = windows.front();

  const QRect frame = Frame(window);
  EXPECT_TRUE(QRect(0, 0, kScreenWidth, kScreenHeight).contains(frame))
      << "frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
  EXPECT_EQ(frame.x(), 497);
  EXPECT_GT(frame.height(), 271) << "the window manager's frame is missing";

  const QImage screen = Screenshot("start.png");
  EXPECT_TRUE(Find(screen, assets::SoundImages()[15])) << "palette";
  EXPECT_TRUE(Find(screen, assets::etcImages()[0])) << "etcBar";
  EXPECT_TRUE(Find(screen, assets::PlayerImages()[0])) << "play button";
  EXPECT_TRUE(Find(screen, assets::PlayerImages()[4])) << "loop button";

  // Motif hints: the functions offered leave out maximize (0x10).
  unsigned flags = 0, functions = 0;
  const std::string motif = Capture(X() + "xprop -id " + window + " _MOTIF_WM_HINTS");
  ASSERT_EQ(std::sscanf(motif.c_str() + std::min(motif.size(), motif.find('=') + 1), " %x, %x", &flags, &functions), 2) << motif;
  EXPECT_TRUE(flags & 1u) << motif;
  EXPECT_FALSE(functions & 0x10u) << motif;

  // Save As, through the menu: the dialog is Japanese and saves into the documents folder.
  FromFileMenu(window, "a", 400ms);
  ASSERT_TRUE(WaitFor([&] { return !Windows("^名前を付けて保存$").empty(); }, 10s)) << "no Japanese Save As dialog";
  Sleep(500ms);
  Screenshot("save-as.png");
  test::Run(X() + "xdotool type --delay 30 e2e-song");
  test::Run(X() + "xdotool key Return");
  EXPECT_TRUE(WaitFor([&] { return fs::exists(home_ / "Documents/e2e-song.ksq"); }, 10s))
      << "not saved into the documents folder";

  FromFileMenu(window, "x", 400ms);
  const std::optional<int> status = program_.Wait(10s);
  ASSERT_TRUE(status) << "did not close";
  EXPECT_EQ(*status, 0);
}

TEST_F(UnderAWindowManager, AScoreOpenedFromTheFileManagerOpensInTheInstalledProgram) {
  for (const char* tool : {"gio", "update-desktop-database", "update-mime-database"}) {
    if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  const fs::path share = prefix_ / "share";
  ASSERT_EQ(test::Run("update-desktop-database '" + (share / "applications").string() + "'"), 0);
  ASSERT_EQ(test::Run("update-mime-database '" + (share / "mime").string() + "' >/dev/null"), 0);
  const fs::path score = home_ / "Documents/tune.ksq";
  fs::copy_file(fs::path(KESTU_SOURCE_DIR) / "examples/little-tune.ksq", score);
  ASSERT_TRUE(GiveToOrdinaryUser(score)) << "chown " << score;
  // As a file manager does on a double-click: the default application of the file's type.
  Process gio({"gio", "open", score.string()}, (work_ / "gio.log").string(),
              AsTheUser({"XDG_DATA_HOME=" + (home_ / "data").string(), "XDG_DATA_DIRS=" + share.string() + ":/usr/share"}));
  ASSERT_TRUE(gio.Started());
  const bool shown = WaitFor([&] { return !Windows("^KestuSequencer$").empty(); }, 60s);
  const std::string pid = shown ? Capture(X() + "xdotool search --name '^KestuSequencer$' getwindowpid") : "";
  // The program outlives gio, which only starts it: it is ended by its own process id.
  struct EndProgram {
    std::string pid;
    ~EndProgram() {
      if (std::atoi(pid.c_str()) > 0) ::kill(std::atoi(pid.c_str()), SIGTERM);
    }
  } end{pid};
  ASSERT_TRUE(shown) << "no window; see " << (work_ / "gio.log").string();
  Sleep(1500ms);
  ASSERT_EQ(Windows("^KestuSequencer$").size(), 1u) << "a second window, likely a box about the file or the samples";
  // The score's notes in the view, below the palette's own faces.
  const QRect frame = Frame(Windows("^KestuSequencer$").front());
  const QImage screen = Screenshot("opened.png");
  const QImage view = screen.copy(frame.x(), frame.y() + frame.height() * 2 / 5, frame.width(), frame.height() * 2 / 5);
  EXPECT_TRUE(Find(view, assets::SoundImages()[0])) << "the score's piano notes are not shown";
}

}  // namespace
}  // namespace kestu::test
