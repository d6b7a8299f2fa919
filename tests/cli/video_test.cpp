// SPDX-License-Identifier: GPL-3.0-or-later
// `q47v video` run as a program on the recorded harbour files; the videos are
// decoded with Debian's ffmpeg and ffprobe and compared with `q47v render` of the
// same records and with the readouts the window shows.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app_state.h"
#include "child_process.h"
#include "clock.h"
#include "display.h"
#include "files/playback.h"
#include "files/sonar_record.h"
#include "files_tool_support.h"
#include "imaging/ping_pipeline.h"
#include "webview/live_view_readouts.h"

namespace {

namespace fs = std::filesystem;

constexpr int kW = 596, kH = 506;
constexpr size_t kFrameBytes = static_cast<size_t>(kW) * kH * 3;

std::string Sample(const std::string& name) { return std::string(Q47V_TESTDATA_DIR) + "/imaging/" + name; }

// Output of a shell command (stderr dropped).
std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  ::pclose(pipe);
  return out;
}

// Every frame of a video as RGB, decoded by ffmpeg.
std::vector<uint8_t> DecodeFrames(const std::string& video, int scale = 1) {
  const std::string raw = Shell("ffmpeg -v error -i " + video + " -map 0:v -f rawvideo -pix_fmt rgb24 -");
  EXPECT_EQ(raw.size() % (kFrameBytes * scale * scale), 0u);
  return std::vector<uint8_t>(raw.begin(), raw.end());
}

struct Probe {
  long frames = 0;
  double duration = 0;
  std::string codecs;
};

Probe ProbeVideo(const std::string& video) {
  Probe p;
  const std::string frames = Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                   "stream=nb_read_frames -of csv=p=0 " + video);
  p.frames = std::atol(frames.c_str());
  p.duration = std::atof(Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + video).c_str());
  p.codecs = Shell("ffprobe -v error -show_entries stream=codec_name,pix_fmt -of csv=p=0 " + video);
  return p;
}

// RGB rows of a PNG written by `q47v render`.
std::vector<uint8_t> ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  return rgb;
}

// The picture `q47v render` draws for records first..last.
std::vector<uint8_t> Rendered(const std::string& file, int first, int last) {
  const std::string dir = "render-" + std::to_string(first) + "-" + std::to_string(last);
  const FilesToolRun run =
      RunQ47v("render " + file + " --out " + dir + " --records " + std::to_string(first) + "-" + std::to_string(last));
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string stem = fs::path(file).stem().string();
  return ReadPng(dir + "/" + stem + "-0001.png");
}

double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(n)));
}

struct Cue {
  double start = 0, end = 0;
  std::string text;
};

double VttTime(const std::string& t) {
  int h = 0, m = 0;
  double s = 0;
  if (std::sscanf(t.c_str(), "%d:%d:%lf", &h, &m, &s) == 3) return h * 3600 + m * 60 + s;
  std::sscanf(t.c_str(), "%d:%lf", &m, &s);
  return m * 60 + s;
}

// The subtitle track as WebVTT cues (ffmpeg converts mov_text as well).
std::vector<Cue> Cues(const std::string& video) {
  const std::string vtt = Shell("ffmpeg -v error -i " + video + " -map 0:s:0 -f webvtt -");
  std::vector<Cue> cues;
  size_t at = 0;
  while ((at = vtt.find(" --> ", at)) != std::string::npos) {
    const size_t line_start = vtt.rfind('\n', at) + 1;
    const size_t line_end = vtt.find('\n', at);
    Cue c;
    c.start = VttTime(vtt.substr(line_start, at - line_start));
    c.end = VttTime(vtt.substr(at + 5, line_end - at - 5));
    size_t text_end = vtt.find("\n\n", line_end);
    if (text_end == std::string::npos) text_end = vtt.size();
    c.text = vtt.substr(line_end + 1, text_end - line_end - 1);
    while (!c.text.empty() && c.text.back() == '\n') c.text.pop_back();
    cues.push_back(c);
    at = line_end;
  }
  return cues;
}

