#include "app/qt_toolkit.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>

#include "playback/sample_folder.h"

namespace kestu {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A box sizes itself to its text, and a short text ("データが不正です") leaves its title bar too
// narrow for its caption, which the window manager then cuts to "K…er". The box is kept at least
// as wide as its caption in a bold title font beside the title bar's icon and buttons.
void KeepCaptionWhole(QMessageBox& box) {
  QFont font = box.font();
  font.setBold(true);
  constexpr int kTitleBarExtras = 140;  // the window icon, three buttons and margins
  const int wanted = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + kTitleBarExtras;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                  grid->columnCount());
  }
}

// "Kestuシークェンス(*.ksq)|*.ksq" as a Qt filter: the text shown, with the pattern in brackets.
QString QtFilter() {
  const QString filter = QString::fromUtf8(kSequenceFilter);
  const QString shown = filter.section('|', 0, 0);
  const QString pattern = filter.section('|', 1, 1);
  return shown.contains(pattern) ? shown : shown + " (" + pattern + ")";
}

std::string DocumentsFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

}  // namespace

QtToolkit::QtToolkit(QWidget* parent)
    : parent_(parent),
      folder_(QDir::currentPath().toStdString(), DocumentsFolder(), QDir::homePath().toStdString(),
              InstalledDataFolder()) {}

// A name with a folder of its own starts the dialog there; a bare name (the untitled document's)
// starts it in the dialogs' folder.
std::optional<std::string> QtToolkit::RunFileDialog(QFileDialog& dialog, const std::string& fileName) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (fileName.find('/') != std::string::npos) {
    dialog.selectFile(QFileInfo(Q(fileName)).absoluteFilePath());
  } else {
    dialog.setDirectory(Q(folder_.Start()));
    if (!fileName.empty()) dialog.selectFile(Q(fileName));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const std::string chosen = dialog.selectedFiles().first().toStdString();
  folder_.Chosen(chosen);
  return chosen;
}

void QtToolkit::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, Q(text), QMessageBox::Ok, parent_);
  KeepCaptionWhole(box);
  box.exec();
}

void QtToolkit::ShowError(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, kApplicationTitle, Q(text), QMessageBox::Ok, parent_);
  KeepCaptionWhole(box);
  box.exec();
}

bool QtToolkit::Confirm(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), Q(question), QMessageBox::NoButton,
                  parent_);
  QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  KeepCaptionWhole(box);
  box.exec();
  return box.clickedButton() == yes;
}

bool QtToolkit::ConfirmOverwrite(const std::string& fileName) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("名前をつけて保存"),
                  Q(fileName) + QStringLiteral(" は既に存在します。\n上書きしますか?"),
                  QMessageBox::NoButton, parent_);
  QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

std::optional<std::string> QtToolkit::ExecuteOpenDialog(const std::string& fileName) {
  QFileDialog dialog(parent_, QString(), QString(), QtFilter());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  return RunFileDialog(dialog, fileName);
}

std::optional<std::string> QtToolkit::ExecuteSaveDialog(const std::string& fileName) {
  // The overwrite question is asked by the save command for the name as it will be written, with
  // its extension; the dialog itself does not ask.
  QFileDialog dialog(parent_, QString(), QString(), QtFilter());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  return RunFileDialog(dialog, fileName);
}

bool QtToolkit::ClipboardHasText() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  return data != nullptr && data->hasText();
}

std::string QtToolkit::ClipboardText() { return QApplication::clipboard()->text().toStdString(); }

void QtToolkit::SetClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(Q(text));
}

}  // namespace kestu
