#pragma once
// A toolbar band of the control bars. Dragged out of its bar by its grip, a band is a small window
// of its own, which the toolkit makes without a frame; so the band shows its caption
// ("SoundsPallete" for the palette) as a title of its own before its buttons, by which it can be
// moved. Released with the pointer over the bar it came from, dragged by the grip or the title and
// however long the drag, it docks back there.
#include <QPoint>
#include <QToolBar>

class QLabel;

namespace kestu {

class BandToolBar : public QToolBar {
  Q_OBJECT
 public:
  // Made before the band's buttons, so that the title comes first.
  BandToolBar(const QString& caption, QWidget* parent);

  // Whether bands may float where the program runs: a Wayland compositor places windows itself
  // and tells no client where they are, so a band there stays in its bar (still movable along it).
  static bool PlatformPlacesWindows();

  // The title, shown while the band floats.
  QLabel* Title() const { return title_; }

 protected:
  bool event(QEvent* event) override;

 private:
  void FloatingChanged(bool floating);
  // Docks the band into its own bar when `global` lies over that bar.
  void DockIfOverBar(QPoint global);

  QLabel* title_;
  QAction* titleAction_;
  bool titleDrag_ = false;
  QPoint titleGrab_;  // where the title was taken, from the window's corner
};

}  // namespace kestu
