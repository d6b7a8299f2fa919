// SPDX-License-Identifier: GPL-3.0-or-later
#include "app_main.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app_images.h"
#include "clock.h"
#include "bridge/core_bridge.h"
#include "window/main_window.h"
#include "dialogs/modal_state.h"
#include "bridge/qt_display.h"
#include "bridge/screen_capture.h"
#include "app_state.h"
#include "bridge/signal_watch.h"
#include "splash.h"
#include "survey_script.h"
#include "tool_windows/window_places.h"

namespace {

// Answers the playback dialog with the plan's file and everything else as the
// user would with no one at the keyboard: OK to boxes, no file chosen.
class ScriptedPrompts final : public Prompts {
 public:
  explicit ScriptedPrompts(std::string playback) : playback_(std::move(playback)) {}
  void Warning(const std::string& t, const std::string& x) override {
    std::fprintf(stderr, "winq47v: %s: %s\n", t.c_str(), x.c_str());
  }
  void Info(const std::string& t, const std::string& x) override {
    std::fprintf(stderr, "winq47v: %s: %s\n", t.c_str(), x.c_str());
  }
  std::string AskFile(const FileDialogRequest& request) override {
    return request.save ? std::string() : std::exchange(playback_, std::string());
  }

 private:
  std::string playback_;
};

// Waits (a few seconds at most) until the window system has put the shown window
// on the screen: where the window manager placed it is known only then, and the
// windows of the start-up (the logo, the playback dialog, the boxes about the
// file) are centred on that place.
void WaitUntilPlaced(QWidget& window) {
  if (!WindowPlaces::SystemPlacesWindows()) return;
  auto placed = [&window] { return window.windowHandle() && window.windowHandle()->isExposed(); };
  if (placed()) return;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (placed()) loop.quit();
  });
  poll.start(20);
  QTimer::singleShot(3000, &loop, &QEventLoop::quit);
  loop.exec();
  // The frame's size and place arrive with the first exposure; let them be taken.
  QCoreApplication::processEvents();
}

}  // namespace

int RunWinQ47V(const DemoPlan* plan, const std::string& open_file) {
  AppState state;
  Clock clock;
  QtDisplay display;
  CoreBridge core(state, display, clock);
  SignalWatch watch;

  std::unique_ptr<Prompts> prompts;
  if (plan) prompts = std::make_unique<ScriptedPrompts>(plan->playback_path);
  MainWindow window(state, core, std::move(prompts));
  display.SetWindow(&window);

  InstallProgramIcon();
  // The window first, so that the logo is centred on it where the window manager
  // put it; the logo stays over it while the delay is calibrated.
  window.show();
  WaitUntilPlaced(window);
  ShowLogoWhile(window.frameGeometry(), [&] { window.Shell().DelayCount = core.CalibrateDelay(); });

  // Closing the main window ends the program, whatever tool windows are open; so
  // does a termination signal, even when the window was already closed, and even
  // while a dialog is open, the start-up's playback dialog included.
  bool terminated = false;
  QObject::connect(&window, &MainWindow::CloseFinished, &window, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
  QObject::connect(&watch, &SignalWatch::Terminate, &window, [&window, &terminated](int) {
    terminated = true;
    CloseModalDialogs();
    window.SetQuietClose(true);
    window.close();
    QCoreApplication::quit();
  });

  // A scripted session chooses its data source whatever the settings file says; so
  // does a file named on the command line.
  if (plan) state.RunMode = plan->playback_path.empty() ? 0 : 1;
  if (!open_file.empty()) {
    state.RunMode = 1;
    window.SetStartFile(open_file);
  }
  window.Start();
  if (terminated) {
    window.OrderlyClose();
    return 0;
  }

  if (plan) {
    if (!plan->survey.empty() && state.RunMode == 0) {
      display.Outputs().SetDialogHook(ScriptedSurveyHook(plan->survey));
      window.OnCommand(SurveyCommand(plan->survey));
    }
    if (!plan->record_path.empty() && state.RunMode == 0 && !core.StartRecording(plan->record_path))
      std::fprintf(stderr, "winq47v: cannot record to %s\n", plan->record_path.c_str());
    QTimer::singleShot(plan->seconds * 1000, &window, [&window, plan] {
      // What the screen shows, read back from the display server.
      if (!plan->capture_path.empty() &&
          !GrabFromScreen(window, true).save(QString::fromStdString(plan->capture_path)))
        std::fprintf(stderr, "winq47v: cannot write %s\n", plan->capture_path.c_str());
      window.SetQuietClose(true);
      window.close();
    });
  }
  const int rc = QCoreApplication::exec();
  window.OrderlyClose();  // nothing left to do when the close already ran
  return rc;
}
