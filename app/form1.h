#pragma once
// TForm1: the program's one window. It owns the document, the sample bank, the sound component, the
// playback timer and every control, and all behaviour lies in its handlers, which run one at a time
// on the GUI thread.
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_image.h"
#include "app/toolkit.h"
#include "playback/program_sound.h"
#include "playback/transport.h"
#include "score/document.h"
#include "score/sequence_text.h"
#include "sound/ddsd.h"
#include "sound/output/audio_output.h"
#include "sound/steady_clock.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QMenu;
class QScrollBar;
class QSlider;
class QToolBar;
class QToolButton;

namespace kestu {

class ControlBar;

class TForm1 : public QMainWindow, private SteadyTransportTimer, private TransportView {
  Q_OBJECT
 public:
  // The toolkit answers dialogs and boxes; output chooses where the sound goes (the real device for
  // the program, an offline output or none for tests). The sound component opens its device here,
  // before FormCreate runs.
  TForm1(Toolkit& toolkit, AudioOutputProvider output, QWidget* parent = nullptr);
  ~TForm1() override;

  // Handlers, by control and event.
  void FormCreate();
  void FormClose();
  void FormDestroy();
  void FormResize();
  void Exit1Click();
  void SoundBtn1Click();
  void EraserBtnClick();
  void TimeBtn34Click();
  void TimeBtn44Click();
  void LoopBtnClick();
  void Lite1Click();
  void UndoBtnMouseDown();
  void UndoBtnMouseUp();
  void etcBtn1Click();
  void etcBtn2Click();
  void etcBtn3Click();
  void PlayBtnClick();
  void StopBtnClick();
  void TempoBarChange();
  void TimerTimer();
  void ScrollBarChange();
  void MainImageMouseDown(Qt::MouseButton button, int x, int y);
  void MainImageMouseMove(int x, int y);

  // The document commands.
  void ModifiedActionExecute();  // ConfirmDiscard
  void NewActionExecute();
  void OpenActionExecute();
  // Open with the file given rather than chosen in the dialog (the command line's FILE): the same
  // steps, checks, messages and results, under the file's full name.
  void OpenFile(const std::string& fileName);
  void SaveActionExecute();
  void SaveAsActionExecute();
  void SaveToClipbrdActionExecute();
  void LoadFromClipbrdActionExecute();
  void DropFiles(const std::vector<std::string>& paths);

  void RenderScore(int x, int y, int tool);

  // Runs a handler as the toolkit would: an error that leaves it is shown by the default error
  // report and the program goes on with the state reached so far. Returns false after an error.
  template <typename F>
  bool Guarded(F&& handler) {
    try {
      handler();
      return true;
    } catch (const std::exception& e) {
      toolkit_.ShowErrorReport(e.what());
      return false;
    }
  }

  // The document and the window's state.
  ScoreDocument Document;
  ProgramSound Sound;  // the sound component, the pitch tables and the samples
  SampleBank& Samples = Sound.Samples;
  const PitchTables& Pitch = Sound.Pitch;
  Transport Playback;

  // The controls, by name.
  ControlBar* ControlBar1 = nullptr;
  ControlBar* ControlBar2 = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QToolBar* SoundsBar = nullptr;
  QToolBar* etcBar = nullptr;
  QToolBar* PlayerBar = nullptr;
  QToolButton* NewBtn = nullptr;
  QToolButton* OpenBtn = nullptr;
  QToolButton* SaveBtn = nullptr;
  QToolButton* PasteBtn = nullptr;
  QToolButton* OptionBtn = nullptr;
  std::array<QToolButton*, 17> PaletteButtons{};  // SoundBtn1..SoundBtn16 by tool number
  QToolButton* EraserBtn = nullptr;
  QToolButton* TimeBtn34 = nullptr;
  QToolButton* TimeBtn44 = nullptr;
  QToolButton* etcBtn1 = nullptr;
  QToolButton* etcBtn2 = nullptr;
  QToolButton* etcBtn3 = nullptr;
  QToolButton* UndoBtn = nullptr;
  QToolButton* PlayBtn = nullptr;
  QToolButton* StopBtn = nullptr;
  QToolButton* LoopBtn = nullptr;
  QSlider* TempoBar = nullptr;
  QScrollBar* ScrollBar = nullptr;
  MainImage* MainImage_ = nullptr;
  QMenu* SaveBtnMenu = nullptr;
  QAction* NewAction = nullptr;
  QAction* OpenAction = nullptr;
  QAction* SaveAction = nullptr;
  QAction* SaveAsAction = nullptr;
  QAction* LoadFromClipbrdAction = nullptr;
  QAction* ModifiedAction = nullptr;
  QAction* SaveToClipbrdAction = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Undo1 = nullptr;
  QAction* Redo1 = nullptr;
  QAction* Lite1 = nullptr;
  QAction* Option1 = nullptr;
  QTimer* Timer = nullptr;
  TDDSD* DDSD1 = nullptr;

  // The name a tool (1..17) goes by for assistive technology: its instrument, the end mark or
  // the eraser.
  static const char* ToolName(int tool);

  // The client area below the menu at its first size.
  static constexpr QSize kClientSize{385, 271};

  // The face (image-list index) a button shows now.
  static int FaceOf(const QToolButton* button);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // TransportTimer and TransportView: how playback reaches the timer and the window.
  void SetInterval(int milliseconds) override;
  int Interval() const override;
  void SetEnabled(bool enabled) override;
  bool Enabled() const override;
  void WakeAfter(int milliseconds) override;
  void SetScrollPosition(int position) override;
  int ScrollPosition() const override;
  void RenderPlain() override;
  void SetTransportFaces(int playFace, int stopFace) override;
  void SetStopDown() override;
  bool LightMode() const override;

  // Runs `handler` on each emission of `signal`, as the toolkit runs handlers (Guarded).
  template <typename Sender, typename Signal>
  void ConnectHandler(Sender* sender, Signal signal, void (TForm1::*handler)()) {
    connect(sender, signal, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  }

  void BuildActions();
  void BuildMenus();
  void BuildToolBars();
  void BuildCentral();
  void BindDocument();
  void DescribeControls();
  void LoadSamples();
  void StopPlayback();
  void PreviewTool(int tool);
  void ReadOpenedFile(const std::string& fileName);  // Open's steps after the dialog
  bool PasteText();  // Paste's steps; true when the text was read to its end
  std::optional<std::string> ChooseSaveName();
  void SetFace(QToolButton* button, const std::vector<QImage>& list, int face);
  void ShowSwitches();

  Toolkit& toolkit_;
  std::unique_ptr<TComponent> components_;
  std::string openDialogName_;
  QFont numberFont_;
  QStyle* bandStyle_ = nullptr;  // owned as a child of the window
  // Wakes the transport between the timer's ticks: to voice ahead, and to show a tick as it is heard.
  QTimer* wake_ = nullptr;
};

}  // namespace kestu
