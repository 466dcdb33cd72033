#pragma once
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kestu {

// Whether the platform lets a program place its windows. A Wayland compositor places them itself
// and tells no client where they are: there nothing is placed by coordinates.
bool PlatformPlacesWindows();

// Where the window's frame first goes: at left 497, top 588 where the whole frame fits on the
// screen's free area, otherwise moved just far enough left and up to fit; on a free area smaller
// than the frame (a small screen at a large scale), made as small as the area, at its corner.
QRect FirstFrameGeometry(const QRect& available, const QSize& frameSize);

// Keeps a window's first position on the screen once its frame is known. A window manager adds
// its frame (title bar, borders) only after the window is shown, so the frame's size is learnt
// from the moves and resizes that follow; until it is known, or for a short while at most, the
// window is moved back onto the screen (and made smaller if need be) whenever its frame sticks out. After that the user places
// the window. Where the platform places windows itself (Wayland), the window is only made small
// enough for the screen, with room for the shell's panel, and never moved.
class FirstPlacement : public QObject {
 public:
  explicit FirstPlacement(QWidget& window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fit();

  QWidget& window_;
  bool settled_ = false;
};

}  // namespace kestu
