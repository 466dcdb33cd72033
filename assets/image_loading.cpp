#include "assets/image_loading.h"

#include <mutex>
#include <stdexcept>
#include <string>

#include "assets/images.h"

// Q_INIT_RESOURCE must be expanded outside any namespace; in a static library nothing else would
// pull the generated resource object into the program.
static void RegisterAssetsResource() { Q_INIT_RESOURCE(assets); }

namespace kestu::assets {

void InitResources() {
  static std::once_flag once;
  std::call_once(once, RegisterAssetsResource);
}

QImage WhiteKeyed(const QImage& image) {
  QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < keyed.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
    for (int x = 0; x < keyed.width(); ++x) {
      if ((line[x] & 0x00FFFFFFu) == 0x00FFFFFFu) line[x] = 0;
    }
  }
  return keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

namespace detail {

QImage LoadPicture(const char* name, QSize size, QImage::Format format) {
  InitResources();
  const QString path = QStringLiteral(":/kestu/") + QString::fromLatin1(name);
  QImage image(path, "XPM");
  if (image.isNull()) throw std::runtime_error(std::string("picture not readable: ") + name);
  if (image.size() != size) {
    throw std::runtime_error(std::string("picture has the wrong size: ") + name + " is " +
                             std::to_string(image.width()) + "x" +
                             std::to_string(image.height()) + ", wants " +
                             std::to_string(size.width()) + "x" + std::to_string(size.height()));
  }
  return image.convertToFormat(format);
}

}  // namespace detail
}  // namespace kestu::assets