std::string CueAt(const std::vector<Cue>& cues, double t) {
  for (const Cue& c : cues)
    if (c.start <= t && t < c.end) return c.text;
  return "(none)";
}

// The readouts the window shows after records 1..last of `file` have been played.
webview::Readouts WindowReadouts(const std::string& file, int last) {
  auto state = std::make_unique<AppState>();
  NullDisplay display;
  state->RunMode = 1;
  state->PlotSpeed = 100;
  EXPECT_TRUE(OpenPlaybackFile(*state, display, file));
  Clock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, [&](AppState& s) { ProcessPlaybackPing(s, display); });
  for (int i = 0; i < last; ++i) EXPECT_EQ(PlaybackStep(*state, display, hooks).outcome, PlaybackOutcome::kPlayed);
  return webview::ReadReadouts(*state, clock);
}

// harbour_sector.47V with a GPS fix stored in every record, the latitude
// changing every 50 records.
std::string WithGps(const std::string& source, const std::string& target) {
  std::ifstream in(source, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> out;
  size_t at = 0;
  int index = 0;
  while (at + kRecordHeaderSize <= bytes.size()) {
    SonarRecordFields f;
    if (!ParseRecordHeader(std::span(bytes).subspan(at, kRecordHeaderSize), f)) break;
    if (!ParseRecordTail(std::span(bytes).subspan(at, static_cast<size_t>(f.record_size)), f)) break;
    const std::span<const uint8_t> reply = std::span(bytes).subspan(at + kRecordHeaderSize, f.reply_length);
    at += static_cast<size_t>(f.record_size);
    RecordGps gps;
    char lat[16];
    std::snprintf(lat, sizeof lat, "5130.%04dN", 1000 + index / 50);
    gps.latitude = lat;
    gps.longitude = "00012.3456W";
    gps.utc_time = "01:30:00.00";
    gps.fix_quality = 1;
    gps.satellites = 8;
    f.gps = gps;
    f.gps_present = true;
    f.record_size += kRecordGpsBlockSize;
    f.back_link = index == 0 ? 0 : f.record_size;
    std::vector<uint8_t> record(static_cast<size_t>(f.record_size));
    EXPECT_TRUE(EncodeSonarRecord(f, reply, record));
    out.insert(out.end(), record.begin(), record.end());
    ++index;
  }
  std::ofstream(target, std::ios::binary).write(reinterpret_cast<const char*>(out.data()),
                                                static_cast<std::streamsize>(out.size()));
  return target;
}

TEST(Video, FrameCountAndDurationFollowSpeedAndFps) {
  // 300 records, ten a second from 01:30:00.00 to 01:30:29.90: at 25 fps a frame
  // every 0.04 s of recording, the last one the first at or after 29.90 s (748).
  FilesToolRun run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out a.mp4");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("749 frames (29.96 s of video"), std::string::npos) << run.err;
  Probe p = ProbeVideo("a.mp4");
  EXPECT_EQ(p.frames, 749);
  EXPECT_NEAR(p.duration, 29.96, 0.05);
  EXPECT_NE(p.codecs.find("h264,yuv420p"), std::string::npos) << p.codecs;
  EXPECT_NE(p.codecs.find("mov_text"), std::string::npos) << p.codecs;
  // The index is at the front (+faststart): "moov" before "mdat".
  std::ifstream in("a.mp4", std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), 4096);
  EXPECT_LT(head.find("moov"), head.find("mdat"));

  // --speed 4 --fps 10: 0.4 s of recording a frame, 29.90 / 0.4 = 74.75, so 76 frames.
  run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out b.webm --speed 4 --fps 10");
  ASSERT_EQ(run.status, 0) << run.err;
  p = ProbeVideo("b.webm");
  EXPECT_EQ(p.frames, 76);
  EXPECT_NEAR(p.duration, 7.6, 0.11);
  EXPECT_NE(p.codecs.find("vp9"), std::string::npos) << p.codecs;
  EXPECT_NE(p.codecs.find("webvtt"), std::string::npos) << p.codecs;
  EXPECT_FALSE(fs::exists("a.mp4.part") || fs::exists("b.webm.part"));
}

TEST(Video, LosslessFramesEqualRenderStoppedAtTheLastRecordBefore) {
  // --speed 2 --fps 10: frame k shows the records up to 0.2 k s, records 1..2k+1.
  const FilesToolRun run =
      RunQ47v("video " + Sample("harbour_sector.47V") + " --out l.mkv --lossless --speed 2 --fps 10");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> frames = DecodeFrames("l.mkv");
  ASSERT_EQ(frames.size(), 151 * kFrameBytes);
  for (int k : {0, 7, 60, 149, 150}) {
    const std::vector<uint8_t> want = Rendered(Sample("harbour_sector.47V"), 1, std::min(2 * k + 1, 300));
    ASSERT_EQ(want.size(), kFrameBytes);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), frames.begin() + static_cast<long>(k * kFrameBytes)))
        << "frame " << k;
  }
  // A second run gives the same bytes.
  ASSERT_EQ(RunQ47v("video " + Sample("harbour_sector.47V") + " --out l2.mkv --lossless --speed 2 --fps 10").status,
            0);
  EXPECT_EQ(Shell("cmp l.mkv l2.mkv && echo same"), "same\n");
}

