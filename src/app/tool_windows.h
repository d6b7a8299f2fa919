// The small tool windows beside the main window: "Scan For Connected Heads",
// "Azimuth" and "Orientation". Each draws the state it is given on every repaint
// and reports its closing.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

struct AppState;

class ToolWindow : public QWidget {
  Q_OBJECT
 public:
  using Painter = std::function<void(class QPainter&, const QRect&)>;
  ToolWindow(const char* title, QRect geometry, Painter painter, std::function<void()> on_close, QWidget* owner);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  Painter painter_;
  std::function<void()> on_close_;
};

// The text lines of each window for the current state.
std::vector<std::string> ScanWindowLines(const AppState& state);
std::vector<std::string> AzimuthWindowLines(const AppState& state);
std::vector<std::string> OrientationWindowLines(const AppState& state);
