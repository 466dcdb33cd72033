// The score view's fixed pictures and the toolbar icon helper.
#include "assets/images.h"

#include <QPixmap>
#include <stdexcept>
#include <string>

#include "assets/image_loading.h"

namespace kestu::assets {
namespace {

QImage Opaque(const char* name, int width, int height) {
  return detail::LoadPicture(name, QSize(width, height), QImage::Format_RGB32);
}

}  // namespace

const QImage& BGImage() {
  static const QImage image = Opaque("pictures/bg.xpm", 1, 144);
  return image;
}

const QImage& CounterImage() {
  static const QImage image = Opaque("pictures/counter.xpm", 1, 107);
  return image;
}

const QImage& LineImage() {
  static const QImage image = Opaque("pictures/line.xpm", 1, 107);
  return image;
}

const QImage& CLineImage() {
  static const QImage image = Opaque("pictures/cline.xpm", 24, 2);
  return image;
}

const QImage& ToonImage() {
  static const QImage image = Opaque("pictures/toon.xpm", 24, 82);
  return image;
}

const QImage& LoopFImage() {
  static const QImage image = Opaque("pictures/loopf.xpm", 13, 66);
  return image;
}

const QImage& LoopLImage() {
  static const QImage image = Opaque("pictures/loopl.xpm", 13, 66);
  return image;
}

const QImage& LastImage() {
  static const QImage image = Opaque("pictures/last.xpm", 8, 66);
  return image;
}

const QImage& ToonImageKeyed() {
  static const QImage image = WhiteKeyed(ToonImage());
  return image;
}

const QImage& LoopFImageKeyed() {
  static const QImage image = WhiteKeyed(LoopFImage());
  return image;
}

const QImage& LoopLImageKeyed() {
  static const QImage image = WhiteKeyed(LoopLImage());
  return image;
}

const QImage& LastImageKeyed() {
  static const QImage image = WhiteKeyed(LastImage());
  return image;
}

QIcon ToolbarIcon(const std::vector<QImage>& list, int index) {
  if (index < 0 || static_cast<size_t>(index) >= list.size()) {
    throw std::out_of_range("toolbar face index " + std::to_string(index) + " outside a list of " +
                            std::to_string(list.size()));
  }
  // On a scaled screen the toolkit would smooth a 16-pixel face up to 32 or 48 device pixels and
  // blur it; whole-factor enlargements of our own keep every pixel a sharp square.
  const QImage& face = list[static_cast<size_t>(index)];
  QIcon icon(QPixmap::fromImage(face));
  for (int factor = 2; factor <= 4; ++factor) {
    const QImage enlarged = face.scaled(face.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    icon.addPixmap(QPixmap::fromImage(enlarged));
  }
  return icon;
}

}  // namespace kestu::assets
