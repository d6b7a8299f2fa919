// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app_state.h"
#include "clock.h"
#include "display.h"
#include "files/playback.h"
#include "imaging/color_tables.h"
#include "imaging/ping_pipeline.h"
#include "webview/live_view_readouts.h"

namespace q47v::video {

namespace {

// A display that shows nothing but restarts the echo lines where playback does.
class VideoDisplay final : public Display {
 public:
  explicit VideoDisplay(AppState& state) : state_(state) {}
  void PlaybackFileOpened(bool opened) override {
    if (opened) state_.FirstPing = true;
  }
  void PlaybackRestarted() override { state_.FirstPing = true; }
  void PlaybackSeeked() override { state_.FirstPing = true; }
  void ShowFileMessage(const std::string& text, const std::string&, FileMessageIcon) override { message = text; }
  std::string message;

 private:
  AppState& state_;
};

int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The picture through the palette, each pixel enlarged to scale x scale.
void ToRgb(const std::vector<uint8_t>& pixels, const PaletteTable& palette, int scale, std::vector<uint8_t>& rgb) {
  const int w = kImageWidth * scale;
  rgb.resize(static_cast<size_t>(w) * kImageHeight * scale * 3);
  for (int y = 0; y < kImageHeight; ++y) {
    uint8_t* row = rgb.data() + static_cast<size_t>(y) * scale * w * 3;
    const uint8_t* src = pixels.data() + static_cast<size_t>(y) * kImageWidth;
    uint8_t* p = row;
    for (int x = 0; x < kImageWidth; ++x) {
      const Rgb c = palette[src[x]];
      for (int k = 0; k < scale; ++k) {
        *p++ = c.Red;
        *p++ = c.Green;
        *p++ = c.Blue;
      }
    }
    for (int k = 1; k < scale; ++k) std::memcpy(row + static_cast<size_t>(k) * w * 3, row, static_cast<size_t>(w) * 3);
  }
}

}  // namespace

std::optional<int64_t> ParseClockTime(const std::string& text) {
  int h = 0, m = 0, s = 0, hh = 0;
  char tail = 0;
  int n = 0;
  if (std::sscanf(text.c_str(), "%d:%d:%d.%2d%n", &h, &m, &s, &hh, &n) == 4 && n == static_cast<int>(text.size())) {
    if (text.size() - text.find('.') == 2) hh *= 10;  // "…:05.5" is half a second
  } else if (std::sscanf(text.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail) == 3) {
    hh = 0;
  } else if (std::sscanf(text.c_str(), "%d:%d%c", &h, &m, &tail) == 2) {
    s = hh = 0;
  } else {
    return std::nullopt;
  }
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || hh < 0 || hh > 99) return std::nullopt;
  return (h * 3600 + m * 60 + s) * int64_t{100} + hh;
}

std::optional<int64_t> RecordClock(const std::string& date_text, const std::string& time_text, int hundredths) {
  static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const std::optional<int64_t> tod = ParseClockTime(time_text);
  if (!tod) return std::nullopt;
  int day = 0, year = 0;
  char mon[4] = {};
  int64_t days = 0;
  if (std::sscanf(date_text.c_str(), "%d-%3c-%d", &day, mon, &year) == 3) {
    for (int m = 0; m < 12; ++m)
      if (std::strncmp(mon, kMonths[m], 3) == 0) days = DaysFromCivil(year, m + 1, std::clamp(day, 1, 31));
  }
  return days * 8640000 + *tod + std::clamp(hundredths, 0, 99);
}

std::string ReadoutText(const AppState& state, const std::string& recording_name) {
  static const Clock clock;  // not read in playback: the record's date and time are shown
  const webview::Readouts r = webview::ReadReadouts(state, clock);
  std::string text = recording_name + "\n" + r.dateTime + "\nRange " + r.range + "  Mode " + r.mode + "  Gain " + r.gain;
  if (!r.gps.empty()) text += "\nGPS " + r.gps;
  return text;
}

