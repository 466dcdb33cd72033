#include "app/accessibility.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QToolBar>
#include <QVariant>

#include "app/band_tool_bar.h"
#include "app/control_bar.h"

namespace kestu {

namespace {

constexpr const char* kRoleProperty = "kestuAccessibleRole";
constexpr const char* kHiddenProperty = "kestuAccessibleHidden";

bool Hidden(const QWidget* w) {
  return w->isWindow() || w->property(kHiddenProperty).toBool() || w->isHidden() || w->size().isEmpty();
}

// A toolbar button with the role it was given: its name, its down state and the action that
// clicks it, as a user's click would.
class BandButton : public QAccessibleWidget {
 public:
  BandButton(QAbstractButton* button, QAccessible::Role role) : QAccessibleWidget(button, role) {}

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    const auto* b = static_cast<const QAbstractButton*>(widget());
    if (b->isCheckable()) {
      s.checkable = true;
      s.checked = b->isChecked();
      if (role() != QAccessible::RadioButton) s.pressed = b->isChecked();
    }
    return s;
  }
  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (widget()->isEnabled()) names.prepend(role() == QAccessible::PushButton && !static_cast<const QAbstractButton*>(widget())->isCheckable() ? pressAction() : toggleAction());
    return names;
  }
  void doAction(const QString& action) override {
    if (!widget()->isEnabled()) return;
    if (action == pressAction() || action == toggleAction()) {
      static_cast<QAbstractButton*>(widget())->click();
    } else {
      QAccessibleWidget::doAction(action);
    }
  }
};

// A band or a control bar: its children as the user sees them, without the empty parts.
class BandContainer : public QAccessibleWidget {
 public:
  BandContainer(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

  int childCount() const override { return static_cast<int>(Shown().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> shown = Shown();
    if (index < 0 || index >= shown.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(shown[index]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr || !child->object() || !child->object()->isWidgetType()) return -1;
    return static_cast<int>(Shown().indexOf(static_cast<QWidget*>(child->object())));
  }

 private:
  QList<QWidget*> Shown() const {
    QList<QWidget*> shown;
    for (QObject* o : widget()->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w != nullptr && !Hidden(w)) shown.append(w);
    }
    return shown;
  }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  auto* w = qobject_cast<QWidget*>(object);
  if (w == nullptr) return nullptr;
  const QVariant role = w->property(kRoleProperty);
  if (role.isValid()) {
    const auto r = static_cast<QAccessible::Role>(role.toInt());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return new BandButton(button, r);
    return new QAccessibleWidget(w, r);
  }
  if (qobject_cast<BandSeparator*>(w) != nullptr) return new QAccessibleWidget(w, QAccessible::Separator);
  if (qobject_cast<BandToolBar*>(w) != nullptr) return new BandContainer(w, QAccessible::ToolBar);
  if (qobject_cast<ControlBar*>(w) != nullptr) return new BandContainer(w, QAccessible::Grouping);
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) {
  widget->setProperty(kRoleProperty, static_cast<int>(role));
}

void HideFromAccessibility(QWidget* widget) { widget->setProperty(kHiddenProperty, true); }

}  // namespace kestu
