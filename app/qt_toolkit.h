#pragma once
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>

class QFileDialog;

#include "app/dialog_folder.h"
#include "app/toolkit.h"

namespace kestu {

// The toolkit services on Qt Widgets, parented to the main window.
class QtToolkit : public Toolkit {
 public:
  // The dialogs' first folder is worked out from the process's current folder, the user's
  // documents folder, home and the program's installed data folder at construction.
  explicit QtToolkit(QWidget* parent = nullptr);
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
  std::optional<std::string> RunFileDialog(QFileDialog& dialog, const std::string& fileName);

  QPointer<QWidget> parent_;
  DialogFolder folder_;
};

}  // namespace kestu
