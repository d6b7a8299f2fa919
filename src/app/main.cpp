// SPDX-License-Identifier: GPL-3.0-or-later
// winq47v: the sonar control and display program.
#include <QApplication>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
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
  static const char kHelp[] =
      "usage: winq47v [--desktop] [FILE.47V]\n"
      "       winq47v -h | --help | --version\n"
      "The sonar control and display program. It keeps WINQ47V.INI, recordings,\n"
      "captures and .XYZ files in the working directory; with --desktop (the\n"
      "desktop entry) in ~/WinQ47V, created on first start. Qt's own options\n"
      "(-platform NAME, -style NAME, -geometry WxH+X+Y, ...) are passed to Qt.\n"
      "See winq47v(1).\n";
  // Qt's options, with the number of values each takes.
  static const std::map<std::string, int> kQtOptions = {
      {"platform", 1}, {"platformpluginpath", 1}, {"platformtheme", 1}, {"plugin", 1},
      {"style", 1}, {"stylesheet", 1}, {"session", 1}, {"display", 1}, {"geometry", 1},
      {"qwindowgeometry", 1}, {"qwindowtitle", 1}, {"qwindowicon", 1}, {"title", 1},
      {"name", 1}, {"widgetcount", 0}, {"reverse", 0}, {"nograb", 0}, {"dograb", 0},
      {"sync", 0}, {"visual", 1}, {"ncols", 1}, {"cmap", 0}, {"qmljsdebugger", 0}};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--version") {
      std::printf("winq47v %s\n", Q47V_VERSION);
      return 0;
    }
    if (a == "-h" || a == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (a == "--desktop" || a.size() < 2 || a[0] != '-') continue;
    std::string name = a.substr(a[1] == '-' ? 2 : 1);
    name = name.substr(0, name.find('='));
    const auto qt = kQtOptions.find(name);
    if (qt != kQtOptions.end() || name.rfind("qmljsdebugger", 0) == 0) {
      if (qt != kQtOptions.end() && a.find('=') == std::string::npos) i += qt->second;
      continue;
    }
    std::fprintf(stderr, "winq47v: unknown option '%s'\nTry 'winq47v --help'.\n", a.c_str());
    return 2;
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
  app.setApplicationName("winq47v");
  app.setDesktopFileName("winq47v");
  return RunWinQ47V(nullptr, open_file);
}
