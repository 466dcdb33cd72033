#pragma once
// Reading the compiled-in XPM pictures. Internal to the assets library.
#include <QImage>
#include <QSize>

namespace kestu::assets::detail {

// Loads ":/kestu/<name>" and converts it to `format`. Throws std::runtime_error naming the
// picture when it is missing, unreadable or not of `size`.
QImage LoadPicture(const char* name, QSize size, QImage::Format format);

}  // namespace kestu::assets::detail
