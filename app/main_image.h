#pragma once
// MainImage: the score view's picture control. It shows the last picture it was given and repaints
// it by itself; presses and pointer moves go to the window's handlers in view pixels.
#include <QImage>
#include <QWidget>
#include <functional>

namespace kestu {

class MainImage : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 385;
  static constexpr int kHeight = 144;

  explicit MainImage(QWidget* parent = nullptr);

  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

  std::function<void(Qt::MouseButton, int, int)> onMouseDown;
  std::function<void(int, int)> onMouseMove;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
};

}  // namespace kestu
