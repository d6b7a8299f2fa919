// SPDX-License-Identifier: GPL-3.0-or-later
// The live view's messages and settings: a picture rebuilt from change rectangles
// equals the source, malformed messages are refused, readouts stay valid JSON
// whatever the file names hold, and the INI section and --serve addresses parse.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app_state.h"
#include "clock.h"
#include "imaging/ping_image.h"
#include "settings/ini_file.h"
#include "webview/live_view_protocol.h"
#include "webview/live_view_server.h"
#include "webview/live_view_settings.h"

using namespace webview;

TEST(LiveViewProtocol, ChangeRectanglesRebuildThePicture) {
  std::mt19937 rng(7);
  std::vector<uint8_t> source(kImageBytes), rebuilt(kImageBytes, 0);
  for (auto& p : source) p = static_cast<uint8_t>(rng() % 246);
  // The whole picture, then a few rectangles of new values at the edges and inside.
  ASSERT_TRUE(ApplyPicture(EncodePicture(source.data(), DirtyRect::Whole(), 1, true), rebuilt));
  EXPECT_EQ(rebuilt, source);
  const DirtyRect rects[] = {{0, 0, 0, 0}, {595, 595, 505, 505}, {10, 300, 20, 21}, {0, 595, 250, 250}};
  uint32_t seq = 1;
  for (const DirtyRect& r : rects) {
    for (int y = r.MinY; y <= r.MaxY; ++y)
      for (int x = r.MinX; x <= r.MaxX; ++x) source[static_cast<size_t>(y) * kImageWidth + x] = static_cast<uint8_t>(rng() % 246);
    uint32_t got = 0;
    ASSERT_TRUE(ApplyPicture(EncodePicture(source.data(), r, ++seq, false), rebuilt, &got));
    EXPECT_EQ(got, seq);
    EXPECT_EQ(rebuilt, source);
  }
}

// Changes carry what to add to the viewer's pixels, within the box of the pixels
// that differ: wedges of scattered pixels over a picture full of grid values.
TEST(LiveViewProtocol, ChangesRebuildThePictureFromWhatTheViewerHolds) {
  std::mt19937 rng(11);
  std::vector<uint8_t> before(kImageBytes), after, rebuilt;
  for (auto& p : before) p = static_cast<uint8_t>(rng() % 4 == 0 ? 128 + rng() % 118 : rng() % 108);
  ASSERT_TRUE(ApplyPicture(EncodePicture(before.data(), DirtyRect::Whole(), 1, true), rebuilt));
  uint32_t seq = 1;
  for (int round = 0; round < 50; ++round) {
    after = before;
    DirtyRect area;
    const int cx = static_cast<int>(rng() % kImageWidth), cy = static_cast<int>(rng() % kImageHeight);
    for (int k = 0; k < 400; ++k) {
      const int x = std::clamp(cx + static_cast<int>(rng() % 61) - 30, 0, kImageWidth - 1);
      const int y = std::clamp(cy + static_cast<int>(rng() % 61) - 30, 0, kImageHeight - 1);
      after[static_cast<size_t>(y) * kImageWidth + x] = static_cast<uint8_t>(rng() % 256);
      area.Add(x, y);
    }
    // The dirty box overhangs what changed, as a clear of nothing would.
    area.Add(std::max(0, area.MinX - 40), std::max(0, area.MinY - 3));
    const std::string m = EncodePictureChange(before.data(), after.data(), area, ++seq);
    if (after == before) {
      EXPECT_TRUE(m.empty());
      continue;
    }
    ASSERT_GE(m.size(), kPictureHeaderBytes);
    EXPECT_EQ(static_cast<uint8_t>(m[1]), kPictureChange);
    uint32_t got = 0;
    ASSERT_TRUE(ApplyPicture(m, rebuilt, &got));
    EXPECT_EQ(got, seq);
    ASSERT_EQ(rebuilt, after) << round;
    before = after;
  }
  // Nothing differs: no message; one pixel differs: a 1 x 1 change.
  EXPECT_TRUE(EncodePictureChange(before.data(), before.data(), DirtyRect::Whole(), 99).empty());
  after = before;
  after[static_cast<size_t>(200) * kImageWidth + 300] ^= 0x40;
  const std::string one = EncodePictureChange(before.data(), after.data(), DirtyRect::Whole(), 100);
  ASSERT_FALSE(one.empty());
  EXPECT_EQ(static_cast<uint8_t>(one[6]) | static_cast<uint8_t>(one[7]) << 8, 300);
  EXPECT_EQ(static_cast<uint8_t>(one[8]) | static_cast<uint8_t>(one[9]) << 8, 200);
  EXPECT_EQ(static_cast<uint8_t>(one[10]) | static_cast<uint8_t>(one[11]) << 8, 1);  // width
  EXPECT_EQ(static_cast<uint8_t>(one[12]) | static_cast<uint8_t>(one[13]) << 8, 1);  // height
  ASSERT_TRUE(ApplyPicture(one, rebuilt));
  EXPECT_EQ(rebuilt, after);
}

TEST(LiveViewProtocol, RefusesMalformedPictures) {
  std::vector<uint8_t> source(kImageBytes, 5), out(kImageBytes, 0);
  std::string good = EncodePicture(source.data(), {0, 9, 0, 9}, 1, false);
  ASSERT_TRUE(ApplyPicture(good, out));
  std::string cut = good.substr(0, good.size() - 3);
  EXPECT_FALSE(ApplyPicture(cut, out));
  std::string outside = good;
  outside[6] = static_cast<char>(0xff);  // x far beyond the picture
  outside[7] = static_cast<char>(0xff);
  EXPECT_FALSE(ApplyPicture(outside, out));
  EXPECT_FALSE(ApplyPicture("P", out));
  EXPECT_FALSE(ApplyPicture(std::string(20, 'x'), out));
  // A rectangle clipped to the picture when the dirty box overhangs it.
  std::string clipped = EncodePicture(source.data(), {590, 700, 500, 900}, 2, false);
  ASSERT_TRUE(ApplyPicture(clipped, out));
}

