#include "app/main_image.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestu {

MainImage::MainImage(QWidget* parent) : QWidget(parent) {
  setObjectName("MainImage");
  setFixedSize(kWidth, kHeight);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void MainImage::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void MainImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.isNull()) {
    painter.fillRect(rect(), Qt::white);
    return;
  }
  painter.drawImage(0, 0, picture_);
}

void MainImage::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (onMouseDown) onMouseDown(event->button(), p.x(), p.y());
}

void MainImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (onMouseMove) onMouseMove(p.x(), p.y());
}

}  // namespace kestu
