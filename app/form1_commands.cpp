// The document commands: confirm on change, New, Open, Save, Save As, Copy, Paste and Drop.
#include <QToolButton>
#include <filesystem>

#include "app/form1.h"
#include "score/errors.h"
#include "score/text_file.h"

namespace kestu {

namespace {

constexpr const char* kConfirmQuestion = "変更あり。保存しとく？";

}  // namespace

void TForm1::StopPlayback() {
  StopBtnClick();
  StopBtn->setChecked(true);
}

void TForm1::ModifiedActionExecute() {
  if (!Document.Modified) return;
  if (toolkit_.Confirm(kConfirmQuestion)) SaveAsActionExecute();
}

void TForm1::NewActionExecute() {
  StopPlayback();
  ModifiedActionExecute();
  Document.ResetToNew();  // the tempo bar's change handler runs when the tempo moves
  Playback.SetTimerPeriodFromTempo(Document.Tempo());
  Document.CurrentFileName = kUntitled;
  Document.Modified = false;
  RenderScore(-1, -1, -1);
}

void TForm1::OpenActionExecute() {
  StopPlayback();
  ModifiedActionExecute();
  const std::optional<std::string> chosen = toolkit_.ExecuteOpenDialog(openDialogName_);
  if (chosen) ReadOpenedFile(*chosen);
  RenderScore(-1, -1, -1);
}

void TForm1::OpenFile(const std::string& fileName) {
  StopPlayback();
  ModifiedActionExecute();
  // The dialog hands over a full name; so does this, the link's own name rather than its target.
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(fileName, ec);
  ReadOpenedFile(ec ? fileName : full.lexically_normal().string());
  RenderScore(-1, -1, -1);
}

void TForm1::ReadOpenedFile(const std::string& fileName) {
  openDialogName_ = fileName;
  const std::string text = ReadTextFile(fileName);
  // The file's name is taken only once its numbers have converted: after a failed TEMPO or END
  // the old score is still here, and Save must not write it over the file that failed to load.
  const std::string previousName = Document.CurrentFileName;
  Document.CurrentFileName = fileName;
  ReadResult result;
  try {
    result = ReadSequenceText(Document, text, [this](const std::string& m) { toolkit_.ShowMessage(m); });
  } catch (const EConvertError&) {
    Document.CurrentFileName = previousName;
    throw;
  }
  if (result == ReadResult::BadScore) NewActionExecute();
}

void TForm1::SaveActionExecute() {
  if (Document.CurrentFileName == kUntitled) {
    SaveAsActionExecute();
  } else {
    SaveToCurrentFile(Document);
  }
}

std::optional<std::string> TForm1::ChooseSaveName() {
  for (;;) {
    std::optional<std::string> name = toolkit_.ExecuteSaveDialog(Document.CurrentFileName);
    if (!name) return std::nullopt;
    // Ask about the file that will really be written, with its extension.
    const std::string written = WithSequenceExtension(*name);
    std::error_code ec;
    if (!std::filesystem::exists(written, ec) || toolkit_.ConfirmOverwrite(written)) return name;
  }
}

void TForm1::SaveAsActionExecute() {
  const std::optional<std::string> name = ChooseSaveName();
  if (!name) return;
  Document.CurrentFileName = *name;
  SaveToCurrentFile(Document);
}

void TForm1::SaveToClipbrdActionExecute() {
  toolkit_.SetClipboardText(WriteSequenceText(Document));
  Document.Modified = false;
}

bool TForm1::PasteText() {
  StopPlayback();
  ModifiedActionExecute();
  if (!toolkit_.ClipboardHasText()) return false;
  const std::string text = toolkit_.ClipboardText();
  Document.CurrentFileName = kUntitled;
  const ReadResult result =
      ReadSequenceText(Document, text, [this](const std::string& m) { toolkit_.ShowMessage(m); });
  if (result == ReadResult::BadScore) NewActionExecute();
  RenderScore(-1, -1, -1);
  Document.Modified = false;
  return result == ReadResult::Loaded;
}

void TForm1::LoadFromClipbrdActionExecute() { PasteText(); }

void TForm1::DropFiles(const std::vector<std::string>& paths) {
  raise();
  activateWindow();
  ModifiedActionExecute();
  Document.Modified = false;
  if (paths.empty()) return;
  const std::string path = paths.front();  // taken whole, however long
  const std::string text = ReadTextFile(path);
  toolkit_.SetClipboardText(text);
  // A text that ended in "データが不正です" leaves the new document untitled, so that Save cannot
  // write the empty document over the dropped file.
  if (PasteText()) Document.CurrentFileName = path;
}

}  // namespace kestu
