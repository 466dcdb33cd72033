// Building the window: actions, menus, the four toolbars, the score picture and the scroll bar.
#include <QAction>
#include <QButtonGroup>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/accessibility.h"
#include "app/band_style.h"
#include "app/band_tool_bar.h"
#include "app/control_bar.h"
#include "app/menu_style.h"
#include "app/form1.h"
#include "assets/images.h"

namespace kestu {

namespace {

constexpr int kButtonWidth = 23;
constexpr int kDropDownButtonWidth = 36;
constexpr int kButtonHeight = 22;
constexpr int kSeparatorWidth = 8;

// The role goes with the button from its start: the toolkit keeps a control's first interface.
QToolButton* AddButton(QToolBar* bar, const char* name, bool checkable, int width = kButtonWidth,
                       QAccessible::Role role = QAccessible::PushButton) {
  auto* button = new BandToolButton(bar);
  SetAccessibleRole(button, role);
  button->setObjectName(name);
  button->setCheckable(checkable);
  button->setAutoRaise(true);  // flat
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button->setIconSize(QSize(16, 16));
  button->setFixedSize(width, kButtonHeight);
  bar->addWidget(button);
  return button;
}

void AddSeparator(QToolBar* bar) {
  auto* gap = new BandSeparator(bar);
  gap->setFixedSize(kSeparatorWidth, kButtonHeight);
  bar->addWidget(gap);
}

QToolBar* MakeBar(ControlBar* controlBar, const char* name, const char* caption, QStyle* style) {
  auto* bar = new BandToolBar(QString::fromUtf8(caption), controlBar);
  bar->setStyle(style);
  bar->setObjectName(name);
  bar->setIconSize(QSize(16, 16));
  bar->setMovable(true);
  bar->setContentsMargins(0, 0, 0, 0);
  bar->layout()->setSpacing(0);
  return bar;
}

QAction* MakeAction(QObject* parent, const char* name, const char* caption) {
  auto* action = new QAction(QString::fromUtf8(caption), parent);
  action->setObjectName(name);
  return action;
}

// A read-only entry of the help menu: it shows its text and does nothing when chosen.
QMenu* AddTextEntry(QMenu* menu, const char* text) { return menu->addMenu(QString::fromUtf8(text)); }

// A chain of nested read-only entries, each the submenu of the one before.
void AddAnswerChain(QMenu* question, std::initializer_list<const char*> answers) {
  QMenu* at = question;
  const char* const* it = answers.begin();
  for (; it + 1 < answers.end(); ++it) at = AddTextEntry(at, *it);
  at->addAction(QString::fromUtf8(*it));
}

}  // namespace

void TForm1::BuildActions() {
  using assets::CommonImages;
  using assets::ToolbarIcon;
  NewAction = MakeAction(this, "NewAction", "新規作成(&N)");
  NewAction->setIcon(ToolbarIcon(CommonImages(), 0));
  OpenAction = MakeAction(this, "OpenAction", "開く(&O)");
  OpenAction->setIcon(ToolbarIcon(CommonImages(), 1));
  SaveAction = MakeAction(this, "SaveAction", "上書き保存(&S)");
  SaveAction->setIcon(ToolbarIcon(CommonImages(), 2));
  SaveAsAction = MakeAction(this, "SaveAsAction", "名前をつけて保存(&A)");
  LoadFromClipbrdAction =
      MakeAction(this, "LoadFromClipbrdAction", "クリップボードからデータ貼り付け(&P)");
  LoadFromClipbrdAction->setIcon(ToolbarIcon(CommonImages(), 3));
  ModifiedAction = MakeAction(this, "ModifiedAction", "ModifiedAction");
  SaveToClipbrdAction = MakeAction(this, "SaveToClipbrdAction", "クリップボードへデータ書き出し(&C)");

  // Menu entries show no images of their own beyond their actions'; the shortcut-free captions
  // carry the accelerators.
  for (QAction* a : {NewAction, OpenAction, SaveAction, SaveAsAction, LoadFromClipbrdAction,
                     ModifiedAction, SaveToClipbrdAction}) {
    a->setIconVisibleInMenu(true);
  }
  ConnectHandler(NewAction, &QAction::triggered, &TForm1::NewActionExecute);
  ConnectHandler(OpenAction, &QAction::triggered, &TForm1::OpenActionExecute);
  ConnectHandler(SaveAction, &QAction::triggered, &TForm1::SaveActionExecute);
  ConnectHandler(SaveAsAction, &QAction::triggered, &TForm1::SaveAsActionExecute);
  ConnectHandler(LoadFromClipbrdAction, &QAction::triggered, &TForm1::LoadFromClipbrdActionExecute);
  ConnectHandler(ModifiedAction, &QAction::triggered, &TForm1::ModifiedActionExecute);
  ConnectHandler(SaveToClipbrdAction, &QAction::triggered, &TForm1::SaveToClipbrdActionExecute);
}

void TForm1::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");

  QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName("File1");
  file->addAction(NewAction);
  file->addAction(OpenAction);
  file->addAction(SaveAction);
  file->addAction(SaveAsAction);
  file->addSeparator();
  Exit1 = file->addAction(QStringLiteral("終了(&X)"));
  Exit1->setObjectName("Exit1");
  ConnectHandler(Exit1, &QAction::triggered, &TForm1::Exit1Click);

  QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
  edit->setObjectName("Edit1");
  auto* menuStyle = new MenuStyle;
  menuStyle->setParent(this);
  edit->setStyle(menuStyle);
  Undo1 = edit->addAction(QStringLiteral("元に戻す(&U)"));
  Undo1->setObjectName("Undo1");
  Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  Undo1->setEnabled(false);
  Redo1 = edit->addAction(QStringLiteral("やり直し(&R)"));
  Redo1->setObjectName("Redo1");
  Redo1->setEnabled(false);
  edit->addSeparator();
  edit->addAction(SaveToClipbrdAction);
  edit->addAction(LoadFromClipbrdAction);
  edit->addSeparator();
  Lite1 = edit->addAction(QStringLiteral("Liteモード（再生アニメ無し）"));
  Lite1->setObjectName("Lite1");
  // The handler sets the check mark itself; Qt has already toggled a checkable entry when it
  // reports the trigger, so that toggle is taken back first.
  Lite1->setCheckable(true);
  connect(Lite1, &QAction::triggered, this, [this](bool checked) {
    {
      const QSignalBlocker blocker(Lite1);
      Lite1->setChecked(!checked);
    }
    Guarded([this] { Lite1Click(); });
  });
  Option1 = edit->addAction(QStringLiteral("オプション(&O)"));
  Option1->setObjectName("Option1");
  Option1->setEnabled(false);

  QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->setObjectName("Help1");
  QMenu* version = AddTextEntry(help, "バージョン情報(&A)...");
  version->addAction(QStringLiteral("KestuSeq(Release6)"));
  QMenu* trouble = AddTextEntry(help, "トラブルシューティング");
  AddAnswerChain(AddTextEntry(trouble, "テンポが速くならないの"),
                 {"メニューの、「編集（E）」をおして、", "Liteモードにしてみてください。"});
  AddAnswerChain(AddTextEntry(trouble, "これを起動しているとMIDIがおかしくなるの"),
                 {"このソフトを終了すれば。直ります。"});
  AddAnswerChain(AddTextEntry(trouble, "音が出ないわ"), {"わからんよ。"});
  help->addSeparator();
  QMenu* fortune = AddTextEntry(help, "おしゃれ占い");
  QMenu* question = AddTextEntry(fortune, "貴方はおしゃれですか？");
  AddAnswerChain(AddTextEntry(question, "はい。"), {"ちがいます。"});
  AddAnswerChain(AddTextEntry(question, "いいえ。"), {"そのようですね。"});
}

