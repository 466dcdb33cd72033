#pragma once
#include <QProxyStyle>

namespace kestu {

// The toolbar bands' metrics: a band is 26 pixels high, so two rows put their buttons at 2 and 28
// in a 56-pixel control bar, and its grip and margins put the first button 11 pixels in, so the
// palette's sixteen buttons, 23 pixels apart, fit beside the grip in the window's 385 pixels. The
// tempo bar's thumb is 17 pixels long.
class BandStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override {
    switch (metric) {
      case PM_ToolBarHandleExtent: return 9;
      case PM_ToolBarItemMargin: return 1;
      case PM_ToolBarItemSpacing: return 0;
      case PM_ToolBarFrameWidth: return 1;
      case PM_SliderLength: return 17;
      default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }
};

}  // namespace kestu