// PSNR over the Y, U and V samples together, the measure of video coding: the
// pictures are compared in the video's own 4:2:0 colour format, where the picture
// `q47v render` draws is converted with the same matrix and filter.
TEST(Video, H264IsWithin40DecibelsOfTheRenderedPictures) {
  const FilesToolRun run = RunQ47v("video " + Sample("harbour_polar.47V") + " --out p.mp4 --speed 5 --fps 10");
  ASSERT_EQ(run.status, 0) << run.err;
  constexpr size_t kYuvBytes = static_cast<size_t>(kW) * kH * 3 / 2;
  const std::string yuv = Shell("ffmpeg -v error -i p.mp4 -f rawvideo -pix_fmt yuv420p -");
  // 620 records, 0.5 s of recording a frame: frame k shows records 1..5k+1.
  ASSERT_EQ(yuv.size(), 125 * kYuvBytes);
  for (int k : {10, 60, 124}) {
    const std::string dir = "render-1-" + std::to_string(std::min(5 * k + 1, 620));
    ASSERT_EQ(Rendered(Sample("harbour_polar.47V"), 1, std::min(5 * k + 1, 620)).size(), kFrameBytes);
    const std::string want = Shell("ffmpeg -v error -i " + dir + "/harbour_polar-0001.png -sws_flags bilinear "
                                   "-f rawvideo -pix_fmt yuv420p -");
    ASSERT_EQ(want.size(), kYuvBytes);
    const double psnr = Psnr(reinterpret_cast<const uint8_t*>(want.data()),
                             reinterpret_cast<const uint8_t*>(yuv.data()) + static_cast<size_t>(k) * kYuvBytes,
                             kYuvBytes);
    EXPECT_GT(psnr, 40.0) << "frame " << k;
  }
}

TEST(Video, ScaleEnlargesEachPixelToABlock) {
  const FilesToolRun run =
      RunQ47v("video " + Sample("harbour_sector.47V") + " --out s.mkv --lossless --scale 2 --records 1-20 --fps 5");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> frames = DecodeFrames("s.mkv", 2);
  ASSERT_GE(frames.size(), 4 * kFrameBytes);
  const size_t last = frames.size() - 4 * kFrameBytes;
  const std::vector<uint8_t> want = Rendered(Sample("harbour_sector.47V"), 1, 20);
  ASSERT_EQ(want.size(), kFrameBytes);
  bool same = true;
  for (int y = 0; y < 2 * kH && same; ++y)
    for (int x = 0; x < 2 * kW && same; ++x)
      for (int c = 0; c < 3; ++c)
        same &= frames[last + (static_cast<size_t>(y) * 2 * kW + x) * 3 + c] ==
                want[(static_cast<size_t>(y / 2) * kW + x / 2) * 3 + c];
  EXPECT_TRUE(same);
}

