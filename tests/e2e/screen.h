#pragma once
// Looking at a real screen: a test's own X server and folder, screenshots, windows found by name,
// and our own pictures found on a screenshot.
#include <gtest/gtest.h>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <chrono>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/private_display.h"
#include "tests/support/process.h"
#include "tests/support/scratch_folder.h"

namespace kestu::test {

inline void Sleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

// A test on a screen of its own; its folder stays when it fails, with the screenshots in it.
class ScreenTest : public ::testing::Test {
 protected:
  void TearDown() override {
    display_.Stop();
    if (HasFailure()) work_.Keep();
  }
  // The start of a command line on the test's screen.
  std::string X() const { return "DISPLAY=" + display_.Name() + " "; }
  QImage Screenshot(const std::string& name) const {
    const std::string path = (work_ / name).string();
    test::Run(X() + "import -window root '" + path + "' 2>/dev/null");
    return QImage(QString::fromStdString(path));
  }
  // The visible windows whose names match `pattern`.
  std::vector<std::string> Windows(const std::string& pattern) const {
    std::vector<std::string> ids;
    std::istringstream out(Capture(X() + "xdotool search --onlyvisible --name '" + pattern + "' 2>/dev/null"));
    for (std::string id; std::getline(out, id);) ids.push_back(id);
    return ids;
  }
  // Opens the window's File menu by its key and picks the item with `key`.
  void FromFileMenu(const std::string& window, const std::string& key, std::chrono::milliseconds pause) const {
    test::Run(X() + "xdotool windowfocus --sync " + window + " key --clearmodifiers alt+f");
    Sleep(pause);
    test::Run(X() + "xdotool key " + key);
  }

  ScratchFolder work_{"screen"};
  PrivateDisplay display_;
};

// Where an image-list entry is drawn on the screen with its top-left corner in `corners` (anywhere
// when empty): all its opaque pixels matched exactly, or more than the share `least` of them.
inline std::optional<QPoint> Find(const QImage& screen, const QImage& icon, double least = 1.0, QRect corners = {}) {
  const QImage s = screen.convertToFormat(QImage::Format_RGB32);
  std::vector<QPoint> opaque;
  for (int y = 0; y < icon.height(); ++y)
    for (int x = 0; x < icon.width(); ++x)
      if (qAlpha(icon.pixel(x, y)) == 255) opaque.emplace_back(x, y);
  if (opaque.empty()) return std::nullopt;
  // More than `least` matched: fewer than this many missed.
  const double missesUnder = least >= 1.0 ? 1.0 : static_cast<double>(opaque.size()) * (1.0 - least);
  const QRect all(0, 0, s.width() - icon.width() + 1, s.height() - icon.height() + 1);
  corners = corners.isNull() ? all : corners & all;
  for (int y = corners.top(); y <= corners.bottom(); ++y) {
    for (int x = corners.left(); x <= corners.right(); ++x) {
      int misses = 0;
      for (const QPoint& p : opaque) {
        misses += (s.pixel(x + p.x(), y + p.y()) & 0xFFFFFF) != (icon.pixel(p) & 0xFFFFFF);
        if (misses >= missesUnder) break;
      }
      if (misses < missesUnder) return QPoint(x, y);
    }
  }
  return std::nullopt;
}
}  // namespace kestu::test
