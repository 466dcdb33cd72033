// kestu-make-icon OUTDIR: the desktop's icons as PNG in a hicolor theme tree:
// OUTDIR/NxN/apps/kestu-sequencer.png and OUTDIR/NxN/mimetypes/application-x-kestu-score.png for
// every installed size N.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <cstdio>

#include "assets/images.h"

namespace {

bool Write(const QImage& image, const QString& path) {
  if (!QDir().mkpath(QFileInfo(path).path()) || !image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: kestu-make-icon OUTDIR\n", stderr);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (int size : kestu::assets::kDesktopIconSizes) {
    const QString dir = out + QStringLiteral("/%1x%1/").arg(size);
    if (!Write(kestu::assets::ProgramIcon(size), dir + "apps/kestu-sequencer.png") ||
        !Write(kestu::assets::ScoreFileIcon(size), dir + "mimetypes/application-x-kestu-score.png")) {
      return 1;
    }
  }
  return 0;
}
