#pragma once
// The program's pictures: the fixed bitmaps the score view composes, and the image lists that hold
// the toolbar faces, the note icons and the running figure.
//
// All pictures are compiled in. Each accessor loads its picture once, on first use, and hands out
// the same image afterwards; a picture that is missing or has the wrong size throws
// std::runtime_error naming it (a broken build, never a user's doing). The images need no
// QGuiApplication; ToolbarIcon does. GUI thread only.
#include <QIcon>
#include <QImage>
#include <vector>

namespace kestu::assets {

// Registers the compiled-in resource (":/kestu/..."). Every accessor calls it, so callers need it
// only to read the resource paths themselves. Safe to call any number of times.
void InitResources();

// Opaque pictures, Format_RGB32, copied as they are (white pixels included).
const QImage& BGImage();       // 1 x 144: one column of the background with the staff
const QImage& CounterImage();  // 1 x 107: the dotted measure line
const QImage& LineImage();     // 1 x 107: the dotted beat line
const QImage& CLineImage();    // 24 x 2: the ledger line

// Two-colour pictures, Format_RGB32: black shapes on white, where white is the transparent key.
// Drawing them opaque would paint white boxes over the staff; use the keyed versions below.
const QImage& ToonImage();   // 24 x 82: the treble clef over five staff segments
const QImage& LoopFImage();  // 13 x 66: begin-repeat sign
const QImage& LoopLImage();  // 13 x 66: end-repeat sign
const QImage& LastImage();   // 8 x 66: final bar

// The same four with every white pixel fully transparent and every other pixel opaque
// (Format_ARGB32_Premultiplied), ready for QPainter::drawImage.
const QImage& ToonImageKeyed();
const QImage& LoopFImageKeyed();
const QImage& LoopLImageKeyed();
const QImage& LastImageKeyed();

// A copy of `image` in Format_ARGB32_Premultiplied with pure white (#FFFFFF) made transparent.
QImage WhiteKeyed(const QImage& image);

// Image lists. Entries are Format_ARGB32_Premultiplied; pixels outside an icon's shape are fully
// transparent, which is the mask they are drawn through.
const std::vector<QImage>& SoundImages();   // 18 of 16 x 16
const std::vector<QImage>& KestuImages();   // 5 of 16 x 22
const std::vector<QImage>& CommonImages();  // 5 of 16 x 16
const std::vector<QImage>& PlayerImages();  // 6 of 16 x 16
const std::vector<QImage>& etcImages();     // 14 of 16 x 16

// SoundImages: entry n - 1 is instrument n (1..15), then these three.
inline constexpr int kEndMarkIcon = 15;
inline constexpr int kEraserIcon = 16;
inline constexpr int kHoverMarker = 17;

// The desktop's icons: the program's own and its score files', 16 x 16 pixel art drawn at `size`
// pixels, a multiple of 16, by repeating every pixel size / 16 times each way so it stays sharp.
// Throws std::invalid_argument for another size. kDesktopIconSizes are the sizes installed.
inline constexpr int kDesktopIconSizes[] = {16, 32, 48, 128, 256};
QImage ProgramIcon(int size);
QImage ScoreFileIcon(int size);
// The program's icon at every installed size, for the window.
QIcon ProgramWindowIcon();

// A toolbar face as an icon (Qt derives the greyed disabled look from it), with the face also
// enlarged 2, 3 and 4 times pixel for pixel for scaled screens. Needs a QGuiApplication. Throws std::out_of_range for an index outside the list.
QIcon ToolbarIcon(const std::vector<QImage>& list, int index);

}  // namespace kestu::assets
