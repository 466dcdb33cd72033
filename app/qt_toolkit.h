#pragma once
#include <QPointer>
#include <QWidget>

#include "app/toolkit.h"

namespace kestu {

// The toolkit services on Qt Widgets, parented to the main window.
class QtToolkit : public Toolkit {
 public:
  explicit QtToolkit(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  bool Confirm(const std::string& question) override;
  bool ConfirmOverwrite(const std::string& fileName) override;
  std::optional<std::string> ExecuteOpenDialog(const std::string& fileName) override;
  std::optional<std::string> ExecuteSaveDialog(const std::string& fileName) override;
  bool ClipboardHasText() override;
  std::string ClipboardText() override;
  void SetClipboardText(const std::string& text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace kestu
