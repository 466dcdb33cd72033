#pragma once
#include <QMainWindow>

class QToolBar;

namespace kestu {

// A control bar: a strip 56 pixels high holding toolbar bands in two rows. The user may slide a
// band along its row by its grip, move it to the other row, float it and dock it back; the bar's
// height never follows its bands, so the score view below it stays where it is. Bands dock only
// into the bar they came from.
class ControlBar : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kHeight = 56;

  ControlBar(const char* name, QWidget* parent);

  // Puts `band` at the start of a new row below the rows added before.
  void AddRow(QToolBar* band);

 private:
  bool firstRow_ = true;
};

}  // namespace kestu
