#pragma once
// RenderScore: the whole score view composed afresh into an off-screen image, from the document and
// the inputs below. The window copies the result onto MainImage in one operation, so the view never
// shows a half-drawn picture. GUI thread only (it draws text, which needs the QGuiApplication).
#include <QFont>
#include <QImage>
#include <QSize>

#include "score/document.h"
#include "view/view_geometry.h"

namespace kestu::view {

struct ScoreViewInputs {
  int scroll = 0;  // s, the scroll bar's position, 0..kScrollBarMax (clamped into it)
  bool playing = false;
  int playStep = 0;  // drawn as the running figure while playing
  // The pointer in view pixels and the tool it shows. x = -1 asks for a plain redraw: no hover ghost.
  int x = -1;
  int y = -1;
  int tool = -1;
  QSize viewSize{kViewWidth, kViewHeight};  // the view's size at the time of the call
};

// The measure numbers' font when the caller has none of its own: the window's font, 12 pixels high,
// drawn without smoothing so the digits are black.
QFont DefaultNumberFont();

// The picture of the view: Format_RGB32, inputs.viewSize. The loop switch, the time signature, the
// end mark and CurrentTool (for the ledger preview) are read from the document.
QImage RenderScore(const ScoreDocument& document, const ScoreViewInputs& inputs, const QFont& numberFont);
QImage RenderScore(const ScoreDocument& document, const ScoreViewInputs& inputs);

}  // namespace kestu::view
