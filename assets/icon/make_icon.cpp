// kestu-make-icon OUT.png: the program's desktop icon, the running figure drawn at twice its size
// on a 48 x 48 transparent square.
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "assets/images.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: kestu-make-icon OUT.png\n", stderr);
    return 2;
  }
  const QImage& figure = kestu::assets::KestuImages().at(0);
  QImage icon(48, 48, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  {
    QPainter painter(&icon);
    const QImage big = figure.scaled(figure.size() * 2, Qt::KeepAspectRatio, Qt::FastTransformation);
    painter.drawImage((48 - big.width()) / 2, (48 - big.height()) / 2, big);
  }
  if (!icon.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
