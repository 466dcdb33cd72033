// Installing: with a prefix given at install time and with DESTDIR, the desktop entry starts the
// installed program in the installed sample folder and passes desktop-file-validate; the score
// type is known to shared-mime-info with its icon; the icons are there at every size, sharp.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QMimeDatabase>
#include <cstdlib>
#include <filesystem>

#include "installed_tree.h"
#include "tests/support/pixels.h"
#include "tests/support/process.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/text_files.h"

namespace kestu::test {
namespace {

namespace fs = std::filesystem;

class Install : public ::testing::Test {
 protected:
  void SetUp() override { ::chmod(work_.Path().c_str(), 0755); }  // the ordinary user runs what is installed
  void TearDown() override {
    if (HasFailure()) work_.Keep();
  }
  std::string Log() const { return (work_ / "install.log").string(); }
  ScratchFolder work_{"install"};
};

const char* const kIconSizes[] = {"16", "32", "48", "128", "256"};

// An icon of the tree under `root`: `icon` in the folder of its size.
fs::path IconFile(const fs::path& root, const char* size, const char* icon) {
  return root / "share/icons/hicolor" / (std::string(size) + "x" + size) / icon;
}

void ExpectValidEntry(const fs::path& entryFile) {
  if (OnPath("desktop-file-validate")) {
    EXPECT_EQ(test::Run("desktop-file-validate '" + entryFile.string() + "'"), 0);
  }
}

TEST_F(Install, WithAPrefixAtInstallTime) {
  const fs::path prefix = work_ / "prefix";
  ASSERT_TRUE(InstallBuild(prefix.string(), "", Log())) << "see " << Log();
  const fs::path entryFile = prefix / "share/applications/kestu-sequencer.desktop";
  auto entry = ReadDesktopEntry(entryFile);
  // A double-click on a score runs the installed program with that file, wherever it then starts.
  EXPECT_EQ(entry["Exec"], (prefix / "bin/kestu").string() + " %f");
  EXPECT_EQ(ExecArguments(entry["Exec"], "/home/u/a b.ksq"),
            (std::vector<std::string>{(prefix / "bin/kestu").string(), "/home/u/a b.ksq"}));
  EXPECT_EQ(entry["MimeType"], "application/x-kestu-score;");
  EXPECT_EQ(entry.count("Path"), 0u);
  EXPECT_EQ(entry["Icon"], "kestu-sequencer");
  EXPECT_EQ(entry["StartupWMClass"], "KestuSequencer");  // the window's class, for docks
  EXPECT_EQ(::access(ExecArguments(entry["Exec"])[0].c_str(), X_OK), 0) << "the entry's program is not there";
  for (int n = 1; n <= 29; ++n) {
    EXPECT_TRUE(fs::exists(prefix / "share/kestu-sequencer/waves" / ("Sound" + std::to_string(n) + ".wav"))) << n;
  }
  EXPECT_TRUE(fs::exists(prefix / "bin/kestu-cli"));
  // Run from a folder of the user's own, the installed tools find the installed samples.
  const fs::path elsewhere = work_ / "elsewhere";
  fs::create_directories(elsewhere);
  ::chmod(elsewhere.c_str(), 0777);
  fs::copy_file(fs::path(KESTU_SOURCE_DIR) / "examples/little-tune.ksq", elsewhere / "tune.ksq");
  const ChildOptions asUser{.asOrdinaryUser = true, .workingFolder = elsewhere.string()};
  const ProgramRun render =
      RunProgram({(prefix / "bin/kestu-cli").string(), "render", "tune.ksq", "tune.wav"}, asUser);
  EXPECT_EQ(render.status, 0) << render.err;
  EXPECT_GT(fs::file_size(elsewhere / "tune.wav"), 100000u);
  for (const char* program : {"kestu", "kestu-cli"}) {
    const ProgramRun version = RunProgram({(prefix / "bin" / program).string(), "--version"}, asUser);
    EXPECT_EQ(version.status, 0) << program;
    EXPECT_EQ(version.out, std::string(program) + " " KESTU_TEST_VERSION "\n");
  }
  ExpectValidEntry(entryFile);

  // The icons: every pixel of the 16-pixel drawing a square block of one colour.
  for (const char* size : kIconSizes) {
    const int n = std::atoi(size);
    for (const char* icon : {"apps/kestu-sequencer.png", "mimetypes/application-x-kestu-score.png"}) {
      const fs::path file = IconFile(prefix, size, icon);
      const QImage image(QString::fromStdString(file.string()));
      ASSERT_EQ(image.size(), QSize(n, n)) << file;
      const int block = n / 16;
      ExpectPixels(image, [&](int x, int y) { return image.pixel(x - x % block, y - y % block); }, {}, file.string());
    }
  }

  // The manual pages, set without a warning.
  for (const char* page : {"kestu.1", "kestu-cli.1"}) {
    const fs::path file = prefix / "share/man/man1" / page;
    ASSERT_TRUE(fs::exists(file)) << file;
    const std::string text = ReadText(file);
    EXPECT_NE(text.find("KestuSequencer " KESTU_TEST_VERSION), std::string::npos) << page;
    if (OnPath("groff")) {
      EXPECT_EQ(test::Run("LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z '" + file.string() + "' 2>'" + Log() + "' && test ! -s '" + Log() + "'"), 0)
          << page << ": see " << Log();
    }
  }

  // The software centres' description: valid, the score type it provides, a screenshot that is in
  // the source tree at the place its address names, and the newest release this version.
  const fs::path metainfo = prefix / "share/metainfo/io.github.kestusequencer.KestuSequencer.metainfo.xml";
  ASSERT_TRUE(fs::exists(metainfo));
  const std::string meta = ReadText(metainfo);
  EXPECT_NE(meta.find("<mediatype>application/x-kestu-score</mediatype>"), std::string::npos);
  EXPECT_NE(meta.find("<launchable type=\"desktop-id\">kestu-sequencer.desktop</launchable>"), std::string::npos);
  EXPECT_NE(meta.find("<release version=\"" KESTU_TEST_VERSION "\""), std::string::npos)
      << "the newest release is not this version";
  const std::string shotPath = "tools/desktop/screenshots/main-window.png";
  EXPECT_NE(meta.find("/" + shotPath + "</image>"), std::string::npos);
  const QImage shot(QString::fromStdString(std::string(KESTU_SOURCE_DIR) + "/" + shotPath));
  EXPECT_FALSE(shot.isNull());
  EXPECT_NE(meta.find("width=\"" + std::to_string(shot.width()) + "\" height=\"" + std::to_string(shot.height()) + "\""),
            std::string::npos);
  if (OnPath("appstreamcli")) {
    EXPECT_EQ(test::Run("appstreamcli validate --no-net '" + metainfo.string() + "' >'" + Log() + "' 2>&1"), 0)
        << ReadText(Log());
  } else {
    ADD_FAILURE() << "appstreamcli is not installed (package appstream): the metainfo is not validated";
  }

  // The README's commands that tell the desktop about an install of one's own, as written there.
  const std::string readme = ReadText(fs::path(KESTU_SOURCE_DIR) / "README.md");
  int commands = 0;
  for (const char* tool : {"update-desktop-database", "update-mime-database", "gtk-update-icon-cache"}) {
    const size_t at = readme.find("\n    " + std::string(tool) + " ");
    ASSERT_NE(at, std::string::npos) << tool << " is not in the README";
    std::string command = readme.substr(at + 5, readme.find('\n', at + 1) - at - 5);
    command.replace(command.find("PREFIX"), 6, "'" + prefix.string() + "'");
    if (!OnPath(tool)) continue;
    EXPECT_EQ(test::Run(command + " >'" + Log() + "' 2>&1"), 0) << command << ": " << ReadText(Log());
    ++commands;
  }
  EXPECT_GT(commands, 0);

  // The score type, as a file manager would look it up.
  if (!OnPath("update-mime-database")) GTEST_SKIP() << "shared-mime-info is not installed";
  ASSERT_EQ(test::Run("update-mime-database '" + (prefix / "share/mime").string() + "' >/dev/null 2>&1"), 0);
  ::setenv("XDG_DATA_HOME", (work_ / "nothing").c_str(), 1);
  ::setenv("XDG_DATA_DIRS", ((prefix / "share").string() + ":/usr/share").c_str(), 1);
  const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("tune.ksq"), QMimeDatabase::MatchExtension);
  EXPECT_EQ(type.name().toStdString(), "application/x-kestu-score");
  EXPECT_EQ(type.comment().toStdString(), "KestuSequencer score");
  EXPECT_EQ(type.iconName().toStdString(), "application-x-kestu-score");
  EXPECT_TRUE(type.inherits(QStringLiteral("text/plain")));
}

TEST_F(Install, ForAPackagerWithDestdir) {
  const std::string prefix = "/opt/kestu test";  // a space, which the entry must quote
  const fs::path stage = work_ / "stage";
  ASSERT_TRUE(InstallBuild(prefix, stage.string(), Log())) << "see " << Log();
  const fs::path root = stage / "opt/kestu test";
  const fs::path entryFile = root / "share/applications/kestu-sequencer.desktop";
  auto entry = ReadDesktopEntry(entryFile);
  EXPECT_EQ(entry["Exec"], "\"/opt/kestu test/bin/kestu\" %f");  // the final place, not the stage
  EXPECT_EQ(ExecArguments(entry["Exec"]), std::vector<std::string>{"/opt/kestu test/bin/kestu"});
  EXPECT_TRUE(fs::exists(root / "bin/kestu"));
  EXPECT_TRUE(fs::exists(root / "share/kestu-sequencer/waves/Sound29.wav"));
  EXPECT_TRUE(fs::exists(root / "share/mime/packages/kestu-score.xml"));
  for (const char* size : kIconSizes) {
    EXPECT_TRUE(fs::exists(IconFile(root, size, "apps/kestu-sequencer.png")));
  }
  EXPECT_FALSE(fs::exists("/opt/kestu test")) << "installed outside DESTDIR";
  ExpectValidEntry(entryFile);
}

}  // namespace
}  // namespace kestu::test
