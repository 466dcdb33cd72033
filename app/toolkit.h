#pragma once
// The window toolkit services the program reaches only through here: message boxes, the file
// dialogs, the clipboard and the default error report. The program uses QtToolkit; tests script
// the answers with ScriptedToolkit.
#include <optional>
#include <string>

namespace kestu {

inline constexpr const char* kApplicationTitle = "KestuSequencer";
inline constexpr const char* kSequenceFilter = "Kestuシークェンス(*.ksq)|*.ksq";

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // A plain box with an OK button, captioned with the application title.
  virtual void ShowMessage(const std::string& text) = 0;
  // An error box (error icon, OK) captioned with the application title.
  virtual void ShowError(const std::string& text) = 0;
  // The confirmation box: question icon, caption "確認", buttons "はい(&Y)" and "いいえ(&N)", Yes the
  // default; Escape or closing the box is No. True for Yes.
  virtual bool Confirm(const std::string& question) = 0;
  // Asked when the name a save will write to exists already. True to overwrite.
  virtual bool ConfirmOverwrite(const std::string& fileName) = 0;

  // The open and save dialogs with the sequence filter. Each starts from the name given (which may
  // hold a folder) and returns the chosen full name, or nothing when cancelled.
  virtual std::optional<std::string> ExecuteOpenDialog(const std::string& fileName) = 0;
  virtual std::optional<std::string> ExecuteSaveDialog(const std::string& fileName) = 0;

  virtual bool ClipboardHasText() = 0;
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(const std::string& text) = 0;

  // The default error report for an error that no handler caught: an error box captioned with the
  // application title showing the message with a full stop appended.
  void ShowErrorReport(const std::string& message) { ShowError(message + "."); }
};

}  // namespace kestu
