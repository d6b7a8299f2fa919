// winq47v: the sonar control and display program.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app_main.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they work without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("winq47v %s\n", Q47V_VERSION);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("usage: winq47v [FILE.47V]\n"
                "The sonar control and display program. It keeps WINQ47V.INI, recordings,\n"
                "captures and .XYZ files in the working directory. See winq47v(1).\n");
    return 0;
  }
  QApplication app(argc, argv);
  app.setApplicationName("winq47v");
  app.setDesktopFileName("winq47v");
  return RunWinQ47V();
}
