// The score view's redraw: the cost of one pointer move over a busy view.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <memory>

#include "score/document.h"
#include "view/render_score.h"

namespace {

// The measure numbers are text, which needs a QGuiApplication. It lives for one run of a case:
// one kept until exit would be destroyed after Qt's own globals, and crash.
class ScopedGuiApplication {
 public:
  ScopedGuiApplication() {
    if (QGuiApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
  }

 private:
  int argc_ = 1;
  char name_[12] = "kestu-bench";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

// Every visible column holds 3 notes, two of them below the staff with their ledger lines; the
// loop switch is on and the pointer hovers over row 12 with an instrument (ledger preview, marker,
// tool icon).
void BM_RenderScoreBusyViewWithGhost(benchmark::State& state) {
  const ScopedGuiApplication app;
  kestu::ScoreDocument doc;
  for (int column = 1; column <= kestu::kColumns; ++column) {
    doc.PlaceNote(3 + column % 7, column, 1 + column % 15);
    doc.PlaceNote(12, column, 1 + (column + 5) % 15);
    doc.PlaceNote(13, column, 1 + (column + 9) % 15);
  }
  doc.SetLoop(true);
  doc.CurrentTool = 4;
  kestu::view::ScoreViewInputs in;
  in.scroll = 1000 + 82 - 16;  // a column line 16 pixels inside each edge: 16 columns visited
  in.x = 200;
  in.y = 128;
  in.tool = 4;
  const QFont font = kestu::view::DefaultNumberFont();
  for (auto _ : state) {
    QImage picture = kestu::view::RenderScore(doc, in, font);
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_RenderScoreBusyViewWithGhost)->Unit(benchmark::kMicrosecond);

}  // namespace
