#pragma once
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace kestu {

// The menus' look: an entry with a check mark shows the mark while it is set and nothing while it
// is not, where the toolkit's style would draw an empty box ("Liteモード（再生アニメ無し）" off).
class MenuStyle : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element == CE_MenuItem && item != nullptr && item->checkType == QStyleOptionMenuItem::NonExclusive &&
        !item->checked) {
      QStyleOptionMenuItem unmarked(*item);
      unmarked.checkType = QStyleOptionMenuItem::NotCheckable;
      QProxyStyle::drawControl(element, &unmarked, painter, widget);
      return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

}  // namespace kestu
