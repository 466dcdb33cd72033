// The desktop's icons, enlarged by whole factors from their 16-pixel drawings.
#include <QPixmap>
#include <stdexcept>
#include <string>

#include "assets/image_loading.h"
#include "assets/images.h"

namespace kestu::assets {
namespace {

constexpr int kArtSize = 16;

QImage Enlarged(const QImage& art, int size) {
  if (size < kArtSize || size % kArtSize != 0) {
    throw std::invalid_argument("icon size " + std::to_string(size) + " is not a multiple of 16");
  }
  // Nearest neighbour at a whole factor: every pixel becomes a square block, no blur.
  return art.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

QImage ProgramIcon(int size) {
  static const QImage art = detail::LoadPicture("icon/program.xpm", QSize(kArtSize, kArtSize),
                                                QImage::Format_ARGB32);
  return Enlarged(art, size);
}

QImage ScoreFileIcon(int size) {
  static const QImage art = detail::LoadPicture("icon/score_file.xpm", QSize(kArtSize, kArtSize),
                                                QImage::Format_ARGB32);
  return Enlarged(art, size);
}

QIcon ProgramWindowIcon() {
  QIcon icon;
  for (int size : kDesktopIconSizes) icon.addPixmap(QPixmap::fromImage(ProgramIcon(size)));
  return icon;
}

}  // namespace kestu::assets
