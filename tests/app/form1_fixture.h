#pragma once
// A TForm1 on the scripted toolkit and an offline sound output, built in a folder of its own so
// file tests never touch the tree. The samples come from the build's waves/ folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QMenuBar>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "app/form1.h"
#include "app/scripted_toolkit.h"
#include "sound/output/offline_output.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/score_texts.h"
#include "tests/support/text_files.h"

namespace kestu::test {

namespace fs = std::filesystem;

class Form1Test : public ::testing::Test {
 public:  // the helpers serve the tables of events too
  void SetUp() override {
    previous_ = fs::current_path();
    if (WithSamples()) fs::create_directory_symlink(fs::path(KESTU_BUILD_DIR) / "waves", dir_ / "waves");
    fs::current_path(dir_);
    form = std::make_unique<TForm1>(toolkit, UseOutput(output));
  }
  void TearDown() override {
    form.reset();
    fs::current_path(previous_);
  }
  virtual bool WithSamples() const { return true; }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void WriteFile(const std::string& name, const std::string& text) const { WriteText(Path(name), text); }
  std::string ReadFile(const std::string& name) const { return ReadText(Path(name)); }
  // A file dropped on the window through the toolkit's drag events, which deliver the drop only to a
  // widget that accepted the drag's entry. True when the window accepted it.
  bool DropOnWindow(const std::string& path) const {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    return enter.isAccepted();
  }
  static void Click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  static int Face(const QToolButton* button) { return TForm1::FaceOf(button); }

  ScriptedToolkit toolkit;
  OfflineOutput output;
  std::unique_ptr<TForm1> form;
  ScratchFolder folder_{"app"};
  const fs::path& dir_ = folder_.Path();
  fs::path previous_;
};

// A shown window, laid out, measured in the client area below the menu bar.
class Form1Shown : public Form1Test {
 public:
  void SetUp() override {
    Form1Test::SetUp();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  QRect InClient(const QWidget* w) const {
    const QPoint at = w->mapTo(form.get(), QPoint(0, 0)) - QPoint(0, form->menuBar()->height());
    return {at, w->size()};
  }
  QRect InBar(const QWidget* w, const QWidget* bar) const { return {w->mapTo(bar, QPoint(0, 0)), w->size()}; }
  QWidget* Named(const char* name) const { return form->findChild<QWidget*>(name); }
};

}  // namespace kestu::test
