#include "app/control_bar.h"

#include <QToolBar>

#include "app/accessibility.h"

namespace kestu {

ControlBar::ControlBar(const char* name, QWidget* parent) : QMainWindow(parent, Qt::Widget) {
  setObjectName(name);
  setFixedHeight(kHeight);
  // Only the bands' row area: the empty middle keeps the height when a band leaves.
  auto* filler = new QWidget(this);
  filler->setMinimumSize(0, 0);
  HideFromAccessibility(filler);  // nothing to read or use there
  setCentralWidget(filler);
  // The toolkit would offer a menu that hides bands with no way back; the bar has no menu.
  setContextMenuPolicy(Qt::PreventContextMenu);
  setAnimated(false);  // a band snaps into its row
}

void ControlBar::AddRow(QToolBar* band) {
  if (!firstRow_) addToolBarBreak(Qt::TopToolBarArea);
  firstRow_ = false;
  // The toolkit slides a band along its row by widening the band before it; the first band of a
  // row has none and would stay fixed. Each row therefore starts with an empty lead of no size,
  // which takes up the room a band is slid by.
  auto* lead = new QToolBar(this);
  lead->setObjectName(band->objectName() + QStringLiteral("Lead"));
  lead->setMovable(false);
  lead->setFloatable(false);
  lead->setFixedSize(0, 0);
  lead->setAllowedAreas(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, lead);
  band->setAllowedAreas(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, band);
}

}  // namespace kestu
