// kestu-assets-preview OUTDIR: writes every picture and image list as PNG at 4x zoom, so the
// pixel art can be looked at and reviewed. Lists are written as sheets: the top row over a
// checkerboard (what the mask leaves out shows as squares), the middle row over the staff colour,
// the bottom row over a toolbar grey. staff_demo.png puts every note icon on a stretch of staff.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "assets/images.h"

namespace {

namespace assets = kestu::assets;

constexpr int kZoom = 4;

QImage Zoomed(const QImage& image) {
  return image.scaled(image.width() * kZoom, image.height() * kZoom, Qt::IgnoreAspectRatio,
                      Qt::FastTransformation);
}

void FillCheckerboard(QPainter& painter, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); y += 2) {
    for (int x = area.left(); x <= area.right(); x += 2) {
      const bool dark = ((x - area.left()) / 2 + (y - area.top()) / 2) % 2 != 0;
      painter.fillRect(QRect(x, y, 2, 2), dark ? QColor(0xB0, 0xB0, 0xB0) : QColor(0xF0, 0xF0, 0xF0));
    }
  }
}

QImage ListSheet(const std::vector<QImage>& list) {
  const QSize entry = list.front().size();
  const int gap = 2;
  const int width = static_cast<int>(list.size()) * (entry.width() + gap) + gap;
  const int height = 3 * (entry.height() + gap) + gap;
  QImage sheet(width, height, QImage::Format_RGB32);
  sheet.fill(QColor(0x40, 0x40, 0x40));
  QPainter painter(&sheet);
  const QColor backs[] = {QColor(), QColor(0xCE, 0xEF, 0xE7), QColor(0xEF, 0xEF, 0xEF)};
  for (int row = 0; row < 3; ++row) {
    for (size_t i = 0; i < list.size(); ++i) {
      const QRect cell(gap + static_cast<int>(i) * (entry.width() + gap),
                       gap + row * (entry.height() + gap), entry.width(), entry.height());
      if (row == 0) {
        FillCheckerboard(painter, cell);
      } else {
        painter.fillRect(cell, backs[row]);
      }
      painter.drawImage(cell.topLeft(), list[i]);
    }
  }
  painter.end();
  return sheet;
}

// Every instrument on the staff at a different row, with the clef and both repeat signs, drawn
// the way the score view composes them.
QImage StaffDemo() {
  QImage demo(32 * 17 + 50 + 16, 144, QImage::Format_RGB32);
  QPainter painter(&demo);
  painter.drawImage(demo.rect(), assets::BGImage());
  painter.drawImage(1, 40, assets::ToonImageKeyed());
  painter.drawImage(42, 46, assets::LoopFImageKeyed());
  const auto& sounds = assets::SoundImages();
  for (int c = 1; c <= 17; ++c) {
    const int x = 32 * c + 50;
    painter.drawImage(x, 32, (c - 1) % 4 == 0 ? assets::CounterImage() : assets::LineImage());
    if (c == 17) {
      painter.drawImage(x - 7, 46, assets::LoopLImageKeyed());
      break;
    }
    const int row = 1 + (c * 5) % 13;
    if (row >= 12) painter.drawImage(x - 12, 128, assets::CLineImage());
    painter.drawImage(x - 8, 8 * row + 24, sounds[static_cast<size_t>(c - 1)]);
    if (c <= 15) painter.drawImage(x - 8, 8 * ((row + 6) % 11 + 1) + 24, sounds[0]);
  }
  painter.drawImage(32 * 3 + 50 - 8, 8 * 7 + 24, sounds[assets::kHoverMarker]);
  painter.drawImage(150, 11, assets::KestuImages()[0]);
  painter.drawImage(166, 10, assets::KestuImages()[1]);
  painter.end();
  return demo;
}

bool Write(const QDir& dir, const char* name, const QImage& image) {
  const QString path = dir.filePath(QString::fromLatin1(name));
  if (!Zoomed(image).save(path, "PNG")) {
    std::fprintf(stderr, "kestu-assets-preview: cannot write %s\n", path.toLocal8Bit().constData());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: kestu-assets-preview OUTDIR\n", stderr);
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(dir.path())) {
    std::fprintf(stderr, "kestu-assets-preview: cannot create %s\n", argv[1]);
    return 1;
  }
  try {
    const struct {
      const char* name;
      const QImage& image;
    } pictures[] = {
        {"BGImage.png", assets::BGImage()},       {"CounterImage.png", assets::CounterImage()},
        {"LineImage.png", assets::LineImage()},   {"CLineImage.png", assets::CLineImage()},
        {"ToonImage.png", assets::ToonImage()},   {"LoopFImage.png", assets::LoopFImage()},
        {"LoopLImage.png", assets::LoopLImage()}, {"LastImage.png", assets::LastImage()},
    };
    const struct {
      const char* name;
      const std::vector<QImage>& list;
    } lists[] = {
        {"SoundImages.png", assets::SoundImages()},   {"KestuImages.png", assets::KestuImages()},
        {"CommonImages.png", assets::CommonImages()}, {"PlayerImages.png", assets::PlayerImages()},
        {"etcImages.png", assets::etcImages()},
    };
    bool ok = true;
    for (const auto& p : pictures) ok = Write(dir, p.name, p.image) && ok;
    for (const auto& l : lists) ok = Write(dir, l.name, ListSheet(l.list)) && ok;
    ok = Write(dir, "staff_demo.png", StaffDemo()) && ok;
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestu-assets-preview: %s\n", e.what());
    return 1;
  }
}
