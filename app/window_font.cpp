#include "app/window_font.h"

#include <QStringList>

namespace kestu {

QFont WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
  font.setPixelSize(12);
  return font;
}

}  // namespace kestu