void TForm1::BuildToolBars() {
  using namespace assets;
  // A check button with its first face; a click runs `onClick`.
  const auto addCheck = [this](QToolBar* bar, const char* name, const std::vector<QImage>& faces, int face,
                               void (TForm1::*onClick)(), QAccessible::Role role = QAccessible::PushButton) {
    QToolButton* button = AddButton(bar, name, true, kButtonWidth, role);
    SetFace(button, faces, face);
    ConnectHandler(button, &QToolButton::clicked, onClick);
    return button;
  };
  // Buttons of which exactly one is down.
  const auto group = [this](std::initializer_list<QToolButton*> buttons) {
    auto* buttonGroup = new QButtonGroup(this);
    buttonGroup->setExclusive(true);
    for (QToolButton* button : buttons) buttonGroup->addButton(button);
  };
  bandStyle_ = new BandStyle;
  bandStyle_->setParent(this);
  ControlBar1 = new ControlBar("ControlBar1", this);
  ControlBar2 = new ControlBar("ControlBar2", this);

  // ControlBar1: ToolBar1, then the palette on the second row.
  ToolBar1 = MakeBar(ControlBar1, "ToolBar1", "ToolBar1", bandStyle_);
  ToolBar1->setFloatable(false);
  NewBtn = AddButton(ToolBar1, "NewBtn", false);
  NewBtn->setDefaultAction(NewAction);
  NewBtn->setToolTip(QStringLiteral("新規作成"));
  OpenBtn = AddButton(ToolBar1, "OpenBtn", false);
  OpenBtn->setDefaultAction(OpenAction);
  OpenBtn->setToolTip(QStringLiteral("データを開く"));
  SaveBtn = AddButton(ToolBar1, "SaveBtn", false, kDropDownButtonWidth, QAccessible::ButtonMenu);
  SaveBtn->setDefaultAction(SaveAction);
  SaveBtn->setToolTip(QStringLiteral("データ保存"));
  SaveBtnMenu = new QMenu(SaveBtn);
  SaveBtnMenu->setObjectName("SaveBtnMenu");
  QAction* save2 = SaveBtnMenu->addAction(SaveAction->text());
  save2->setObjectName("Save2");
  connect(save2, &QAction::triggered, SaveAction, &QAction::trigger);
  QAction* saveAs2 = SaveBtnMenu->addAction(SaveAsAction->text());
  saveAs2->setObjectName("SaveAs2");
  connect(saveAs2, &QAction::triggered, SaveAsAction, &QAction::trigger);
  SaveBtn->setMenu(SaveBtnMenu);
  SaveBtn->setPopupMode(QToolButton::MenuButtonPopup);
  AddSeparator(ToolBar1);
  PasteBtn = AddButton(ToolBar1, "PasteBtn", false);
  PasteBtn->setDefaultAction(LoadFromClipbrdAction);
  PasteBtn->setToolTip(QStringLiteral("データ貼り付け"));
  AddSeparator(ToolBar1);
  OptionBtn = AddButton(ToolBar1, "OptionBtn", false);
  OptionBtn->setText(QStringLiteral("オプション(&O)"));
  SetFace(OptionBtn, CommonImages(), 4);
  OptionBtn->setEnabled(false);
  for (QToolButton* b : {NewBtn, OpenBtn, SaveBtn, PasteBtn}) b->setToolButtonStyle(Qt::ToolButtonIconOnly);
  SetFace(NewBtn, CommonImages(), 0);
  SetFace(OpenBtn, CommonImages(), 1);
  SetFace(SaveBtn, CommonImages(), 2);
  SetFace(PasteBtn, CommonImages(), 3);
  ControlBar1->AddRow(ToolBar1);

  SoundsBar = MakeBar(ControlBar1, "SoundsBar", "SoundsPallete", bandStyle_);
  SoundsBar->setFloatable(BandToolBar::PlatformPlacesWindows());
  auto* palette = new QButtonGroup(this);
  palette->setObjectName("SoundsGroup");
  palette->setExclusive(true);
  for (int n = 1; n <= 16; ++n) {
    const std::string name = "SoundBtn" + std::to_string(n);
    QToolButton* button =
        addCheck(SoundsBar, name.c_str(), SoundImages(), n - 1, &TForm1::SoundBtn1Click, QAccessible::RadioButton);
    palette->addButton(button, n);
  }
  findChild<QToolButton*>("SoundBtn1")->setChecked(true);
  ControlBar1->AddRow(SoundsBar);

  // ControlBar2: etcBar on the first row, the transport on the second.
  etcBar = MakeBar(ControlBar2, "etcBar", "etcBar", bandStyle_);
  etcBar->setFloatable(BandToolBar::PlatformPlacesWindows());
  EraserBtn = addCheck(etcBar, "EraserBtn", etcImages(), 0, &TForm1::EraserBtnClick);
  AddSeparator(etcBar);
  TimeBtn34 = addCheck(etcBar, "TimeBtn34", etcImages(), 2, &TForm1::TimeBtn34Click, QAccessible::RadioButton);
  TimeBtn44 = addCheck(etcBar, "TimeBtn44", etcImages(), 5, &TForm1::TimeBtn44Click, QAccessible::RadioButton);
  TimeBtn44->setChecked(true);
  group({TimeBtn34, TimeBtn44});
  AddSeparator(etcBar);
  etcBtn1 = addCheck(etcBar, "etcBtn1", etcImages(), 6, &TForm1::etcBtn1Click);
  etcBtn2 = addCheck(etcBar, "etcBtn2", etcImages(), 8, &TForm1::etcBtn2Click);
  etcBtn3 = addCheck(etcBar, "etcBtn3", etcImages(), 10, &TForm1::etcBtn3Click);
  AddSeparator(etcBar);
  UndoBtn = AddButton(etcBar, "UndoBtn", false);
  SetFace(UndoBtn, etcImages(), 12);
  ConnectHandler(UndoBtn, &QToolButton::pressed, &TForm1::UndoBtnMouseDown);
  ConnectHandler(UndoBtn, &QToolButton::released, &TForm1::UndoBtnMouseUp);
  for (QToolButton* b : {etcBtn1, etcBtn2, etcBtn3, UndoBtn}) b->setEnabled(false);
  ControlBar2->AddRow(etcBar);

  PlayerBar = MakeBar(ControlBar2, "PlayerBar", "PlayerBar", bandStyle_);
  PlayerBar->setFloatable(BandToolBar::PlatformPlacesWindows());
  PlayBtn = addCheck(PlayerBar, "PlayBtn", PlayerImages(), 0, &TForm1::PlayBtnClick);
  StopBtn = addCheck(PlayerBar, "StopBtn", PlayerImages(), 3, &TForm1::StopBtnClick);
  StopBtn->setChecked(true);
  group({PlayBtn, StopBtn});
  AddSeparator(PlayerBar);
  LoopBtn = addCheck(PlayerBar, "LoopBtn", PlayerImages(), 4, &TForm1::LoopBtnClick);
  AddSeparator(PlayerBar);
  TempoBar = new QSlider(Qt::Horizontal, PlayerBar);
  TempoBar->setObjectName("TempoBar");
  TempoBar->setRange(kMinTempo, kMaxTempo);
  TempoBar->setValue(kNewTempo);
  TempoBar->setTickPosition(QSlider::NoTicks);
  TempoBar->setFixedSize(120, kButtonHeight);
  TempoBar->setSingleStep(1);
  TempoBar->setPageStep(10);
  TempoBar->setStyle(bandStyle_);  // its thumb is 17 pixels long
  PlayerBar->addWidget(TempoBar);
  connect(TempoBar, &QSlider::valueChanged, this,
          [this](int position) { Guarded([this, position] { Document.SetTempo(position); }); });
  ControlBar2->AddRow(PlayerBar);
}

