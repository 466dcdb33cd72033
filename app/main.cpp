// kestu: the program. One window; `kestu [FILE]` opens FILE as the Open command would, and
// --help and --version answer without a window (command_line.h). No settings of its own.
#include <QApplication>
#include <QFont>
#include <QTimer>
#include <cstdio>

#include "app/command_line.h"
#include "app/form1.h"
#include "app/qt_toolkit.h"
#include "app/toolkit_texts.h"
#include "app/window_font.h"
#include "assets/images.h"

namespace {

// The arguments after the program's name, as bytes: a file name is taken as the system gives it.
std::vector<std::string> Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

// Help and version on standard output, a wrong command line on standard error; the exit status.
int Answer(const kestu::CommandLine& line) {
  using Action = kestu::CommandLine::Action;
  if (line.action == Action::UsageError) {
    std::fprintf(stderr, "kestu: %s\n%s", line.error.c_str(), kestu::UsageText().c_str());
    return 2;
  }
  std::fputs((line.action == Action::Help ? kestu::HelpText() : kestu::VersionText()).c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Read before the toolkit starts, which needs a display: help needs none.
  const kestu::CommandLine early = kestu::ParseCommandLine(Arguments(argc, argv), true);
  if (early.action != kestu::CommandLine::Action::Run) return Answer(early);

  QApplication app(argc, argv);
  // The toolkit has taken its own options out of argv: anything else with a dash is a mistake.
  const kestu::CommandLine line = kestu::ParseCommandLine(Arguments(argc, argv), false);
  if (line.action != kestu::CommandLine::Action::Run) return Answer(line);

  QApplication::setApplicationName(kestu::kApplicationTitle);
  // Docks and task bars match the window to its desktop entry by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("kestu-sequencer"));
  QApplication::setWindowIcon(kestu::assets::ProgramWindowIcon());
  QApplication::setFont(kestu::WindowFont());
  kestu::UseJapaneseToolkitTexts(app);
  kestu::QtToolkit toolkit;
  int status = 0;
  {
    kestu::TForm1 form(toolkit, kestu::DefaultOutputProvider());
    toolkit.SetParent(&form);
    form.show();
    if (!line.file.empty()) {
      // Once the window is up, so that a message about the file has the window as its parent.
      QTimer::singleShot(0, &form, [&form, &line] { form.Guarded([&] { form.OpenFile(line.file); }); });
    }
    status = QApplication::exec();
  }
  return status;
}
