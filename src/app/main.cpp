// winq47v: the sonar control and display program.
#include <QApplication>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app_main.h"
#include "bridge/work_folder.h"

namespace {

QtMessageHandler qt_messages = nullptr;

// While the application object is made: Qt ends the program with abort() when it
// finds no display; say so plainly and end with status 1 instead.
void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    const char* display = std::getenv("DISPLAY");
    if (display && *display) std::fprintf(stderr, "winq47v: cannot open the display %s\n", display);
    else std::fprintf(stderr, "winq47v: cannot open the display (DISPLAY is not set)\n");
    std::fflush(stderr);
    std::_Exit(1);
  }
  if (qt_messages) qt_messages(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they work without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("winq47v %s\n", Q47V_VERSION);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("usage: winq47v [--desktop] [FILE.47V]\n"
                "The sonar control and display program. It keeps WINQ47V.INI, recordings,\n"
                "captures and .XYZ files in the working directory; with --desktop (the\n"
                "desktop entry) in ~/WinQ47V, created on first start. See winq47v(1).\n");
    return 0;
  }
  // A file to play, named before or after --desktop: made absolute before the
  // desktop start changes the working directory.
  std::string open_file;
  for (int i = 1; i < argc; ++i) {
    // Only a sonar file: other words belong to Qt's own options (-platform NAME).
    const std::string a = argv[i];
    if (a.empty() || a[0] == '-' || a.size() < 4) continue;
    std::string ext = a.substr(a.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".47v") continue;
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(argv[i], ec);
    open_file = ec ? std::string(argv[i]) : p.string();
  }
  // The desktop entry's start: work in a folder of our own, then go on as if the
  // option had not been given.
  if (argc >= 2 && std::strcmp(argv[1], "--desktop") == 0) {
    std::string error;
    if (!EnterDesktopWorkFolder(&error)) std::fprintf(stderr, "winq47v: %s\n", error.c_str());
    for (int i = 1; i < argc; ++i) argv[i] = argv[i + 1];
    --argc;
  }
  qt_messages = qInstallMessageHandler(StartUpMessages);
  QApplication app(argc, argv);
  qInstallMessageHandler(qt_messages);
  // Qt has taken its own options (-platform NAME, -geometry ...) out of argv; any
  // other option is unknown.
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      std::fprintf(stderr, "winq47v: unknown option %s (winq47v --help lists the options)\n", argv[i]);
      return 2;
    }
  }
  app.setApplicationName("winq47v");
  app.setDesktopFileName("winq47v");
  return RunWinQ47V(nullptr, open_file);
}