void TForm1::BuildCentral() {
  auto* central = new QWidget(this);
  SetAccessibleRole(central, QAccessible::Grouping);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(ControlBar1);
  MainImage_ = new MainImage(central);
  SetAccessibleRole(MainImage_, QAccessible::Canvas);
  MainImage_->onMouseDown = [this](Qt::MouseButton button, int x, int y) {
    Guarded([&] { MainImageMouseDown(button, x, y); });
  };
  MainImage_->onMouseMove = [this](int x, int y) { Guarded([&] { MainImageMouseMove(x, y); }); };
  column->addWidget(MainImage_, 0, Qt::AlignLeft | Qt::AlignTop);
  column->addStretch(1);
  ScrollBar = new QScrollBar(Qt::Horizontal, central);
  ScrollBar->setObjectName("ScrollBar");
  ScrollBar->setRange(0, kScrollBarMax);
  ScrollBar->setSingleStep(10);
  ScrollBar->setPageStep(20);
  ScrollBar->setValue(0);
  ScrollBar->setFixedHeight(15);
  // The toolkit's menu of scroll commands has no place in this window.
  ScrollBar->setContextMenuPolicy(Qt::PreventContextMenu);
  column->addWidget(ScrollBar);
  column->addWidget(ControlBar2);
  ConnectHandler(ScrollBar, &QScrollBar::valueChanged, &TForm1::ScrollBarChange);
  // Below its first size the window scrolls its client area rather than cut the bars off, so every
  // control stays within reach on a screen too small for the window (a Wayland compositor places
  // the window itself, its top below the shell's panel).
  central->setMinimumSize(kClientSize);
  auto* client = new QScrollArea(this);
  client->setObjectName("ClientArea");
  client->setFrameShape(QFrame::NoFrame);
  client->setWidgetResizable(true);
  client->setWidget(central);
  SetAccessibleRole(client->viewport(), QAccessible::Grouping);
  setCentralWidget(client);
}

}  // namespace kestu