TEST(LiveViewProtocol, ReadoutsAreValidJsonForAnyFileName) {
  Readouts r;
  r.file = std::string("c:\\survey\\\"quay\"\x01\xff\xc3\xa9.47v");
  r.status = "Scanning...";
  const std::string json = ReadoutsJson(r, 12);
  EXPECT_NE(json.find("\"seq\":12"), std::string::npos);
  EXPECT_NE(json.find("c:\\\\survey\\\\\\\"quay\\\"\\u0001?\xc3\xa9.47v"), std::string::npos) << json;
}

TEST(LiveViewDirty, TheWindowsResetLeavesTheLiveViewsChanges) {
  PingImage img;
  img.Dirty.Add(10, 20);
  img.Dirty.Merge({100, 120, 30, 40});
  const DirtyRect window = img.Dirty;
  img.Dirty.Reset();
  EXPECT_TRUE(img.Dirty.Empty());
  const DirtyRect view = img.TakeViewDirty();
  EXPECT_EQ(view, window);
  EXPECT_TRUE(img.TakeViewDirty().Empty());
  img.Dirty = DirtyRect::Whole();
  EXPECT_EQ(img.TakeViewDirty(), DirtyRect::Whole());
  EXPECT_EQ(static_cast<const DirtyRect&>(img.Dirty), DirtyRect::Whole());
}

TEST(LiveViewSettings, SectionRoundTripAndListenAddresses) {
  IniFile ini = IniFile::Parse("[Settings]\nRange=9\n");
  ServerOptions o = LoadLiveViewOptions(ini);
  EXPECT_EQ(o.address, "127.0.0.1");
  EXPECT_EQ(o.port, kDefaultPort);
  o.address = "0.0.0.0";
  o.port = 9000;
  o.maxViewers = 12;
  StoreLiveViewOptions(ini, o);
  EXPECT_NE(ini.Text().find("[Live View]"), std::string::npos);
  EXPECT_NE(ini.Text().find("Range=9"), std::string::npos);
  const ServerOptions back = LoadLiveViewOptions(ini);
  EXPECT_EQ(back.address, "0.0.0.0");
  EXPECT_EQ(back.port, 9000);
  EXPECT_EQ(back.maxViewers, 12);
  // Junk in the file gives the defaults, never a crash or a strange address.
  const ServerOptions junk = LoadLiveViewOptions(IniFile::Parse("[Live View]\nPort=99999\nAddress=a b\nViewers=-3\n"));
  EXPECT_EQ(junk.port, kDefaultPort);
  EXPECT_EQ(junk.address, "127.0.0.1");

  ServerOptions p;
  EXPECT_TRUE(ParseListenAddress("192.0.2.7:8100", p));
  EXPECT_EQ(p.address, "192.0.2.7");
  EXPECT_EQ(p.port, 8100);
  // IPv6 only where the web server library can listen on it.
  if (IPv6Served()) {
    EXPECT_TRUE(ParseListenAddress("[::1]:0", p));
    EXPECT_EQ(p.address, "::1");
    EXPECT_EQ(p.port, 0);
  } else {
    std::string why;
    EXPECT_FALSE(ParseListenAddress("[::1]:0", p, &why));
    EXPECT_NE(why.find("no IPv6"), std::string::npos) << why;
  }
  // Addresses taken exactly, never read loosely into another one.
  for (const char* loose : {"999.1.1.1:0", "127.0.0.300:0", "127.1:0", "0x7f.0.0.1:0", "host.example:80"}) {
    std::string why;
    EXPECT_FALSE(ParseListenAddress(loose, p, &why)) << loose;
    EXPECT_NE(why.find("not an IPv4 address"), std::string::npos) << loose << ": " << why;
  }
  EXPECT_TRUE(ParseListenAddress("8047", p));
  EXPECT_EQ(p.address, "127.0.0.1");
  for (const char* bad : {"", "host:", ":x", "1.2.3.4:70000", "::1:80", "[::1]80", "a b:80"})
    EXPECT_FALSE(ParseListenAddress(bad, p)) << bad;

  EXPECT_TRUE(IsLoopbackAddress("127.0.0.1"));
  EXPECT_TRUE(IsLoopbackAddress("127.1.2.3"));
  EXPECT_TRUE(IsLoopbackAddress("::1"));
  EXPECT_FALSE(IsLoopbackAddress("0.0.0.0"));
  EXPECT_FALSE(IsLoopbackAddress("192.168.1.5"));
  EXPECT_FALSE(IsLoopbackAddress("127.0.0.1.evil"));
}

// The server itself (as the window's Live View dialog starts it from the settings
// file) listens only on an address taken exactly.
TEST(LiveViewProtocol, ServerRefusesLooselyReadAddresses) {
  auto state = std::make_unique<AppState>();
  Clock clock;
  for (const char* loose : {"999.1.1.1", "127.0.0.300", "127.1"}) {
    LiveViewServer server(*state, clock);
    ServerOptions o;
    o.address = loose;
    o.port = 0;
    std::string error;
    EXPECT_FALSE(server.Start(o, &error)) << loose << " listened on";
    EXPECT_NE(error.find("not an IPv4 address"), std::string::npos) << error;
    server.Stop();
  }
}