TEST(Video, SubtitlesCarryTheReadoutsTheWindowShows) {
  const std::string file = WithGps(Sample("harbour_sector.47V"), "harbour_gps.47V");
  const FilesToolRun run = RunQ47v("video " + file + " --out g.mp4");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Cue> cues = Cues("g.mp4");
  ASSERT_GE(cues.size(), 30u);
  // At 0.50 s of video records 1..5 are shown, at 10.22 s records 1..103, at the
  // last frame (29.92 s) all 300.
  const struct {
    double t;
    int last;
  } at[] = {{0.50, 5}, {10.22, 103}, {29.93, 300}};
  for (const auto& a : at) {
    const webview::Readouts r = WindowReadouts(file, a.last);
    ASSERT_FALSE(r.gps.empty());
    const std::string want = "harbour_gps.47V\n" + r.dateTime + "\nRange " + r.range + "  Mode " + r.mode +
                             "  Gain " + r.gain + "\nGPS " + r.gps;
    EXPECT_EQ(CueAt(cues, a.t), want) << a.t;
  }
  // The texts themselves, as stored in record 103.
  EXPECT_EQ(CueAt(cues, 10.22),
            "harbour_gps.47V\n08-DEC-2026  01:30:10\nRange 30 M  Mode Sector  Gain 12 dB\nGPS 5130.1002N, 00012.3456W");
  // WebVTT in Matroska holds the same texts.
  ASSERT_EQ(RunQ47v("video " + file + " --out g.mkv --records 1-50").status, 0);
  EXPECT_EQ(CueAt(Cues("g.mkv"), 0.5), CueAt(cues, 0.5));
}

TEST(Video, RecordsAndTimesCutWhereTheySay) {
  // Records 101..200: 01:30:10.00 to 01:30:19.90, 9.9 s: 249 frames at 25 fps.
  FilesToolRun run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out r.mkv --lossless --records 101-200");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<uint8_t> frames = DecodeFrames("r.mkv");
  ASSERT_EQ(frames.size(), 249 * kFrameBytes);
  std::vector<uint8_t> want = Rendered(Sample("harbour_sector.47V"), 101, 101);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), frames.begin()));
  want = Rendered(Sample("harbour_sector.47V"), 101, 200);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), frames.end() - static_cast<long>(kFrameBytes)));
  std::vector<Cue> cues = Cues("r.mkv");
  ASSERT_FALSE(cues.empty());
  EXPECT_NE(cues.front().text.find("01:30:10"), std::string::npos) << cues.front().text;
  EXPECT_NE(cues.back().text.find("01:30:19"), std::string::npos) << cues.back().text;

  // 01:30:05 to 01:30:09: records stamped 05.00 .. 09.00, 4 s: 101 frames.
  run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out t.mkv --lossless --from 01:30:05 --to 01:30:09");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(" 41 drawn, 101 frames"), std::string::npos) << run.err;
  frames = DecodeFrames("t.mkv");
  ASSERT_EQ(frames.size(), 101 * kFrameBytes);
  want = Rendered(Sample("harbour_sector.47V"), 51, 91);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), frames.end() - static_cast<long>(kFrameBytes)));
  cues = Cues("t.mkv");
  ASSERT_FALSE(cues.empty());
  EXPECT_NE(cues.front().text.find("01:30:05"), std::string::npos);
  EXPECT_NE(cues.back().text.find("01:30:09"), std::string::npos);

  run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out n.mp4 --records 400-500");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no records in the chosen range"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists("n.mp4") || fs::exists("n.mp4.part"));
}

