// The window through the toolkit's accessibility interface, as a screen reader would walk it.
#include <QAccessible>
#include <QScrollBar>
#include <QSlider>
#include <functional>

#include "form1_fixture.h"

namespace kestu::test {
namespace {

struct Node {
  QAccessible::Role role;
  QString name, description;
  QRect rect;
  QAccessible::State state;
  QObject* object;
};

class Accessibility : public Form1Shown {
 protected:
  // Every interface below the window, depth first.
  std::vector<Node> Tree() {
    std::vector<Node> nodes;
    std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* at, int depth) {
      ASSERT_LT(depth, 20);
      for (int i = 0; i < at->childCount(); ++i) {
        QAccessibleInterface* child = at->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(at->indexOfChild(child), i);
        nodes.push_back({child->role(), child->text(QAccessible::Name), child->text(QAccessible::Description),
                         child->rect(), child->state(), child->object()});
        // The menus are the toolkit's own, read by their entries' captions.
        if (child->role() != QAccessible::MenuBar) walk(child, depth + 1);
      }
    };
    walk(QAccessible::queryAccessibleInterface(form.get()), 0);
    return nodes;
  }
  static QAccessibleInterface* Of(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
};

TEST_F(Accessibility, EveryControlHasAJapaneseNameAndItsRole) {
  const char* const tools[] = {"ピアノ", "オルゴール", "バスドラム", "トランペット", "フルート", "ギター",
                               "スネアドラム", "ハイハット", "ベース", "マリンバ", "ボヨヨン", "オルガン",
                               "ストリングス", "コーラス", "ピコピコ", "終了マーク"};
  for (int n = 1; n <= 16; ++n) {
    QAccessibleInterface* button = Of(form->PaletteButtons[n]);
    EXPECT_EQ(button->text(QAccessible::Name).toStdString(), tools[n - 1]) << n;
    EXPECT_EQ(button->role(), QAccessible::RadioButton) << n;
    EXPECT_EQ(button->state().checked, n == 1) << n;
  }
  const std::vector<std::tuple<QWidget*, const char*, QAccessible::Role>> controls = {
      {form->EraserBtn, "消しゴム", QAccessible::PushButton},
      {form->TimeBtn34, "4分の3拍子", QAccessible::RadioButton},
      {form->TimeBtn44, "4分の4拍子", QAccessible::RadioButton},
      {form->PlayBtn, "再生", QAccessible::PushButton},
      {form->StopBtn, "停止", QAccessible::PushButton},
      {form->LoopBtn, "ループ再生", QAccessible::PushButton},
      {form->TempoBar, "テンポ", QAccessible::Slider},
      {form->ScrollBar, "楽譜のスクロール", QAccessible::ScrollBar},
      {form->NewBtn, "新規作成", QAccessible::Button},
      {form->OpenBtn, "データを開く", QAccessible::Button},
      {form->PasteBtn, "データ貼り付け", QAccessible::Button},
  };
  for (const auto& [widget, name, role] : controls) {
    EXPECT_EQ(Of(widget)->text(QAccessible::Name).toStdString(), name) << widget->objectName().toStdString();
    EXPECT_EQ(Of(widget)->role(), role) << widget->objectName().toStdString();
  }
  EXPECT_TRUE(Of(form->StopBtn)->state().pressed);
  EXPECT_FALSE(Of(form->PlayBtn)->state().pressed);
  EXPECT_TRUE(Of(form->TimeBtn44)->state().checked);

  QAccessibleInterface* view = Of(form->MainImage_);
  EXPECT_EQ(view->text(QAccessible::Name).toStdString(), "楽譜");
  EXPECT_EQ(view->role(), QAccessible::Canvas);
  EXPECT_TRUE(view->text(QAccessible::Description).contains(QStringLiteral("13段")));
}

TEST_F(Accessibility, TheTreeHoldsOnlyWhatCanBeSeenAndEveryControlIsNamed) {
  const std::vector<Node> tree = Tree();
  int buttons = 0;
  for (const Node& node : tree) {
    const std::string what = node.object != nullptr ? node.object->objectName().toStdString() +
                                                          " (" + node.object->metaObject()->className() + ")"
                                                    : "?";
    if (node.role == QAccessible::Separator || node.role == QAccessible::MenuItem) continue;
    EXPECT_FALSE(node.rect.isEmpty()) << what << " is empty yet exposed";
    EXPECT_FALSE(node.state.invisible) << what << " is hidden yet exposed";
    EXPECT_FALSE(node.name.isEmpty()) << what << " has no name: an anonymous filler";
    if (node.role == QAccessible::PushButton || node.role == QAccessible::RadioButton) ++buttons;
  }
  // 16 palette buttons, the eraser, 2 time signatures, 3 extras, undo, play, stop, loop and the
  // file buttons.
  EXPECT_GE(buttons, 30);
}

TEST_F(Accessibility, ItsActionsWorkAsAClick) {
  QAccessibleActionInterface* marimba = Of(form->PaletteButtons[10])->actionInterface();
  ASSERT_NE(marimba, nullptr);
  ASSERT_TRUE(marimba->actionNames().contains(QAccessibleActionInterface::toggleAction()));
  marimba->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(form->Document.CurrentTool, 10);
  Of(form->EraserBtn)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(form->Document.CurrentTool, kEraserTool);
  EXPECT_TRUE(Of(form->EraserBtn)->state().pressed);
  EXPECT_FALSE(Of(form->etcBtn1)->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()))
      << "a disabled button offers no action";
}

}  // namespace
}  // namespace kestu::test
