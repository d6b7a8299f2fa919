// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/screen_capture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "files/file_texts.h"
#include "files/output_file.h"

namespace {
void Put16(std::vector<unsigned char>& b, size_t at, unsigned v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<unsigned char>& b, size_t at, unsigned v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}
}  // namespace

void ShowCaptureCursor(bool busy) {
  if (busy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  else QGuiApplication::restoreOverrideCursor();
}

bool WriteBmp24(const std::string& path, const QImage& source) {
  const QImage img = source.convertToFormat(QImage::Format_RGB888);
  const unsigned w = static_cast<unsigned>(img.width()), h = static_cast<unsigned>(img.height());
  const unsigned row = (w * 3 + 3) / 4 * 4;
  const unsigned size = row * h;
  std::vector<unsigned char> header(54, 0);
  header[0] = 'B';
  header[1] = 'M';
  Put32(header, 2, size + 54);
  Put32(header, 10, 54);
  Put32(header, 14, 40);
  Put32(header, 18, w);
  Put32(header, 22, h);
  Put16(header, 26, 1);
  Put16(header, 28, 24);
  Put32(header, 34, size);
  std::vector<unsigned char> pixels(size, 0);
  for (unsigned y = 0; y < h; ++y) {
    const unsigned char* src = img.constScanLine(static_cast<int>(h - 1 - y));
    unsigned char* dst = pixels.data() + static_cast<size_t>(y) * row;
    for (unsigned x = 0; x < w; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  // Whole or not at all, through a link to its file; a device or a FIFO under the
  // name is refused.
  std::string data(reinterpret_cast<const char*>(header.data()), 54);
  data.append(reinterpret_cast<const char*>(pixels.data()), size);
  return WriteWholeOutput(path, data, OutputMode::kThroughLinks, nullptr);
}

bool HasBmpExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && LowerCasePath(path.substr(dot + 1, 3)) == "bmp";
}

std::string NextPlaybackCaptureName(const std::string& played_path) {
  namespace fs = std::filesystem;
  const std::string stem = played_path.size() > 4 ? played_path.substr(0, played_path.size() - 4) : played_path;
  const fs::path stem_path(stem);
  const fs::path dir = stem_path.has_parent_path() ? stem_path.parent_path() : fs::path(".");
  const std::string base = LowerCasePath(stem_path.filename().string()) + "-";
  unsigned long largest = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = LowerCasePath(entry.path().filename().string());
    if (name.size() != base.size() + 8 || name.compare(0, base.size(), base) != 0) continue;
    if (name.compare(base.size() + 4, 4, ".bmp") != 0) continue;
    const std::string digits = name.substr(base.size(), 4);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      continue;
    largest = std::max(largest, std::stoul(digits));
  }
  char number[16];
  std::snprintf(number, sizeof number, "%04lu", std::min(largest + 1, 9999UL));
  return stem + "-" + number + ".bmp";
}

QImage GrabFromScreen(const QWidget& w, bool with_frame) {
  const QRect r = with_frame ? w.frameGeometry() : QRect(w.mapToGlobal(QPoint(0, 0)), w.size());
  QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
  if (screen) {
    // grabWindow takes coordinates of the screen's own desktop.
    const QPoint at = r.topLeft() - screen->geometry().topLeft();
    const QPixmap shot = screen->grabWindow(0, at.x(), at.y(), r.width(), r.height());
    if (!shot.isNull() && shot.size() == r.size()) return shot.toImage().convertToFormat(QImage::Format_RGB32);
  }
  return const_cast<QWidget&>(w).grab().toImage();
}
