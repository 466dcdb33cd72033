#pragma once
#include <QProxyStyle>

namespace kestu {

// The toolbar bands' metrics: a band is 28 pixels high (two make a 56-pixel control bar), and its
// grip and margins are narrow enough that the palette's sixteen buttons, 23 pixels apart, fit
// beside the grip in the window's 385 pixels.
class BandStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override {
    switch (metric) {
      case PM_ToolBarHandleExtent: return 9;
      case PM_ToolBarItemMargin: return 2;
      case PM_ToolBarItemSpacing: return 0;
      case PM_ToolBarFrameWidth: return 1;
      default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }
};

}  // namespace kestu
