#pragma once
// Looking at a real screen: waiting for something to show, running a command for its output, and
// finding our own pictures on a screenshot.
#include <QImage>
#include <QPoint>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"

namespace kestu::e2e {

inline void Sleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

using support::WaitFor;

// A command's standard output, trailing blanks and newlines removed.
inline std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// Where an image-list entry is drawn on the screen: its opaque pixels matched exactly.
inline std::optional<QPoint> Find(const QImage& screen, const QImage& icon) {
  const QImage s = screen.convertToFormat(QImage::Format_RGB32);
  std::vector<QPoint> opaque;
  for (int y = 0; y < icon.height(); ++y)
    for (int x = 0; x < icon.width(); ++x)
      if (qAlpha(icon.pixel(x, y)) == 255) opaque.emplace_back(x, y);
  if (opaque.empty()) return std::nullopt;
  for (int y = 0; y + icon.height() <= s.height(); ++y) {
    for (int x = 0; x + icon.width() <= s.width(); ++x) {
      bool all = true;
      for (const QPoint& p : opaque) {
        if ((s.pixel(x + p.x(), y + p.y()) & 0xFFFFFF) != (icon.pixel(p) & 0xFFFFFF)) {
          all = false;
          break;
        }
      }
      if (all) return QPoint(x, y);
    }
  }
  return std::nullopt;
}


}  // namespace kestu::e2e
