// The compiled-in pictures: the score view's fixed bitmaps pixel by pixel, and the image lists'
// counts, sizes, masks and toggle faces.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/images.h"
#include "tests/view/view_test_support.h"

namespace kestu::test {
namespace {

// A 5-bit channel widened to 8 bits the way 15-bit colours are shown.
constexpr int Expand5(int v) { return (v << 3) | (v >> 2); }
constexpr QRgb Rgb15(int r, int g, int b) { return qRgb(Expand5(r), Expand5(g), Expand5(b)); }

int CountDifferentPixels(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
  }
  return count;
}

TEST(AssetColours, FifteenBitColoursExpandToTheirKnownValues) {
  EXPECT_EQ(Rgb15(25, 29, 28), qRgb(0xCE, 0xEF, 0xE7));
  EXPECT_EQ(Rgb15(31, 18, 0), qRgb(0xFF, 0x94, 0x00));
  EXPECT_EQ(Rgb15(20, 24, 22), qRgb(0xA5, 0xC6, 0xB5));
  EXPECT_EQ(Rgb15(31, 15, 7), qRgb(0xFF, 0x7B, 0x39));
}

struct PictureCase {
  const char* name;
  const QImage& (*get)();
  int width;
  int height;
};

class HiddenPictureSize : public testing::TestWithParam<PictureCase> {};

TEST_P(HiddenPictureSize, HasItsSizeAndIsOpaqueRgb) {
  const QImage& image = GetParam().get();
  EXPECT_EQ(image.width(), GetParam().width);
  EXPECT_EQ(image.height(), GetParam().height);
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
}

INSTANTIATE_TEST_SUITE_P(
    All, HiddenPictureSize,
    testing::Values(PictureCase{"BGImage", assets::BGImage, 1, 144},
                    PictureCase{"CounterImage", assets::CounterImage, 1, 107},
                    PictureCase{"LineImage", assets::LineImage, 1, 107},
                    PictureCase{"ToonImage", assets::ToonImage, 24, 82},
                    PictureCase{"LoopFImage", assets::LoopFImage, 13, 66},
                    PictureCase{"LoopLImage", assets::LoopLImage, 13, 66},
                    PictureCase{"LastImage", assets::LastImage, 8, 66},
                    PictureCase{"CLineImage", assets::CLineImage, 24, 2}),
    [](const testing::TestParamInfo<PictureCase>& info) { return info.param.name; });

TEST(HiddenPictures, BackgroundHasTheWhiteBandAndTheFiveStaffLines) {
  ExpectPixels(assets::BGImage(), [](int, int y) { return BackgroundAt(y); });
}

TEST(HiddenPictures, MeasureAndBeatLinesAreDottedOnEvenRows) {
  ExpectPixels(assets::CounterImage(), [](int, int y) { return y % 2 == 0 ? kMeasureOrange : kWhite; });
  ExpectPixels(assets::LineImage(), [](int, int y) { return y % 2 == 0 ? kBeatGreen : kWhite; });
}

TEST(HiddenPictures, LedgerLineIsSolidBlack) {
  ExpectPixels(assets::CLineImage(), [](int, int) { return kBlack; });
}

// The repeat signs and the final bar: full-height bars in the given columns, 2 x 2 dots in the
// dot columns at rows 24-25 and 40-41, white everywhere else.
struct SignCase {
  const char* name;
  const QImage& (*get)();
  std::set<int> barColumns;
  std::set<int> dotColumns;
};

class SignPicture : public testing::TestWithParam<SignCase> {};

TEST_P(SignPicture, HasItsBarsAndDotsExactly) {
  const SignCase& sign = GetParam();
  ExpectPixels(sign.get(), [&](int x, int y) {
    const bool dotRow = y == 24 || y == 25 || y == 40 || y == 41;
    const bool black = sign.barColumns.count(x) != 0 || (dotRow && sign.dotColumns.count(x) != 0);
    return black ? kBlack : kWhite;
  });
}

INSTANTIATE_TEST_SUITE_P(
    All, SignPicture,
    testing::Values(SignCase{"LoopFImage", assets::LoopFImage, {0, 1, 2, 3, 7}, {11, 12}},
                    SignCase{"LoopLImage", assets::LoopLImage, {5, 9, 10, 11, 12}, {0, 1}},
                    SignCase{"LastImage", assets::LastImage, {0, 4, 5, 6, 7}, {}}),
    [](const testing::TestParamInfo<SignCase>& info) { return info.param.name; });

TEST(HiddenPictures, ClefLiesOverFiveFullStaffSegments) {
  const QImage& toon = assets::ToonImage();
  int clefPixels = 0;
  int clefPixelsAboveStaff = 0;
  int clefPixelsBelowStaff = 0;
  for (int y = 0; y < toon.height(); ++y) {
    const bool segmentRow = IsStaffLineRow(y + 40);
    for (int x = 0; x < toon.width(); ++x) {
      const QRgb p = toon.pixel(x, y);
      ASSERT_TRUE(p == kBlack || p == kWhite) << "two colours only, (" << x << ", " << y << ")";
      if (segmentRow) {
        EXPECT_EQ(p, kBlack) << "staff segment at (" << x << ", " << y << ")";
      } else if (p == kBlack) {
        ++clefPixels;
        clefPixelsAboveStaff += y < 6;
        clefPixelsBelowStaff += y > 71;
      }
    }
  }
  // A clef, not just lines: a body of ink that reaches above the top and below the bottom line.
  EXPECT_GT(clefPixels, 200);
  EXPECT_GT(clefPixelsAboveStaff, 0);
  EXPECT_GT(clefPixelsBelowStaff, 0);
}

struct KeyedCase {
  const char* name;
  const QImage& (*plain)();
  const QImage& (*keyed)();
};

class KeyedPicture : public testing::TestWithParam<KeyedCase> {};

TEST_P(KeyedPicture, WhiteIsTransparentAndBlackStaysOpaque) {
  const QImage& plain = GetParam().plain();
  const QImage& keyed = GetParam().keyed();
  ASSERT_EQ(keyed.size(), plain.size());
  EXPECT_EQ(keyed.format(), QImage::Format_ARGB32_Premultiplied);
  ExpectPixels(keyed, [&](int x, int y) { return plain.pixel(x, y) == kWhite ? 0u : kBlack; });
}

INSTANTIATE_TEST_SUITE_P(
    All, KeyedPicture,
    testing::Values(KeyedCase{"ToonImage", assets::ToonImage, assets::ToonImageKeyed},
                    KeyedCase{"LoopFImage", assets::LoopFImage, assets::LoopFImageKeyed},
                    KeyedCase{"LoopLImage", assets::LoopLImage, assets::LoopLImageKeyed},
                    KeyedCase{"LastImage", assets::LastImage, assets::LastImageKeyed}),
    [](const testing::TestParamInfo<KeyedCase>& info) { return info.param.name; });

TEST(WhiteKeyed, OnlyPureWhiteBecomesTransparent) {
  QImage image(3, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, kWhite);
  image.setPixel(1, 0, qRgb(0xFE, 0xFF, 0xFF));
  image.setPixel(2, 0, qRgb(0x12, 0x34, 0x56));
  const QImage keyed = assets::WhiteKeyed(image);
  EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
  EXPECT_EQ(keyed.pixel(1, 0), qRgb(0xFE, 0xFF, 0xFF));
  EXPECT_EQ(keyed.pixel(2, 0), qRgb(0x12, 0x34, 0x56));
}

struct ListCase {
  const char* name;
  const std::vector<QImage>& (*get)();
  size_t count;
  int width;
  int height;
};

class ImageList : public testing::TestWithParam<ListCase> {};

TEST_P(ImageList, HasItsEntriesOfItsSize) {
  const std::vector<QImage>& list = GetParam().get();
  ASSERT_EQ(list.size(), GetParam().count);
  for (size_t i = 0; i < list.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(list[i].size(), QSize(GetParam().width, GetParam().height));
    EXPECT_EQ(list[i].format(), QImage::Format_ARGB32_Premultiplied);
  }
}

TEST_P(ImageList, EntriesAreDistinctDrawings) {
  const std::vector<QImage>& list = GetParam().get();
  for (size_t i = 0; i < list.size(); ++i) {
    for (size_t j = i + 1; j < list.size(); ++j) {
      EXPECT_NE(list[i], list[j]) << "entries " << i << " and " << j << " are the same picture";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, ImageList,
    testing::Values(ListCase{"SoundImages", assets::SoundImages, 18, 16, 16},
                    ListCase{"KestuImages", assets::KestuImages, 5, 16, 22},
                    ListCase{"CommonImages", assets::CommonImages, 5, 16, 16},
                    ListCase{"PlayerImages", assets::PlayerImages, 6, 16, 16},
                    ListCase{"etcImages", assets::etcImages, 14, 16, 16}),
    [](const testing::TestParamInfo<ListCase>& info) { return info.param.name; });

TEST(SoundImages, NoteIconsAreDrawnThroughAMask) {
  // Every note and tool icon leaves some of its square out, so the staff shows around it, and
  // covers enough of it to be seen.
  const auto& sounds = assets::SoundImages();
  for (int i = 0; i <= assets::kEraserIcon; ++i) {
    int transparent = 0;
    int opaque = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const int alpha = qAlpha(sounds[static_cast<size_t>(i)].pixel(x, y));
        EXPECT_TRUE(alpha == 0 || alpha == 255) << "entry " << i << " (" << x << ", " << y << ")";
        transparent += alpha == 0;
        opaque += alpha == 255;
      }
    }
    EXPECT_GT(transparent, 0) << "entry " << i;
    EXPECT_GT(opaque, 40) << "entry " << i;
  }
}

TEST(SoundImages, HoverMarkerIsFourOrangeCornersAroundAnEmptyCell) {
  const QRgb orange = qRgb(0xFF, 0x7B, 0x39);
  const QImage& marker = assets::SoundImages()[assets::kHoverMarker];
  // Each corner: a 5-pixel arm along each edge, two pixels thick.
  auto inBracket = [](int x, int y) {
    const int ex = x < 8 ? x : 15 - x;  // distance from the nearer vertical edge
    const int ey = y < 8 ? y : 15 - y;
    return (ex < 2 && ey < 5) || (ey < 2 && ex < 5);
  };
  ExpectPixels(marker, [&](int x, int y) { return inBracket(x, y) ? orange : 0u; });
}

TEST(ToggleFaces, OnAndDownFacesDifferVisiblyFromOffAndUp) {
  // The transport's and the extra buttons' faces come in pairs: off or up, then on or down.
  for (const std::vector<QImage>* list : {&assets::PlayerImages(), &assets::etcImages()}) {
    for (size_t off = 0; off + 1 < list->size(); off += 2) {
      // A quarter of the face changes: a colour flip of a few pixels would not be seen at 16 x 16.
      EXPECT_GE(CountDifferentPixels((*list)[off], (*list)[off + 1]), 64) << "faces " << off << " and " << off + 1;
    }
  }
}

TEST(KestuImages, RunningFramesDifferAndStayInTheirBox) {
  const auto& frames = assets::KestuImages();
  EXPECT_GE(CountDifferentPixels(frames[0], frames[1]), 10);
  // Drawn at y = 11 (frame 0) and y = 10 (frame 1), a frame must not reach past the white band's
  // last row (31) onto the staff background: frame 0's bottom row stays empty.
  for (int x = 0; x < 16; ++x) EXPECT_EQ(qAlpha(frames[0].pixel(x, 21)), 0) << "x " << x;
}

TEST(Resources, InitRegistersTheResourcePaths) {
  assets::InitResources();
  assets::InitResources();
  EXPECT_TRUE(QFile::exists(":/kestu/pictures/bg.xpm"));
  EXPECT_TRUE(QFile::exists(":/kestu/sound/18_hover_marker.xpm"));
}

// Icons need a QGuiApplication: made by the first test that asks, kept for the rest of the run.
void GuiApp() {
  static int argc = 1;
  static char name[] = "assets_test";
  static char* argv[] = {name, nullptr};
  if (QGuiApplication::instance() == nullptr) new QGuiApplication(argc, argv);
}

TEST(ToolbarIcon, StaysSharpOnScaledScreens) {
  GuiApp();
  const QImage& face = assets::SoundImages()[0];
  const QIcon icon = assets::ToolbarIcon(assets::SoundImages(), 0);
  for (int factor : {2, 3}) {
    const QImage shown = icon.pixmap(QSize(16, 16), factor).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(shown.size(), QSize(16, 16) * factor);
    ExpectPixels(shown, [&](int x, int y) { return face.pixel(x / factor, y / factor); }, {},
                 "at " + std::to_string(factor) + "x");
  }
}

TEST(ToolbarIcon, CarriesTheFaceAndRejectsAnIndexOutsideTheList) {
  GuiApp();
  const auto& player = assets::PlayerImages();
  const QIcon icon = assets::ToolbarIcon(player, 3);
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
            player[3]);
  EXPECT_THROW(assets::ToolbarIcon(player, -1), std::out_of_range);
  EXPECT_THROW(assets::ToolbarIcon(player, 6), std::out_of_range);
}

}  // namespace
}  // namespace kestu::test
