#pragma once
#include <QFont>

namespace kestu {

// The window's font: "ＭＳ Ｐゴシック" 12 pixels high, falling back to IPAPGothic, which is made to
// the same metrics.
QFont WindowFont();

}  // namespace kestu
