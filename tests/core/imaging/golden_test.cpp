// SPDX-License-Identifier: GPL-3.0-or-later
// A few pings of a known file rendered through playback and ProcessPing, compared
// pixel by pixel with a stored picture (tests/data/imaging/golden_sector.pgm, the
// crop of the changed area), plus hand-computed pixels of the same picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

#include "clock.h"
#include "display.h"
#include "files/playback.h"
#include "files/recorder.h"
#include "files/sonar_file.h"
#include "imaging/ping_pipeline.h"
#include "app_state.h"

namespace {

// An 8-bit "G" reply: head 0x10, status 0, position p stepping upwards, range
// 10 m, no profile point, 500 samples of one level.
std::vector<uint8_t> Reply(int position, int level) {
  std::vector<uint8_t> r(513, 0);
  r[0] = 'I';
  r[1] = 'G';
  r[2] = 'X';
  r[3] = 0x10;
  r[4] = 0;
  r[5] = position & 0x7f;
  r[6] = ((position >> 7) & 0x3f) | 0x40;  // direction bit set
  r[7] = 10;
  r[10] = 500 & 0x7f;
  r[11] = 500 >> 7;
  for (int i = 12; i < 512; ++i) r[i] = static_cast<uint8_t>(level);
  r[512] = 0xFC;
  return r;
}

std::string WriteFile() {
  auto s = std::make_unique<AppState>();
  s->GridMode = 0;
  s->Speed = 3;  // "Faster": 21 sub-rays, table W21, 1.2-degree steps
  s->SectorSectorSize = 180;
  s->SectorSize = 180;
  s->Range = 5;  // 10 m
  s->DataBits = 8;
  s->Grid = 1;
  const std::string path = "golden.47v";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int previous = 0;
  int64_t length = 0;
  const int positions[3] = {600, 604, 608};
  const int levels[3] = {20, 60, 100};
  for (int k = 0; k < 3; ++k) {
    const std::vector<uint8_t> reply = Reply(positions[k], levels[k]);
    RecordedPing rp;
    rp.reply = reply;
    rp.type_code = 3;
    rp.time = {2026, 12, 8, 1, 0, k, 0};
    rp.step_direction = true;
    SonarRecordFields f = RecordFieldsFor(*s, rp, previous);
    std::vector<uint8_t> rec(f.record_size);
    EXPECT_TRUE(EncodeSonarRecord(f, reply, rec));
    std::string error;
    EXPECT_TRUE(AppendRecord(fd, rec, length, error)) << error;
    length += f.record_size;
    previous = f.record_size;
  }
  ::close(fd);
  return path;
}

struct Rendered {
  std::unique_ptr<AppState> state = std::make_unique<AppState>();
};

void Render(AppState& s) {
  NullDisplay display;
  s.RunMode = 1;
  s.PlotSpeed = 100;
  ASSERT_TRUE(OpenPlayback(s, display, WriteFile()));
  ClearImage(s, display);
  s.FirstPing = true;
  Clock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, [&display](AppState& a) { ProcessPlaybackPing(a, display); });
  for (int k = 0; k < 3; ++k) ASSERT_EQ(PlaybackStep(s, display, hooks).outcome, PlaybackOutcome::kPlayed);
}

// The stored crop: "P5 w h 255" with a comment "# origin x y".
struct Crop {
  int x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<uint8_t> bytes;
};

bool ReadPgm(const std::string& path, Crop& c) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::string magic, hash, word;
  f >> magic >> hash >> word >> c.x0 >> c.y0 >> c.w >> c.h;
  int maxval = 0;
  f >> maxval;
  f.get();
  if (magic != "P5" || hash != "#" || word != "origin" || maxval != 255) return false;
  c.bytes.resize(static_cast<size_t>(c.w) * c.h);
  f.read(reinterpret_cast<char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
  return f.gcount() == static_cast<std::streamsize>(c.bytes.size());
}

