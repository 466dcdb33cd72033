// The toolkit layer as the user meets it: where the file dialogs start, and the toolkit's own texts
// in Japanese.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <filesystem>
#include <functional>

#include "app/dialog_folder.h"
#include "app/qt_toolkit.h"
#include "app/toolkit_texts.h"
#include "tests/support/process.h"
#include "tests/support/scratch_folder.h"

namespace kestu::test {
namespace {

namespace fs = std::filesystem;

// A folder tree of its own: current/ (writable or not), documents/ (there or not), home/.
class Folders {
 public:
  explicit Folders(const std::string& name) : root_("folders-" + name) {
    fs::permissions(root_.Path(), fs::perms(0755));
    for (const char* d : {"current", "documents", "home", "elsewhere"}) {
      fs::create_directory(root_ / d);
      ::chmod((root_ / d).c_str(), 0777);  // an ordinary user may write everywhere unless a case says not
    }
  }
  ~Folders() { ::chmod((root_ / "current").c_str(), 0777); }
  std::string operator()(const char* d) const { return (root_ / d).string(); }

 private:
  ScratchFolder root_;
};

struct FolderCase {
  const char* name;
  bool currentWritable;
  bool documentsExist;
  const char* chosenBefore;  // a file chosen in an earlier dialog, relative to the tree, or ""
  const char* wanted;
  const char* currentIs = "";  // "home", "data" or "in-data": what else the current folder is
};

class DialogStart : public ::testing::TestWithParam<FolderCase> {};

TEST_P(DialogStart, PicksTheFolder) {
  const FolderCase& c = GetParam();
  Folders f(c.name);
  if (!c.currentWritable) ::chmod(f("current").c_str(), 0555);
  if (!c.documentsExist) fs::remove(f("documents"));
  if (std::string(c.name).ends_with("NoHome")) fs::remove(f("home"));
  // As root every folder is writable, so the choice is made as an ordinary user.
  const std::optional<std::string> start = RunInChild([&] {
    const std::string is = c.currentIs;
    const std::string home = is == "home" ? f("current") : f("home");
    const std::string data = is == "data" ? f("current") : is == "in-data" ? f("") : f("share/kestu-sequencer");
    DialogFolder folder(f("current"), f("documents"), home, data);
    if (*c.chosenBefore != '\0') folder.Chosen(f("elsewhere") + "/" + c.chosenBefore);
    return folder.Start();
  }, {.asOrdinaryUser = true});
  ASSERT_TRUE(start);
  EXPECT_EQ(*start, f(c.wanted));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogStart,
    ::testing::Values(FolderCase{"WritableCurrent", true, true, "", "current"},
                      FolderCase{"ReadOnlyCurrent", false, true, "", "documents"},
                      FolderCase{"ReadOnlyCurrentNoDocuments", false, false, "", "home"},
                      FolderCase{"ReadOnlyCurrentNoHome", false, false, "", "current"},
                      FolderCase{"AfterAChoice", true, true, "tune.ksq", "elsewhere"},
                      FolderCase{"AfterAChoiceReadOnlyCurrent", false, true, "tune.ksq", "elsewhere"},
                      FolderCase{"CurrentIsHome", true, true, "", "documents", "home"},
                      FolderCase{"CurrentIsHomeNoDocuments", true, false, "", "current", "home"},
                      FolderCase{"CurrentIsTheProgramsData", true, true, "", "documents", "data"},
                      FolderCase{"CurrentIsInsideTheProgramsData", true, true, "", "documents", "in-data"},
                      FolderCase{"AfterAChoiceInTheProgramsData", true, true, "tune.ksq", "elsewhere", "data"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DialogStartAfterAChoice, NeverInTheProgramsOwnDataFolder) {
  Folders f("ChoiceInData");
  DialogFolder folder(f("current"), f("documents"), f("home"), f("elsewhere"));
  folder.Chosen(f("elsewhere") + "/waves/tune.ksq");
  EXPECT_EQ(folder.Start(), f("current"));
  folder.Chosen(f("documents") + "/tune.ksq");
  EXPECT_EQ(folder.Start(), f("documents"));
}

// Runs `dialogAction` on the modal dialog of that kind as soon as it is up, then lets the call return.
template <class Dialog = QFileDialog>
void WhenDialogOpens(const std::type_identity_t<std::function<void(Dialog&)>>& dialogAction) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, dialogAction] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      dialogAction(*dialog);
    }
  });
  poll->start(10);
}

class QtDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(folders_("current"));
  }
  void TearDown() override { fs::current_path(previous_); }
  // Opens the save dialog with `name`, notes where it starts, and chooses `choose` (or cancels).
  std::optional<std::string> Save(QtToolkit& toolkit, const std::string& name, std::string* startedIn,
                                  const std::string& choose = {}) {
    WhenDialogOpens([=](QFileDialog& dialog) {
      *startedIn = dialog.directory().absolutePath().toStdString();
      if (choose.empty()) {
        dialog.reject();
      } else {
        // As the user would: the name typed into the dialog's name box.
        dialog.findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(choose));
        QMetaObject::invokeMethod(&dialog, "accept");
      }
    });
    return toolkit.ExecuteSaveDialog(name);
  }

  Folders folders_{"dialogs"};
  fs::path previous_;
};

TEST_F(QtDialogs, StartInTheWritableCurrentFolderThenWhereTheUserLastChose) {
  QtToolkit toolkit;
  std::string startedIn;
  EXPECT_FALSE(Save(toolkit, "無題", &startedIn));
  EXPECT_EQ(startedIn, folders_("current"));

  const std::string chosen = folders_("elsewhere") + "/song";
  EXPECT_EQ(Save(toolkit, "無題", &startedIn, chosen), chosen);
  EXPECT_EQ(Save(toolkit, "無題", &startedIn), std::nullopt);
  EXPECT_EQ(startedIn, folders_("elsewhere"));  // for the rest of the session

  WhenDialogOpens([&](QFileDialog& dialog) {
    startedIn = dialog.directory().absolutePath().toStdString();
    dialog.reject();
  });
  EXPECT_FALSE(toolkit.ExecuteOpenDialog(""));
  EXPECT_EQ(startedIn, folders_("elsewhere"));

  // A name with a folder of its own starts there.
  EXPECT_FALSE(Save(toolkit, folders_("home") + "/old.ksq", &startedIn));
  EXPECT_EQ(startedIn, folders_("home"));
}

TEST_F(QtDialogs, TheToolkitsOwnTextsAreJapanese) {
  QTranslator* japanese = UseJapaneseToolkitTexts(*qApp);
  ASSERT_NE(japanese, nullptr) << "qt6-translations-l10n is not installed";
  struct Text {
    const char* context;
    const char* english;
  };
  for (const Text& t : {Text{"QFileDialog", "Save As"}, Text{"QFileDialog", "Look in:"},
                        Text{"QFileDialog", "Open"}, Text{"QScrollBar", "Scroll here"},
                        Text{"QScrollBar", "Page left"}, Text{"QPlatformTheme", "Cancel"}}) {
    const QString shown = QCoreApplication::translate(t.context, t.english);
    EXPECT_NE(shown, QString::fromLatin1(t.english)) << t.context << " " << t.english;
  }
  QtToolkit toolkit;
  std::string title;
  WhenDialogOpens([&](QFileDialog& dialog) {
    title = dialog.windowTitle().toStdString();
    dialog.reject();
  });
  toolkit.ExecuteSaveDialog("無題");
  EXPECT_EQ(title, "名前を付けて保存");
  QCoreApplication::removeTranslator(japanese);
  delete japanese;
  QLocale::setDefault(QLocale::c());
}

// Every box the toolkit shows is wide enough for its caption in a bold title font and a title bar.
TEST(QtBoxes, AreWideEnoughForTheirCaption) {
  QtToolkit toolkit;
  const std::vector<std::function<void()>> boxes = {
      [&] { toolkit.ShowMessage("データが不正です"); },
      [&] { toolkit.ShowError("ファイル a は開けません."); },
      [&] { toolkit.Confirm("変更あり。保存しとく？"); },
  };
  for (const auto& show : boxes) {
    int width = 0, wanted = 0;
    QString caption;
    WhenDialogOpens<QMessageBox>([&](QMessageBox& box) {
      QFont bold = box.font();
      bold.setBold(true);
      caption = box.windowTitle();
      wanted = QFontMetrics(bold).horizontalAdvance(caption) + 100;
      width = box.width();
      box.reject();
    });
    show();
    EXPECT_GE(width, wanted) << caption.toStdString();
  }
}

}  // namespace
}  // namespace kestu::test
