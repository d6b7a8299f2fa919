// SPDX-License-Identifier: GPL-3.0-or-later
// q47v render FILE --out DIR [...]: plays a .47V file through the same playback and
// ping processing as the program (settings restored from each record, the same
// ProcessPing), without pacing, and writes the picture through a colour table as
// PNG or 24-bit BMP files: one at the end, every N records, or one per sweep.
#include <png.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "clock.h"
#include "display.h"
#include "files/output_file.h"
#include "files/playback.h"
#include "imaging/color_tables.h"
#include "imaging/ping_pipeline.h"
#include "app_state.h"

namespace q47v::cli {

namespace {

constexpr const char* kUsage =
    "usage: q47v render FILE --out DIR [--colors N] [--format png|bmp]\n"
    "                   [--per-sweep | --every N]\n"
    "                   [--records N-M | --range-from HH:MM:SS --range-to HH:MM:SS]\n"
    "\n"
    "Plays a .47V sonar file through the program's playback and ping processing\n"
    "(settings restored from each record, playback speed ignored) and writes the\n"
    "596 x 506 sonar picture as image files into DIR, named STEM-0001.png ...\n"
    "\n"
    "  --out DIR         directory for the pictures (created if missing)\n"
    "  --colors N        colour table 0..8 (0 Norm Hi, 1 Norm Lo, 2 Green, 3 Grey,\n"
    "                    4 Rev Grey, 5 Brown/Yellow, 6 Green/Blue, 7 Green/Yellow,\n"
    "                    8 Blue); default 0\n"
    "  --format png|bmp  PNG (default) or uncompressed 24-bit BMP\n"
    "  --per-sweep       one picture at the end of each sweep (Sector and Polar: the\n"
    "                    step direction changed, or a full turn in a 360-degree scan)\n"
    "  --every N         one picture every N records drawn\n"
    "                    (without either: one picture after the last record)\n"
    "  --records N-M     only records N to M (1-based, as read from the start)\n"
    "  --range-from T, --range-to T\n"
    "                    only records whose time stamp lies in T..T (HH:MM:SS)\n"
    "\n"
    "Progress goes to stderr. Exit status: 0 success, 1 file error, 2 usage error.\n";

// A display that shows nothing but notes what rendering needs: restarts of the
// file and the sweep ends found by playback's auto frame capture rule.
class RenderDisplay final : public Display {
 public:
  explicit RenderDisplay(AppState& state) : state_(state) {}
  void PlaybackFileOpened(bool opened) override {
    if (opened) state_.FirstPing = true;
  }
  void PlaybackRestarted() override { state_.FirstPing = true; }
  void PlaybackSeeked() override { state_.FirstPing = true; }
  void CaptureFrameRequested() override { capture_ = true; }
  bool TakeCapture() {
    const bool c = capture_;
    capture_ = false;
    return c;
  }

