#include "app/band_tool_bar.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTimer>

#include "app/window_placement.h"

namespace kestu {

BandToolBar::BandToolBar(const QString& caption, QWidget* parent) : QToolBar(caption, parent) {
  title_ = new QLabel(caption, this);
  title_->setObjectName(QStringLiteral("Title"));
  // Drawn as a title bar shows its window's name: bold, on the selection colour.
  title_->setAutoFillBackground(true);
  title_->setBackgroundRole(QPalette::Highlight);
  title_->setForegroundRole(QPalette::HighlightedText);
  QFont font = title_->font();
  font.setBold(true);
  title_->setFont(font);
  title_->setContentsMargins(6, 0, 6, 0);
  title_->setAttribute(Qt::WA_TransparentForMouseEvents);  // the band takes the drag
  titleAction_ = addWidget(title_);
  titleAction_->setVisible(false);
  connect(this, &QToolBar::topLevelChanged, this, &BandToolBar::FloatingChanged);
}

bool BandToolBar::PlatformPlacesWindows() { return kestu::PlatformPlacesWindows(); }

void BandToolBar::FloatingChanged(bool floating) {
  titleAction_->setVisible(floating);
  if (!floating) return;
  // Unplugged, the band keeps the size it had in its bar, and a floating band wraps its buttons
  // into as many rows as that width needs: it is given the width of one row with its title.
  const QSize docked = size();
  QTimer::singleShot(0, this, [this, docked] {
    if (isFloating()) resize(docked.width() + title_->sizeHint().width(), docked.height());
  });
}

bool BandToolBar::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* press = static_cast<QMouseEvent*>(event);
      if (isFloating() && press->button() == Qt::LeftButton &&
          title_->geometry().contains(press->position().toPoint())) {
        titleDrag_ = true;
        titleGrab_ = press->globalPosition().toPoint() - pos();
        return true;
      }
      break;
    }
    case QEvent::MouseMove:
      if (titleDrag_) {
        move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - titleGrab_);
        return true;
      }
      break;
    case QEvent::MouseButtonRelease: {
      const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      if (titleDrag_) {
        titleDrag_ = false;
        DockIfOverBar(global);
        return true;
      }
      // The grip's drag ends here too: the toolkit docks a band it found over a place in its bar;
      // one it left floating over the bar (a long drag) is docked here.
      const bool handled = QToolBar::event(event);
      if (isFloating()) QTimer::singleShot(0, this, [this, global] { DockIfOverBar(global); });
      return handled;
    }
    default:
      break;
  }
  return QToolBar::event(event);
}

void BandToolBar::DockIfOverBar(QPoint global) {
  auto* bar = qobject_cast<QMainWindow*>(parentWidget());
  if (!isFloating() || bar == nullptr || !bar->isVisible()) return;
  if (!QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size()).contains(global)) return;
  bar->addToolBar(Qt::TopToolBarArea, this);
  FloatingChanged(isFloating());  // docking from here tells no one
  show();
}

}  // namespace kestu
