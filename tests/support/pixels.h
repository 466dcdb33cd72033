#pragma once
// Pictures checked pixel by pixel: each pixel of an area against the colour it should have.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <functional>
#include <optional>
#include <string>

namespace kestu::test {

// Compares each pixel of `area` (the whole image when empty; only where it lies on the image) with
// want(x, y), passing over the pixels for which it gives nothing. Reports the first few mismatches,
// then fails `what` with their count. Returns the number of pixels compared.
inline int ExpectPixels(const QImage& image, const std::function<std::optional<QRgb>(int, int)>& want,
                        const QRect& area = {}, const std::string& what = {}) {
  const QRect r = area.isNull() ? image.rect() : area.intersected(image.rect());
  int checked = 0, wrong = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      const std::optional<QRgb> colour = want(x, y);
      if (!colour) continue;
      ++checked;
      if (image.pixel(x, y) != *colour && ++wrong <= 5) {
        ADD_FAILURE() << what << (what.empty() ? "" : ": ") << "pixel (" << x << ", " << y << ") is " << std::hex
                      << image.pixel(x, y) << ", wants " << *colour;
      }
    }
  }
  EXPECT_EQ(wrong, 0) << what;
  return checked;
}

}  // namespace kestu::test
