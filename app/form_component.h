#pragma once
#include <QWidget>

#include "sound/component.h"

namespace kestu {

// The window as the owner of its non-visual components (the sound device). Its handle is the
// window's native handle, created when first asked for.
class FormComponent : public TComponent {
 public:
  explicit FormComponent(QWidget& window) : TComponent(nullptr), window_(window) {
    SetName("Form1");
  }
  std::uintptr_t WindowHandle() override { return static_cast<std::uintptr_t>(window_.winId()); }

 private:
  QWidget& window_;
};

}  // namespace kestu