TEST(Golden, ThreePingsMatchTheStoredPicture) {
  Rendered r;
  Render(*r.state);
  AppState& s = *r.state;
  const std::string golden = std::string(Q47V_TESTDATA_DIR) + "/imaging/golden_sector.pgm";
  if (std::getenv("Q47V_UPDATE_GOLDEN")) {
    // Crop: every pixel that differs from the cleared picture with its grid.
    auto blank = std::make_unique<AppState>();
    blank->GridMode = 0;
    NullDisplay d;
    ClearImage(*blank, d);
    DirtyRect box;
    for (int y = 0; y < kImageHeight; ++y)
      for (int x = 0; x < kImageWidth; ++x)
        if (s.Image.At(x, y) != blank->Image.At(x, y)) box.Add(x, y);
    std::ofstream f(golden, std::ios::binary);
    f << "P5\n# origin " << box.MinX << " " << box.MinY << "\n"
      << box.MaxX - box.MinX + 1 << " " << box.MaxY - box.MinY + 1 << "\n255\n";
    for (int y = box.MinY; y <= box.MaxY; ++y)
      for (int x = box.MinX; x <= box.MaxX; ++x) f.put(static_cast<char>(s.Image.At(x, y)));
  }
  Crop c;
  ASSERT_TRUE(ReadPgm(golden, c)) << golden;
  for (int y = 0; y < kImageHeight; ++y)
    for (int x = 0; x < kImageWidth; ++x) {
      const bool in = x >= c.x0 && x < c.x0 + c.w && y >= c.y0 && y < c.y0 + c.h;
      if (!in) continue;
      ASSERT_EQ(s.Image.At(x, y), c.bytes[static_cast<size_t>(y - c.y0) * c.w + (x - c.x0)])
          << "pixel " << x << "," << y;
    }
  // Outside the crop the picture is the cleared one: zero or grid.
  for (int y = 0; y < kImageHeight; ++y)
    for (int x = 0; x < kImageWidth; ++x) {
      const bool in = x >= c.x0 && x < c.x0 + c.w && y >= c.y0 && y < c.y0 + c.h;
      if (!in) {
        ASSERT_TRUE(s.Image.At(x, y) == 0 || s.Image.At(x, y) == 128) << x << "," << y;
      }
    }
}

// Pixels worked out by hand from the rules: "Faster" fans 21 sub-rays over the
// 1.2-degree step behind the head angle, t_k = beam - 0.6 - 1.2 + k x 1.2/21
// degrees; the blanking of 100 us at 10 m is trunc(302 x 0.00075 / 0.02) = 11
// samples. Echo lines: ping 1 fills all three with 20 (first ping); ping 2 has
// (20, 20, 60); ping 3 (20, 60, 100). Neighbouring sub-rays share pixels (0.5 px
// apart at the rim), so the checks pick pixels whose last writer is clear.
TEST(Golden, HandComputedPixels) {
  Rendered r;
  Render(*r.state);
  AppState& s = *r.state;
  EXPECT_EQ(s.Ping.BlankSamples, 11);
  auto at = [&](double beam_deg, int k, int radius) {
    const double pi = 3.141592654;
    const double t = (beam_deg - 0.6 - 1.2 + k * 1.2 / 21) * pi / 180;
    const float a = -static_cast<float>(std::cos(t)), b = static_cast<float>(std::sin(t));
    const int x = static_cast<int>(298.0f + radius * b), y = static_cast<int>(505.0f + radius * a);
    return static_cast<int>(s.Image.At(x, y));
  };
  // The last sub-ray of the last ping at the last radius is the last pixel written:
  // row 20 of W21 (0,100,100) over (20, 60, 100) gives (6000 + 10000) / 200 = 80.
  EXPECT_EQ(at(2.4, 20, 498), 80);
  // Ping 1's first sub-ray (-1.8 degrees) is far from later wedges: 20.
  EXPECT_EQ(at(0, 0, 450), 20);
  EXPECT_EQ(at(0, 0, 350), 20);
  // Where ping 2's last row meets ping 3's first, both give 40: (20 + 60) / 2 and
  // (20 x 100 + 60 x 100) / 200.
  EXPECT_EQ(at(1.2, 20, 450), 40);
  EXPECT_EQ(at(2.4, 0, 450), 40);
  // Inside the blanking the echo is 0; near the apex ping 1 crosses the centre grid
  // column 297, where 0 is stored as 128.
  EXPECT_EQ(at(0, 0, 5), 128);
  // On the 300-pixel grid ring the level keeps the grid bit: 80 + 128.
  bool ring = false;
  for (int rad = 296; rad <= 300; ++rad) ring |= at(2.4, 20, rad) == 208;
  EXPECT_TRUE(ring);
  // Nothing above the echo range: the picture holds levels up to 80 only.
  for (int i = 0; i < kImageBytes; ++i) ASSERT_LE(s.Image.Pixels()[i] & 0x7f, 80);
}

}  // namespace
