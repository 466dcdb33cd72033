// kestu-cli snapshot FILE OUT.png [--scroll S]: reads FILE as check does and writes the score view's
// plain picture at scroll offset S (default 0), not playing, as PNG. Needs no display: without
// QT_QPA_PLATFORM it draws on the offscreen platform. Exit status 0 after a clean read and write,
// 1 after a message about the file or a failed write, 2 for wrong arguments. OUT.png is put in
// place only when written whole; it is never FILE itself.
#include <cstdio>
#include <string>

#include "commands.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <charconv>
#include <memory>

#include "document_loading.h"
#include "output_checks.h"
#include "score/errors.h"
#include "score/replacing_output.h"
#include "view/render_score.h"

namespace kestu::cli {
namespace {

int SnapshotUsage() {
  std::fprintf(stderr, "usage: kestu-cli snapshot FILE OUT.png [--scroll S]  (S in 0..%d)\n", kScrollBarMax);
  return 2;
}

bool ParseScroll(const std::string& text, int& scroll) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, scroll);
  return error == std::errc() && stop == end && scroll >= 0 && scroll <= kScrollBarMax;
}

// The text of the measure numbers needs a QGuiApplication; make one unless the caller has.
std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
  if (QGuiApplication::instance() != nullptr) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "kestu-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int Snapshot(const Args& args) {
  int scroll = 0;
  if (args.size() == 4 && args[2] == "--scroll") {
    if (!ParseScroll(args[3], scroll)) return SnapshotUsage();
  } else if (args.size() != 2) {
    return SnapshotUsage();
  }
  const auto app = EnsureGuiApplication();
  ScoreDocument doc;
  const bool clean = LoadForCli(doc, args[0]);
  view::ScoreViewInputs inputs;
  inputs.scroll = scroll;
  const QImage picture = view::RenderScore(doc, inputs);
  if (OutputIsTheInput(args[0], args[1])) return 1;
  // Encoded in memory first (a few kilobytes), so that every write to the file is checked here.
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  try {
    if (!picture.save(&buffer, "PNG")) throw EFCreateError(args[1]);
    ReplacingOutput out(args[1]);
    out.Write({png.constData(), static_cast<size_t>(png.size())});
    out.Commit();
  } catch (const std::exception& e) {
    return ReportError(e);
  }
  return clean ? 0 : 1;
}

}  // namespace kestu::cli