VideoOutcome MakeVideo(AppState& state, const VideoRequest& req,
                       const std::function<bool(const VideoProgress&)>& progress, int progress_interval_ms) {
  VideoOutcome out;
  const auto wall_start = std::chrono::steady_clock::now();
  EncoderSettings es;
  es.path = req.output;
  if (!ContainerForPath(req.output, es.container)) {
    out.status = 1;
    out.error = req.output + ": the name must end in .mp4, .mkv or .webm";
    return out;
  }
  es.width = kImageWidth * req.scale;
  es.height = kImageHeight * req.scale;
  es.fps = req.fps;
  es.lossless = req.lossless;
  es.subtitles = req.subtitles;
  es.threads = req.threads;

  VideoDisplay display(state);
  state.RunMode = 1;
  state.PlotSpeed = 100;  // no pacing: frame times come from the records
  state.PixelZoom = 0;
  SelectColorTable(state, display, state.Colors.load());
  const PaletteTable palette = state.Palette();
  if (!OpenPlaybackFile(state, display, req.input)) {
    out.status = 1;
    out.error = req.input + ": " + (display.message.empty() ? "cannot open the file" : display.message);
    return out;
  }
  ClearImage(state, display);
  state.FirstPing = true;

  VideoEncoder encoder;
  if (!encoder.Open(es, out.error)) {
    out.status = 1;
    ClosePlayback(state);
    return out;
  }

  Clock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr);
  const std::string name = BaseName(req.input);
  const long double per_frame = static_cast<long double>(req.speed) * 100.0L;  // hundredths x fps per frame

  std::vector<uint8_t> pixels, rgb;
  bool picture_changed = true;
  int64_t start = 0, last_t = 0;
  long next_frame = 0;
  // The cue being shown: its text and its first frame.
  std::string cue_text;
  long cue_frame = 0;
  const long max_cue_frames = static_cast<long>(req.fps) * 5;
  auto frame_ms = [&](long k) { return static_cast<int64_t>(std::llround(k * 1000.0 / req.fps)); };
  auto close_cue = [&](long end_frame) -> bool {
    if (cue_text.empty() || end_frame <= cue_frame) return true;
    if (!encoder.WriteCue(frame_ms(cue_frame), frame_ms(end_frame), cue_text, out.error)) return false;
    ++out.cues;
    cue_frame = end_frame;
    return true;
  };
  auto emit_frame = [&]() -> bool {
    // Long cues are cut into pieces of five seconds, so that the muxer never holds
    // more than a few seconds of pictures waiting for the next subtitle.
    if (next_frame - cue_frame >= max_cue_frames && !close_cue(next_frame)) return false;
    const bool changed = picture_changed;
    if (changed) {
      state.Image.CopyOut(pixels, true);
      ToRgb(pixels, palette, req.scale, rgb);
      picture_changed = false;
    }
    if (!encoder.WriteFrame(changed ? rgb.data() : nullptr, out.error)) return false;
    ++next_frame;
    return true;
  };
  // Frame k lies strictly before a record at `t` when k x speed / fps < t - start.
  auto frame_before = [&](long k, int64_t t) {
    return k * per_frame < static_cast<long double>(t - start) * req.fps - 1e-6L;
  };
  // The first frame that shows a record at `t`.
  auto first_frame_showing = [&](int64_t t) {
    return static_cast<long>(std::ceil(static_cast<long double>(t - start) * req.fps / per_frame - 1e-9L));
  };

  const bool by_time = req.from || req.to;
  auto last_report = std::chrono::steady_clock::now();
  bool started = false, failed = false, cancelled = false;
  // Progress, and the chance to cancel, about every `progress_interval_ms`; also
  // between the frames of a long gap in the records.
  auto report = [&]() -> bool {
    const auto now = std::chrono::steady_clock::now();
    if (!progress || now - last_report < std::chrono::milliseconds(progress_interval_ms)) return true;
    last_report = now;
    return progress({out.records, next_frame, state.PlaybackPercent.load()});
  };
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    if (r.outcome != PlaybackOutcome::kPlayed) break;  // end of file: one pass only
    ++out.records;
    const SonarRecordFields& f = state.PlaybackReader.fields();
    bool inside = true;
    if (req.last_record > 0) inside = out.records >= req.first_record && out.records <= req.last_record;
    else if (req.first_record > 1) inside = out.records >= req.first_record;
    if (by_time) {
      const std::optional<int64_t> tod = ParseClockTime(f.time_text);
      const int64_t t = tod ? *tod + std::clamp(f.hundredths, 0, 99) : -1;
      inside = inside && t >= 0 && (!req.from || t >= *req.from) && (!req.to || t <= *req.to);
    }
    if (inside) {
      const std::optional<int64_t> clock_t = RecordClock(f.date_text, f.time_text, f.hundredths);
      int64_t t = clock_t ? *clock_t : last_t;
      if (!started) {
        // The span starts from a clear picture and fresh echo lines.
        started = true;
        ResetEchoLines(state);
        ClearImage(state, display);
        state.FirstPing = true;
        start = last_t = t;
        picture_changed = true;
      }
      t = std::max(t, last_t);  // a clock set back does not run the video backwards
      while (frame_before(next_frame, t) && !failed && !cancelled) {
        failed = !emit_frame();
        cancelled = !report();
      }
      if (failed || cancelled) break;
      if (r.accepted && state.ExpectedReplyType.load() != 'T') {
        ProcessPlaybackPing(state, display);
        ++out.drawn;
        picture_changed = true;
      }
      last_t = t;
      if (req.subtitles) {
        std::string text = ReadoutText(state, name);
        if (text != cue_text) {
          const long k = std::max(first_frame_showing(t), next_frame);
          if (k > cue_frame && !close_cue(k)) {
            failed = true;
            break;
          }
          cue_text = std::move(text);
          cue_frame = k;
        }
      }
    } else if (started && (req.last_record > 0 || req.to)) {
      break;  // past the end of the span
    }
    if (!report()) {
      cancelled = true;
      break;
    }
  }
  if (!failed && !cancelled) {
    if (!started) {
      out.status = 1;
      out.error = "no records in the chosen range";
      encoder.Abort();
      ClosePlayback(state);
      return out;
    }
    const long last_frame = first_frame_showing(last_t);
    while (next_frame <= last_frame && !failed) failed = !emit_frame();
    if (!failed) failed = !close_cue(next_frame);
    if (!failed && progress && !progress({out.records, next_frame, 100})) cancelled = true;
    if (!failed && !cancelled) failed = !encoder.Finish(out.error);
  }
  ClosePlayback(state);
  out.frames = next_frame;
  out.video_seconds = static_cast<double>(next_frame) / req.fps;
  out.recording_seconds = static_cast<double>(last_t - start) / 100.0;
  out.wall_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  if (cancelled) {
    encoder.Abort();
    out.status = 3;
    out.error = "cancelled";
  } else if (failed) {
    encoder.Abort();
    out.status = 1;
  }
  return out;
}

}  // namespace q47v::video
