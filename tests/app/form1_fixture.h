#pragma once
// A TForm1 on the scripted toolkit and an offline sound output, built in a folder of its own so
// file tests never touch the tree. The samples come from the build's waves/ folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/form1.h"
#include "app/scripted_toolkit.h"
#include "sound/output/offline_output.h"

namespace kestu::testing {

namespace fs = std::filesystem;

class Form1Test : public ::testing::Test {
 public:  // the helpers serve the tables of events too
  void SetUp() override {
    previous_ = fs::current_path();
    // One folder per test; a parameterised test's name holds a slash, which is no folder here.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ = fs::temp_directory_path() / ("kestu-app-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    if (WithSamples()) fs::create_directory_symlink(fs::path(KESTU_BUILD_DIR) / "waves", dir_ / "waves");
    fs::current_path(dir_);
    form = std::make_unique<TForm1>(toolkit, UseOutput(output));
  }
  void TearDown() override {
    form.reset();
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  virtual bool WithSamples() const { return true; }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  static int Face(const QToolButton* button) { return TForm1::FaceOf(button); }

  ScriptedToolkit toolkit;
  OfflineOutput output;
  std::unique_ptr<TForm1> form;
  fs::path dir_, previous_;
};

inline std::string SequenceText(const std::string& score, const std::string& tempo = "250",
                                const std::string& loop = "FALSE", const std::string& end = "961",
                                const std::string& time44 = "TRUE") {
  return "SCORE=" + score + "\r\nTEMPO=" + tempo + "\r\nLOOP=" + loop + "\r\nEND=" + end +
         "\r\nTIME44=" + time44 + "\r\n";
}

inline std::string ScoreStartingWith(const std::string& first) {
  std::string score = first;
  while (score.size() < first.size() + 2880 - 3) score += '0';
  return score;
}

}  // namespace kestu::testing
