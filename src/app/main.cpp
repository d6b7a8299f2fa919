// winq47v: the sonar control and display program.
#include <QApplication>

#include "app_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("winq47v");
  return RunWinQ47V();
}
