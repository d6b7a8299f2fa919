#include "app_main.h"

#include <QCoreApplication>

#include "clock.h"
#include "core_bridge.h"
#include "main_window.h"
#include "qt_display.h"
#include "settings/app_state.h"
#include "signal_watch.h"
#include "splash.h"

int RunWinQ47V() {
  AppState state;
  Clock clock;
  QtDisplay display;
  CoreBridge core(state, display, clock);
  SignalWatch watch;

  MainWindow window(state, core, nullptr);
  display.SetWindow(&window);

  ShowLogoWhile([&] { window.Shell().DelayCount = core.CalibrateDelay(); });

  window.show();
  window.Start();

  QObject::connect(&watch, &SignalWatch::Terminate, &window, [&window](int) {
    window.SetQuietClose(true);
    window.close();
  });
  const int rc = QCoreApplication::exec();
  window.OrderlyClose();  // nothing left to do when the close already ran
  return rc;
}
