// The window's life: building it, start-up, closing and tear-down, dropped files, button faces.
#include "app/form1.h"

#include <QCloseEvent>
#include <QDir>
#include <QMenuBar>
#include <QMimeData>
#include <QSlider>
#include <QToolButton>
#include <cstdio>

#include "app/accessibility.h"
#include "app/form_component.h"
#include "app/window_font.h"
#include "app/window_placement.h"
#include "view/render_score.h"
#include "assets/images.h"

namespace kestu {

namespace {

constexpr int kSmallestWidth = 120;
constexpr const char* kMissingSamplesMessage = "サウンドファイルがありません。終了してください。";

}  // namespace

TForm1::TForm1(Toolkit& toolkit, AudioOutputProvider output, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Playback(Document, *this, *this),
      toolkit_(toolkit) {
  setObjectName("Form1");
  setWindowTitle(kApplicationTitle);
  setFont(WindowFont());
  numberFont_ = view::DefaultNumberFont();
  setAcceptDrops(true);  // the shell's files may be dropped from start-up on

  InstallAccessibility();
  BuildActions();
  BuildMenus();
  BuildToolBars();
  BuildCentral();
  DescribeControls();

  Timer = new QTimer(this);
  Timer->setObjectName("Timer");
  Timer->setTimerType(Qt::PreciseTimer);
  ConnectHandler(Timer, &QTimer::timeout, &TForm1::TimerTimer);
  // The timer is made running with its first interval; New stops it before any tick arrives.
  Timer->start(1000);
  wake_ = new QTimer(this);
  wake_->setObjectName("PlaybackWake");
  wake_->setSingleShot(true);
  wake_->setTimerType(Qt::PreciseTimer);
  ConnectHandler(wake_, &QTimer::timeout, &TForm1::TimerTimer);

  // The client area below the menu is 385 x 271; the border is the ordinary resizable one, so the
  // window may be made smaller than that (the controls are then cut off) or larger.
  resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
  setMinimumSize(kSmallestWidth, menuBar()->sizeHint().height());
  // The toolkit's menu of toolbars could hide a band with no way back; the window has no such menu.
  setContextMenuPolicy(Qt::PreventContextMenu);
  new FirstPlacement(*this);

  // The sound device opens while the window is being built, before FormCreate.
  components_ = std::make_unique<FormComponent>(*this);
  DDSD1 = Sound.OpenDevice(components_.get(), std::move(output));
  DDSD1->SetName("DDSD1");
  // A sound server that went away is looked for again every second and a half; opening is cheap
  // while it is absent, and a stream that still plays is left alone.
  auto* restoreSound = new QTimer(this);
  restoreSound->setObjectName("RestoreSoundTimer");
  connect(restoreSound, &QTimer::timeout, this, [this] { DDSD1->RestoreOutput(); });
  restoreSound->start(1500);

  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  Timer->stop();
  wake_->stop();
  components_.reset();  // the sound device goes after the samples
}

void TForm1::FormCreate() {
  BindDocument();
  Sound.FillTables();
  Playback.ConnectSound(DDSD1, &Samples, &Pitch);
  // The dialogs open in the current directory: names without a folder are taken relative to it.
  openDialogName_.clear();
  Playback.Playing = false;
  NewActionExecute();
  Sound.SetPrimaryFormat();
  for (int n = 1; n <= 16; ++n) {
    PaletteButtons[n] = findChild<QToolButton*>(QString("SoundBtn%1").arg(n));
  }
  LoadSamples();
}

void TForm1::LoadSamples() {
  if (!Sound.LoadSamples()) {
    toolkit_.ShowError(kMissingSamplesMessage);
    return;
  }
  // A missing or broken file leaves its sample without sound data; say so once rather than leave
  // the user wondering why some notes are silent, and name the files on standard error. Without a
  // device there is nothing to report.
  if (!DDSD1->DeviceOpen() || !Samples.AnyWithoutSoundData()) return;
  for (int n : Samples.WithoutSoundData()) std::fprintf(stderr, "%s\n", Samples.Sample(n)->LoadError().c_str());
  toolkit_.ShowError(kMissingSamplesMessage);
}

void TForm1::FormClose() { ModifiedActionExecute(); }

void TForm1::FormDestroy() { Samples.FreeAll(); }

void TForm1::FormResize() { RenderScore(-1, -1, -1); }

void TForm1::Exit1Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event) {
  // Closing is never refused, except when the save the question started fails.
  if (Guarded([this] { FormClose(); })) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (MainImage_ != nullptr) Guarded([this] { FormResize(); });
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Maximizing is not offered. Window managers that offer it all the same (some ignore the hint)
  // get the window back at its size.
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
    QMetaObject::invokeMethod(this, [this] { setWindowState(windowState() & ~Qt::WindowMaximized); },
                              Qt::QueuedConnection);
  }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  if (paths.empty()) return;
  event->acceptProposedAction();
  Guarded([&] { DropFiles(paths); });
}

void TForm1::SetFace(QToolButton* button, const std::vector<QImage>& list, int face) {
  button->setIcon(assets::ToolbarIcon(list, face));
  button->setProperty("face", face);
}

int TForm1::FaceOf(const QToolButton* button) { return button->property("face").toInt(); }

void TForm1::BindDocument() {
  // The tempo bar and the document hold one position: a change from either side runs the bar's
  // change handler once.
  Document.onTempoChange = [this] {
    if (TempoBar->value() != Document.Tempo()) {
      const QSignalBlocker blocker(TempoBar);
      TempoBar->setValue(Document.Tempo());
    }
    TempoBarChange();
  };
  Document.onSwitchesSet = [this] { ShowSwitches(); };
}

}  // namespace kestu
