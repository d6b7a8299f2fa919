// SPDX-License-Identifier: GPL-3.0-or-later
// winq47v-demo: the sonar program run as a fixed session for `make run` without a
// display and for screenshots: records the live pings, captures the window after
// the given time and closes as a logout would.
//   winq47v-demo [--seconds N] [--record FILE.47V] [--capture FILE.png] [--play FILE.47V]
//                [--survey vertical|horizontal|azimuth]
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("winq47v");
  DemoPlan plan;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (a == "--seconds" && v) plan.seconds = std::atoi(argv[++i]);
    else if (a == "--record" && v) plan.record_path = argv[++i];
    else if (a == "--capture" && v) plan.capture_path = argv[++i];
    else if (a == "--play" && v) plan.playback_path = argv[++i];
    else if (a == "--survey" && v && (std::string(v) == "vertical" || std::string(v) == "horizontal" ||
                                       std::string(v) == "azimuth"))
      plan.survey = argv[++i];
    else {
      std::fprintf(stderr, "usage: winq47v-demo [--seconds N] [--record FILE.47V] [--capture FILE.png] [--play FILE.47V]\n"
                   "                    [--survey vertical|horizontal|azimuth]\n");
      return 2;
    }
  }
  if (plan.seconds < 1) plan.seconds = 1;
  return RunWinQ47V(&plan);
}
