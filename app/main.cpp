// kestu: the program. One window; no command line, no settings of its own.
#include <QApplication>
#include <QFont>

#include "app/form1.h"
#include "app/qt_toolkit.h"
#include "app/toolkit_texts.h"
#include "app/window_font.h"
#include "assets/images.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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
    status = QApplication::exec();
  }
  return status;
}
