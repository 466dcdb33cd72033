#include "app/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace kestu {

namespace {

constexpr QPoint kFirstPosition(497, 588);
// How long after the window is shown a window manager may take to put its frame around it.
constexpr int kFrameWaitMs = 3000;

// A compositor puts a window below its shell's panel, which the screen's geometry does not leave
// out there; this much room is kept for it.
constexpr int kShellPanelRoom = 48;

int FitAxis(int wanted, int start, int room, int extent) {
  const int last = start + room - extent;  // where the frame's far edge meets the room's
  return std::max(start, std::min(wanted, last));
}

}  // namespace

bool PlatformPlacesWindows() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect FirstFrameGeometry(const QRect& available, const QSize& frameSize) {
  const QSize size = frameSize.boundedTo(available.size());
  return {FitAxis(kFirstPosition.x(), available.left(), available.width(), size.width()),
          FitAxis(kFirstPosition.y(), available.top(), available.height(), size.height()), size.width(),
          size.height()};
}

FirstPlacement::FirstPlacement(QWidget& window) : QObject(&window), window_(window) {
  window.installEventFilter(this);
  if (!PlatformPlacesWindows()) return;
  if (const QScreen* screen = window.screen()) {
    window.move(FirstFrameGeometry(screen->availableGeometry(), window.frameGeometry().size()).topLeft());
  }
}

bool FirstPlacement::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &window_ || settled_) return false;
  switch (event->type()) {
    case QEvent::Show:
      if (!PlatformPlacesWindows()) {
        // The toolkit draws the frame there, a moment after the window first shows, and no event
        // says when: look again shortly.
        for (int ms : {100, 400, 1000}) QTimer::singleShot(ms, this, [this] { Fit(); });
      }
      QTimer::singleShot(kFrameWaitMs, this, [this] {
        Fit();
        settled_ = true;
      });
      Fit();
      break;
    case QEvent::Move:
    case QEvent::Resize:
      if (window_.isVisible()) Fit();
      break;
    default:
      break;
  }
  return false;
}

void FirstPlacement::Fit() {
  const QWindow* handle = window_.windowHandle();
  const QScreen* screen = window_.screen();
  if (handle == nullptr || screen == nullptr) return;
  const QRect frame = handle->frameGeometry();
  if (!PlatformPlacesWindows()) {
    // Only the size is ours to choose.
    const QSize room = screen->availableGeometry().size() - QSize(0, kShellPanelRoom);
    const QSize fitted = frame.size().boundedTo(room);
    if (fitted != frame.size()) window_.resize(window_.size() - (frame.size() - fitted));
    return;
  }
  const QRect room = screen->availableGeometry();
  if (room.contains(frame)) {
    // The frame has arrived and fits: nothing more to wait for.
    if (frame != handle->geometry()) settled_ = true;
    return;
  }
  const QRect fitted = FirstFrameGeometry(room, frame.size());
  if (fitted.size() != frame.size()) window_.resize(window_.size() - (frame.size() - fitted.size()));
  if (fitted.topLeft() != frame.topLeft()) window_.move(fitted.topLeft());
}

}  // namespace kestu
