#pragma once
// A toolkit whose answers are scripted and whose every call is recorded, for tests of the window.
#include <deque>
#include <string>
#include <vector>

#include "app/toolkit.h"

namespace kestu {

class ScriptedToolkit : public Toolkit {
 public:
  // What was shown or asked, in order: "message:...", "error:...", "confirm:...",
  // "overwrite:...", "open:<start name>", "save:<start name>".
  std::vector<std::string> log;

  std::deque<bool> confirmAnswers;    // default No when empty
  std::deque<bool> overwriteAnswers;  // default No when empty
  // Dialog answers: a name, or "" for Cancel. Cancel when empty.
  std::deque<std::string> openAnswers;
  std::deque<std::string> saveAnswers;

  bool clipboardHasText = false;
  std::string clipboard;

  void ShowMessage(const std::string& text) override { log.push_back("message:" + text); }
  void ShowError(const std::string& text) override { log.push_back("error:" + text); }
  bool Confirm(const std::string& question) override {
    log.push_back("confirm:" + question);
    return Pop(confirmAnswers);
  }
  bool ConfirmOverwrite(const std::string& fileName) override {
    log.push_back("overwrite:" + fileName);
    return Pop(overwriteAnswers);
  }
  std::optional<std::string> ExecuteOpenDialog(const std::string& fileName) override {
    log.push_back("open:" + fileName);
    return Pop(openAnswers);
  }
  std::optional<std::string> ExecuteSaveDialog(const std::string& fileName) override {
    log.push_back("save:" + fileName);
    return Pop(saveAnswers);
  }
  bool ClipboardHasText() override { return clipboardHasText; }
  std::string ClipboardText() override { return clipboard; }
  void SetClipboardText(const std::string& text) override {
    clipboard = text;
    clipboardHasText = true;
  }

 private:
  static bool Pop(std::deque<bool>& answers) {
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  static std::optional<std::string> Pop(std::deque<std::string>& answers) {
    if (answers.empty()) return std::nullopt;
    std::string answer = answers.front();
    answers.pop_front();
    if (answer.empty()) return std::nullopt;
    return answer;
  }
};

}  // namespace kestu
