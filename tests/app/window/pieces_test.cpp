// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces of the main window on their own: each works on what its constructor
// is given, with a surface that records repaints and links that count their calls
// in place of the window.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <memory>
#include <vector>

#include "app_fixture.h"
#include "app_state.h"
#include "bridge/core_bridge.h"
#include "bridge/qt_display.h"
#include "clock.h"
#include "window/entry_box.h"
#include "window/layout.h"
#include "window/overlay_painter.h"
#include "window/picture_view.h"
#include "window/window_surface.h"

namespace {

class RecordingSurface final : public WindowSurface {
 public:
  explicit RecordingSurface(QWidget* widget) : widget_(widget) {}
  QWidget* Widget() const override { return widget_; }
  void UpdateRect(int l, int t, int r, int b) override { rects.push_back(QRect(QPoint(l, t), QPoint(r, b))); }
  void ImageChanged() override { ++image_changes; }

  std::vector<QRect> rects;
  int image_changes = 0;

 private:
  QWidget* widget_;
};

class PiecesTest : public ::testing::Test {
 protected:
  PiecesTest() : surface(&client) {
    core = std::make_unique<CoreBridge>(state, display, clock);
    picture = std::make_unique<PictureView>(*core, &client);
    layout = ComputeLayout(8, 16, 16, 16);
    prompts.boxes = &boxes;
    prompts.files = &files;
    prompts.asked = &asked;
  }

  void Type(EntryBox& box, const std::string& keys) {
    for (char c : keys) box.HandleChar(c == '\n' ? 13 : c);
  }

  QApplication& app = TestApp();  // before any widget
  AppState state;
  Clock clock;
  QtDisplay display;
  std::unique_ptr<CoreBridge> core;
  QWidget client;
  std::unique_ptr<PictureView> picture;
  Layout layout;
  RecordingSurface surface;
  FakePrompts prompts;
  std::vector<ShownBox> boxes;
  std::deque<std::string> files;
  std::vector<FileDialogRequest> asked;
};

}  // namespace

// The entry box applies a typed range or gain through its links, warns through the
// prompts it was given, and repaints only its own place.
TEST_F(PiecesTest, EntryBoxAppliesThroughItsLinks) {
  int ranges = 0, readouts = 0;
  std::vector<int> panels;
  EntryBox box(state, layout, *picture, prompts, surface,
               EntryBox::Links{
                   .range_changed = [&] { ++ranges; },
                   .panel_changed = [&](int panel) { panels.push_back(panel); },
                   .readouts_changed = [&] { ++readouts; },
               });
  state.RunMode = 0;
  state.Units = 0;

  Type(box, "R7");
  EXPECT_EQ(box.Text(), "Range: 7 M");
  Type(box, "\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Keyboard Range");
  EXPECT_EQ(ranges, 1);  // the panel shows the range kept
  EXPECT_EQ(readouts, 1);

  Type(box, "R20\n");
  EXPECT_EQ(state.Range.load(), RangeIndexForEntry(20, 0));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(ranges, 2);

  Type(box, "G41\n");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].title, "Keyboard Gain");
  EXPECT_TRUE(panels.empty());
  Type(box, "G25\n");
  EXPECT_EQ(state.Gain.load(), 25);
  EXPECT_EQ(panels, std::vector<int>{2});

  ASSERT_FALSE(surface.rects.empty());
  for (const QRect& r : surface.rects) EXPECT_EQ(r, QRect(QPoint(layout.EntryX, layout.EntryY),
                                                          QPoint(layout.EntryX + 160, layout.EntryY + layout.LineH + 2)));
  EXPECT_EQ(surface.image_changes, 0);

  // In FILE mode the keys are not the box's.
  state.RunMode = 1;
  EXPECT_FALSE(box.HandleChar('R'));
  EXPECT_FALSE(box.Open());
}

// The overlays paint from the state, layout and picture alone: the transducer icon
// and the dial sit where OverlayPlaces says, in the picture's palette.
TEST_F(PiecesTest, OverlayPainterPaintsFromWhatItIsGiven) {
  OverlayPainter overlays(state, layout, *picture);
  QImage blank(810, 569, QImage::Format_RGB32);
  blank.fill(Qt::magenta);
  QImage painted = blank;
  {
    QPainter p(&painted);
    overlays.Paint(p, painted.rect(), true);
  }
  const OverlayRects places = OverlayPlaces(layout);
  const QRect inside = places.dial | places.transducer | places.grid_label;
  int changed_inside = 0, changed_outside = 0;
  for (int y = 0; y < painted.height(); ++y)
    for (int x = 0; x < painted.width(); ++x)
      if (painted.pixel(x, y) != blank.pixel(x, y)) ++(inside.contains(x, y) ? changed_inside : changed_outside);
  EXPECT_GT(changed_inside, 0);
  EXPECT_EQ(changed_outside, 0);
}
