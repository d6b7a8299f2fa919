// winq47v: the sonar control and display program.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label("WinQ47V Digital Sonar");
  label.show();
  return app.exec();
}