TEST(Video, AFullDiskLeavesNoFile) {
  // A file-size limit of 200 kB: the lossless video needs megabytes.
  const FilesToolRun run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out full.mkv --lossless");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string limited = "ulimit -f 200; " + std::string(Q47V_BINARY_DIR) + "/src/cli/q47v video " +
                              Sample("harbour_sector.47V") + " --out small.mkv --lossless 2>&1; echo status $?";
  const std::string out = Shell("sh -c '" + limited + "'");
  EXPECT_NE(out.find("no video written"), std::string::npos) << out;
  EXPECT_NE(out.find("status 1"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists("small.mkv"));
  EXPECT_FALSE(fs::exists("small.mkv.part"));
  // The same for an MP4, whose index is moved to the front at the end.
  const std::string mp4 = "ulimit -f 200; " + std::string(Q47V_BINARY_DIR) + "/src/cli/q47v video " +
                          Sample("harbour_sector.47V") + " --out small.mp4 --lossless 2>&1; echo status $?";
  EXPECT_NE(Shell("sh -c '" + mp4 + "'").find("status 1"), std::string::npos);
  EXPECT_FALSE(fs::exists("small.mp4") || fs::exists("small.mp4.part"));
}

TEST(Video, AnInterruptLeavesNoFile) {
  // At a twentieth of the speed the video is ten minutes long: time to interrupt.
  Child child;
  ASSERT_TRUE(child.Start({std::string(Q47V_BINARY_DIR) + "/src/cli/q47v", "video", Sample("harbour_sector.47V"),
                           "--out", "slow.mp4", "--speed", "0.05"}));
  for (int i = 0; i < 300 && !fs::exists("slow.mp4.part"); ++i) ::usleep(10000);
  ASSERT_TRUE(fs::exists("slow.mp4.part"));
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(), 1);
  EXPECT_FALSE(fs::exists("slow.mp4"));
  EXPECT_FALSE(fs::exists("slow.mp4.part"));
}

TEST(Video, ErrorsAndUsage) {
  FilesToolRun run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out x.avi");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(".mp4, .mkv or .webm"), std::string::npos) << run.err;
  EXPECT_EQ(RunQ47v("video " + Sample("harbour_sector.47V") + " --out x.mp4 --speed 0").status, 2);
  EXPECT_EQ(RunQ47v("video " + Sample("harbour_sector.47V") + " --out x.mp4 --fps 0").status, 2);
  EXPECT_EQ(RunQ47v("video " + Sample("harbour_sector.47V") + " --out x.mp4 --from 25:00:00").status, 2);
  EXPECT_EQ(RunQ47v("video " + Sample("harbour_sector.47V") + " --out x.mp4 --set NoSuchKey=1").status, 2);
  run = RunQ47v("video missing.47V --out x.mp4");
  EXPECT_EQ(run.status, 1);
  run = RunQ47v("video " + Sample("harbour_sector.47V") + " --out no/such/dir/x.mp4");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no video written"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists("x.mp4"));
  // Settings from --set reach the picture: the Grey table gives equal channels.
  ASSERT_EQ(RunQ47v("video " + Sample("harbour_sector.47V") + " --out grey.mkv --lossless --records 1-30 "
                    "--set Colors=3").status,
            0);
  const std::vector<uint8_t> frames = DecodeFrames("grey.mkv");
  ASSERT_GE(frames.size(), kFrameBytes);
  const uint8_t* last = frames.data() + frames.size() - kFrameBytes;
  int grey = 0, echoes = 0;
  for (size_t i = 0; i < kFrameBytes; i += 3) {
    if (last[i] == 127 && last[i + 1] == 0) continue;  // grid
    ++echoes;
    grey += last[i] == last[i + 1] && last[i + 1] == last[i + 2];
  }
  EXPECT_EQ(grey, echoes);
}

}  // namespace