 private:
  AppState& state_;
  bool capture_ = false;
};

bool ParseInt(const char* s, int& out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (*end || v < 0 || v > 1000000000) return false;
  out = static_cast<int>(v);
  return true;
}

// "HH:MM:SS" to seconds of the day; -1 when malformed.
int ParseTime(const std::string& t) {
  int h = 0, m = 0, s = 0;
  char tail = 0;
  if (std::sscanf(t.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail) != 3) return -1;
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return -1;
  return h * 3600 + m * 60 + s;
}

bool MakeDirectory(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  // The whole path: every missing folder on the way is made.
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return !ec;
}

std::string Stem(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace

// The picture as 24-bit RGB rows, top row first.
std::vector<uint8_t> RenderRgb(const std::vector<uint8_t>& pixels, const PaletteTable& palette) {
  std::vector<uint8_t> rgb(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const Rgb c = palette[pixels[i]];
    rgb[3 * i] = c.Red;
    rgb[3 * i + 1] = c.Green;
    rgb[3 * i + 2] = c.Blue;
  }
  return rgb;
}

// A 24-bit Windows bitmap: 14-byte file header, 40-byte information header, rows
// bottom-up as blue, green, red, each padded with zeros to a multiple of 4 bytes.
std::vector<uint8_t> EncodeBmp24(const uint8_t* rgb, int width, int height) {
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(height);
  std::vector<uint8_t> out(54 + image, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    out[at] = v & 0xff;
    out[at + 1] = (v >> 8) & 0xff;
  };
  auto put32 = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) out[at + k] = (v >> (8 * k)) & 0xff;
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, image + 54);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  put16(26, 1);
  put16(28, 24);
  put32(34, image);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rgb + static_cast<size_t>(height - 1 - y) * width * 3;
    uint8_t* dst = out.data() + 54 + static_cast<size_t>(y) * row;
    for (int x = 0; x < width; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return out;
}

namespace {

void AppendPngData(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void FlushPngData(png_structp) {}

// The picture as a PNG file's bytes; false when it cannot be encoded.
bool EncodePng(const std::vector<uint8_t>& rgb, int width, int height, std::string& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, AppendPngData, FlushPngData);
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, const_cast<png_bytep>(rgb.data() + static_cast<size_t>(y) * width * 3));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

int RunRenderVerb(int argc, char** argv) {
  std::string file, out_dir, format = "png";
  int colors = 0, every = 0, first_record = 1, last_record = -1;
  int time_from = -1, time_to = -1;
  bool per_sweep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--out") {
      const char* v = value();
      if (!v) break;
      out_dir = v;
    } else if (a == "--colors") {
      if (!ParseInt(value(), colors) || colors > 8) {
        std::fprintf(stderr, "q47v render: --colors takes 0..8\n");
        return 2;
      }
    } else if (a == "--format") {
      const char* v = value();
      format = v ? v : "";
      if (format != "png" && format != "bmp") {
        std::fprintf(stderr, "q47v render: --format takes png or bmp\n");
        return 2;
      }
    } else if (a == "--per-sweep") {
      per_sweep = true;
    } else if (a == "--every") {
      if (!ParseInt(value(), every) || every < 1) {
        std::fprintf(stderr, "q47v render: --every takes a count of 1 or more\n");
        return 2;
      }
    } else if (a == "--records") {
      const char* v = value();
      int n = 0, m = 0;
      char tail = 0;
      if (!v || std::sscanf(v, "%d-%d%c", &n, &m, &tail) != 2 || n < 1 || m < n) {
        std::fprintf(stderr, "q47v render: --records takes N-M with 1 <= N <= M\n");
        return 2;
      }
      first_record = n;
      last_record = m;
    } else if (a == "--range-from" || a == "--range-to") {
      const char* v = value();
      const int t = v ? ParseTime(v) : -1;
      if (t < 0) {
        std::fprintf(stderr, "q47v render: %s takes a time HH:MM:SS\n", a.c_str());
        return 2;
      }
      (a == "--range-from" ? time_from : time_to) = t;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "q47v render: unknown option '%s'\n%s", a.c_str(), kUsage);
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "q47v render: more than one FILE\n%s", kUsage);
      return 2;
    }
  }
  if (file.empty() || out_dir.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (per_sweep && every) {
    std::fprintf(stderr, "q47v render: choose --per-sweep or --every, not both\n");
    return 2;
  }
  if ((time_from >= 0 || time_to >= 0) && last_record > 0) {
    std::fprintf(stderr, "q47v render: choose --records or --range-from/--range-to, not both\n");
    return 2;
  }
  if (!MakeDirectory(out_dir)) {
    std::fprintf(stderr, "q47v render: cannot create directory %s\n", out_dir.c_str());
    return 1;
  }

  auto state = std::make_unique<AppState>();
  RenderDisplay display(*state);
  state->RunMode = 1;
  state->PlotSpeed = 100;  // pacing is ignored anyway; the step reports no delay
  state->PixelZoom = 0;
  SelectColorTable(*state, display, colors);
  const PaletteTable palette = state->Palette();

  struct FileMessages final : Display {
    std::string last;
    void ShowFileMessage(const std::string& text, const std::string&, FileMessageIcon) override { last = text; }
  } open_display;
  if (!OpenPlayback(*state, open_display, file)) {
    std::fprintf(stderr, "q47v render: %s: %s\n", file.c_str(),
                 open_display.last.empty() ? "cannot open the file" : open_display.last.c_str());
    return 1;
  }
  ClearImage(*state, display);
  state->FirstPing = true;
  if (per_sweep) state->AutoFrameCaptureOn = 1;

  // Playback restores each record and decodes its reply; the ping is drawn here,
  // once the record is known to lie in the chosen range.
  Clock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr);

  const std::string stem = out_dir + "/" + Stem(file);
  int frames = 0;
  std::vector<uint8_t> pixels;
  auto write_frame = [&]() -> bool {
    state->Image.CopyOut(pixels, true);
    const std::vector<uint8_t> rgb = RenderRgb(pixels, palette);
    char name[32];
    std::snprintf(name, sizeof name, "-%04d.%s", frames + 1, format.c_str());
    const std::string path = stem + name;
    // Written under a temporary name and renamed when whole: a failed write (a
    // full disk, a size limit) leaves no cut-off image behind, and a device or a
    // FIFO under the name is refused.
    std::string data, error;
    if (format == "png") {
      if (!EncodePng(rgb, kImageWidth, kImageHeight, data)) error = "the image could not be encoded";
    } else {
      const std::vector<uint8_t> bmp = EncodeBmp24(rgb.data(), kImageWidth, kImageHeight);
      data.assign(bmp.begin(), bmp.end());
    }
    if (!error.empty() || !WriteWholeOutput(path, data, OutputMode::kThroughLinks, &error)) {
      std::fprintf(stderr, "q47v render: cannot write %s: %s\n", path.c_str(), error.c_str());
      return false;
    }
    ++frames;
    return true;
  };

  const bool by_time = time_from >= 0 || time_to >= 0;
  const auto start = std::chrono::steady_clock::now();
  auto last_progress = start;
  long records = 0, drawn = 0, in_range = 0;
  bool range_started = false, dirty_since_frame = false;
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(*state, display, hooks);
    if (r.outcome != PlaybackOutcome::kPlayed) break;  // end of file: one pass only
    ++records;
    bool inside = true;
    if (last_record > 0) inside = records >= first_record && records <= last_record;
    if (by_time) {
      int h = 0, m = 0, sec = 0;
      const std::string& text = state->PlaybackReader.fields().time_text;
      const int t = std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &sec) == 3 ? h * 3600 + m * 60 + sec : -1;
      inside = t >= 0 && (time_from < 0 || t >= time_from) && (time_to < 0 || t <= time_to);
    }
    const bool sweep_end = display.TakeCapture();
    if (inside) {
      if (!range_started) {
        // The range starts from a clear picture and fresh echo lines.
        range_started = true;
        ResetEchoLines(*state);
        ClearImage(*state, display);
        state->FirstPing = true;
      }
      ++in_range;
      if (r.accepted && state->ExpectedReplyType.load() != 'T') {
        ProcessPlaybackPing(*state, display);
        ++drawn;
        dirty_since_frame = true;
      }
      if ((per_sweep && sweep_end) || (every && in_range % every == 0)) {
        if (!write_frame()) return 1;
        dirty_since_frame = false;
      }
    } else if (range_started && (last_record > 0 || time_to >= 0)) {
      break;  // past the end of the range
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last_progress > std::chrono::seconds(1)) {
      last_progress = now;
      std::fprintf(stderr, "q47v render: %ld records, %d pictures, %d%%\n", records, frames,
                   state->PlaybackPercent.load());
    }
  }
  if (!range_started) {
    std::fprintf(stderr, "q47v render: no records in the chosen range\n");
    return 1;
  }
  // The picture after the last record: always without a frame option, and with
  // one when records were drawn after the last frame.
  if ((!per_sweep && !every) || dirty_since_frame || frames == 0) {
    if (!write_frame()) return 1;
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "q47v render: %ld records read, %ld drawn, %d pictures in %s (%.0f records/s)\n", records,
               drawn, frames, out_dir.c_str(), secs > 0 ? records / secs : 0.0);
  return 0;
}

}  // namespace q47v::cli
