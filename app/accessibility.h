#pragma once
// What assistive technology (screen readers, switch access) is told about the window's controls.
// The toolbar buttons show only pictures, so each gets a Japanese name and a role that says how it
// behaves: the palette and the time signature are groups in which one is chosen (radio buttons),
// the switches are buttons that stay pressed. Separators are separators, and the bands' empty
// parts (the extension buttons of bands that never overflow, the zero-size row leads) are left out
// of the tree, so that a reader meets only what a user can see and use.
#include <QAccessible>
#include <QToolButton>
#include <QWidget>

namespace kestu {

// The toolkit answers for its own classes by their names before any factory of ours is asked, so the
// bands (band_tool_bar.h), their buttons and their separators are classes of our own, which our
// factory answers for.
class BandToolButton : public QToolButton {
  Q_OBJECT
 public:
  using QToolButton::QToolButton;
};

class BandSeparator : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
};

// Installs the window's accessibility factory (once per process; later calls do nothing).
void InstallAccessibility();

// The role a widget takes in the tree, whatever the toolkit would give it.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// Leaves `widget` (and what it holds) out of the tree.
void HideFromAccessibility(QWidget* widget);

}  // namespace kestu
