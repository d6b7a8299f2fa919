// SPDX-License-Identifier: GPL-3.0-or-later
// q47v record --ini FILE --out FILE.47V [--pings N | --seconds S]: unattended live
// logging through the program's own engine (head port, comm thread, decoding, ping
// processing into a headless image, the recorder, GPS when UseGPS is set), with
// the picture and readouts served to browsers on request (--serve).
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cmath>
#include <sys/stat.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "clock.h"
#include "display.h"
#include "files/output_file.h"
#include "files/recorder.h"
#include "gps/gps_reader.h"
#include "link/azimuth_drive.h"
#include "link/comm_thread.h"
#include "link/serial_devices.h"
#include "link/live_ping_sink.h"
#include "app_state.h"
#include "outputs/auto_azimuth.h"
#include "outputs/auto_profile.h"
#include "survey_run.h"
#include "settings/port_paths.h"
#include "settings/settings_io.h"
#include "webview/live_view_server.h"
#include "webview/live_view_settings.h"

namespace q47v::cli {

using survey::SurveyAnswers;
using survey::ParseAzimuthRun;

namespace {

constexpr const char* kUsage =
    "usage: q47v record --ini FILE --out FILE.47V [--pings N | --seconds S]\n"
    "                   [--serve ADDR:PORT]\n"
    "                   [--auto-profile vertical|horizontal [--sweeps N] [--payout M]\n"
    "                    | --auto-azimuth START:STOP:INC] [--xyz-dir DIR]\n"
    "\n"
    "Logs a live sonar head to a .47V file without the window: the settings and the\n"
    "serial ports come from the WINQ47V.INI file FILE (section \"Serial Ports\" maps\n"
    "COM1..COM8 to devices; ComPort chooses the head's port, ComPortGPS and UseGPS\n"
    "the GPS receiver's). Every accepted reply is decoded, processed and recorded as\n"
    "the program does it live.\n"
    "\n"
    "  --ini FILE     the settings file to use (read only)\n"
    "  --out FILE     the .47V file to write (replaced if it exists; a link: the\n"
    "                 file it names; never a device or a FIFO)\n"
    "  --pings N      stop after N recorded sonar pings (the file holds exactly N)\n"
    "  --seconds S    stop after S seconds\n"
    "  --serve ADDR:PORT\n"
    "                 show the live picture and readouts to web browsers at\n"
    "                 http://ADDR:PORT/ (127.0.0.1:8047 is this computer only; any\n"
    "                 other address needs the token printed with the address; port\n"
    "                 0 takes a free port)\n"
    "\n"
    "Surveys (the file then holds the survey from its start):\n"
    "  --auto-profile vertical|horizontal\n"
    "                 an auto-profile scan as the Vertical Scan (Chainage) or\n"
    "                 Horizontal Scan (Borehole) dialog starts it with the settings'\n"
    "                 chainage, elevation and offsets: one .XYZ file per complete\n"
    "                 sweep; no captures, no save question, no prompt\n"
    "  --sweeps N     stop after N complete sweeps (without it: until stopped)\n"
    "  --payout M     horizontal scans: lower the sonar elevation by M metres after\n"
    "                 every sweep, as the dialog's payout increment does (converted\n"
    "                 to feet when Units=1)\n"
    "  --auto-azimuth START:STOP:INC\n"
    "                 an auto-azimuth run (AzimuthDriveEnable=1) from START clockwise\n"
    "                 to STOP by INC, in degrees as the Auto-Azimuth dialog shows them\n"
    "                 (0 to 359.7, increment 0.3 to 180.0); one .XYZ file for the\n"
    "                 run, which stops when the run is complete\n"
    "  --xyz-dir DIR  directory for the .XYZ files (default: the working directory)\n"
    "The status line then adds the complete sweeps and the points of the sweep\n"
    "being collected.\n"
    "\n"
    "Without a limit it runs until SIGINT (Ctrl-C), SIGTERM or SIGHUP. Once a second it prints\n"
    "a status line: pings, rep rate, link state and bytes written. The file is closed\n"
    "cleanly on every way out.\n"
    "\n"
    "Exit status: 0 success, 1 the settings file, the port or the file cannot be opened\n"
    "or the file cannot be written (a full disk), 2 usage error.\n";

// Status and file messages go to the terminal instead of windows.
class HeadlessDisplay : public Display {
 public:
  void ShowStatus(const std::string& text, const StatusColours&) override { Set(text); }
  void EraseStatus() override { Set(""); }
  void ShowFileMessage(const std::string& text, const std::string& caption, FileMessageIcon) override {
    if (caption != "Close Record File") std::fprintf(stderr, "q47v record: %s: %s\n", caption.c_str(), text.c_str());
  }
  void LinkError(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "q47v record: %s: %s\n", caption.c_str(), text.c_str());
  }
  std::string Status() {
    std::lock_guard lock(mutex_);
    return status_;
  }

  // Survey runs: the scan dialogs are answered without a user, and the recording
  // (opened but held) begins with the answer, on the comm thread, so that the file
  // starts where the survey starts.
  SurveyAnswers* survey = nullptr;
  AppState* state = nullptr;
  std::atomic<bool> surveyStarted{false};
  SnapshotAnswer AskSnapshot(const SnapshotForm& form) override {
    if (!survey) return {};
    BeginSurvey();
    return survey->Snapshot(form);
  }
  AzimuthAnswer AskAutoAzimuth(const AzimuthForm& form) override {
    if (!survey) return {};
    BeginSurvey();
    return survey->Azimuth(form);
  }
  void ShowOutputFailure(const std::string& text, const std::string& caption) override {
    // Without the window's advice to go on: the run ends with a failure.
    std::string line = text.substr(0, text.find(std::string("\n") + kPingingGoesOnText));
    for (char& c : line)
      if (c == '\n') c = ' ';
    std::fprintf(stderr, "q47v record: %s: %s\n", caption.c_str(), line.c_str());
  }

 private:
  void Set(const std::string& s) {
    std::lock_guard lock(mutex_);
    status_ = s;
  }
  // The file begins with the orientation module's last reply: the survey's first
  // pings may come before its next one, and a re-made survey needs the attitude
  // they were taken with.
  void BeginSurvey() {
    if (surveyStarted.exchange(true) || !state) return;
    state->RecordFileOpen = 1;
    if (state->EnableOrientationModule.load()) RecordLastOrientationReply(*state, *this);
  }
  std::mutex mutex_;
  std::string status_;
};

// The survey's end, seen on the comm thread right after the sweep that ends it:
// the recording is held there and collecting stops, so that the file holds the
// survey and nothing after it.
class SurveySink final : public LinkSink {
 public:
  SurveySink(LivePingSink& live, bool azimuth, int sweeps) : live_(live), azimuth_(azimuth), sweeps_(sweeps) {}
  void ReplyAccepted(AppState& state, std::span<const std::uint8_t> reply, const ReplyExpectation& expected) override {
    live_.ReplyAccepted(state, reply, expected);
  }
  void AfterReplyStep(AppState& state, bool accepted) override {
    live_.AfterReplyStep(state, accepted);
    points = state.ProfilePoints.Count;
    // A survey with the orientation module starts once the module has answered
    // (or has been given three seconds), so that the recording can begin with its
    // reply and a re-made survey knows the attitude of the first pings.
    if (!attitudeReady.load()) {
      const auto now = std::chrono::steady_clock::now();
      if (!firstReplyAt_) firstReplyAt_ = now;
      if (state.EnableOrientationModule.load() == 0 || state.LastOrientationLength > 0 ||
          now - *firstReplyAt_ >= std::chrono::seconds(3))
        attitudeReady = true;
    }
    if (attitudeReady.load() && profileRequest.exchange(false)) state.AutoProfileRequest = 1;
    if (done.load()) return;
    bool finished = false;
    if (azimuth_) {
      running_ |= state.AutoAzimuthEnabled.load() != 0;
      finished = running_ && state.AutoAzimuthEnabled.load() == 0;
    } else {
      finished = sweeps_ > 0 && state.SweepsCompleted.load() >= sweeps_;
    }
    if (!finished) return;
    // Done first: the main loop must not take the held file for a failed one.
    done = true;
    state.AutoProfileScanActive = false;
    state.AutoProfileWaitSweepStart = false;
    state.RecordFileOpen = 0;
  }
  std::atomic<bool> done{false};
  std::atomic<int> points{0};
  std::atomic<bool> profileRequest{false};  // an auto-profile scan to start when attitudeReady
  std::atomic<bool> attitudeReady{false};

 private:
  LivePingSink& live_;
  bool azimuth_;
  int sweeps_;
  bool running_ = false;
  std::optional<std::chrono::steady_clock::time_point> firstReplyAt_;
};

constexpr double kLargestCount = 2147483647.0;
constexpr double kLargestPayout = 999.99;

bool ParsePositive(const char* text, double& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text, &end);
  return errno == 0 && end != text && *end == '\0' && std::isfinite(out) && out > 0;
}

}  // namespace

int RunRecordVerb(int argc, char** argv) {
  std::string ini, out, serve, profile, azimuthText, xyzDir;
  double pings = 0, seconds = 0, sweeps = 0, payout = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "q47v record: %s needs a value\n%s", a.c_str(), kUsage);
      return 2;
    }
    const char* v = argv[++i];
    if (a == "--ini") ini = v;
    else if (a == "--out") out = v;
    else if (a == "--serve") serve = v;
    else if (a == "--auto-profile") profile = v;
    else if (a == "--auto-azimuth") azimuthText = v;
    else if (a == "--xyz-dir") xyzDir = v;
    else if (a == "--sweeps" || a == "--payout" || a == "--pings" || a == "--seconds") {
      // Limits the run can keep: counted in whole seconds, pings and sweeps of an
      // int; a payout the dialog's field can show, which keeps every elevation
      // a number.
      double& value = a == "--sweeps" ? sweeps : a == "--payout" ? payout : a == "--pings" ? pings : seconds;
      const double largest = a == "--payout" ? kLargestPayout : kLargestCount;
      const bool whole = a == "--sweeps";
      const bool payout_value = a == "--payout";
      if (!ParsePositive(v, value) || value > largest || (!payout_value && value < 1) ||
          (whole && value != std::floor(value))) {
        std::fprintf(stderr, "q47v record: %s takes %s, not %s\n", a.c_str(),
                     payout_value ? "metres, more than 0 and at most 999.99"
                     : whole      ? "a whole number from 1 to 2147483647"
                                  : "a number from 1 to 2147483647",
                     v);
        return 2;
      }
    } else {
      std::fprintf(stderr, "q47v record: bad option %s %s\n%s", a.c_str(), v, kUsage);
      return 2;
    }
  }
  if (ini.empty() || out.empty() || (pings > 0 && seconds > 0)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // The survey options and what goes with what.
  const bool survey = !profile.empty() || !azimuthText.empty();
  auto usage = [](const char* text) {
    std::fprintf(stderr, "q47v record: %s\n", text);
    return 2;
  };
  if (!profile.empty() && profile != "vertical" && profile != "horizontal")
    return usage("--auto-profile takes vertical or horizontal");
  if (!profile.empty() && !azimuthText.empty()) return usage("choose --auto-profile or --auto-azimuth, not both");
  if (sweeps > 0 && profile.empty()) return usage("--sweeps goes with --auto-profile");
  if (payout > 0 && profile != "horizontal") return usage("--payout goes with --auto-profile horizontal");
  if (!xyzDir.empty() && !survey) return usage("--xyz-dir goes with --auto-profile or --auto-azimuth");
  SurveyAnswers answers;
  if (!azimuthText.empty()) {
    std::string error;
    if (!ParseAzimuthRun(azimuthText, answers.Angles, error)) {
      std::fprintf(stderr, "q47v record: %s\n", error.c_str());
      return 2;
    }
  }
  if (!xyzDir.empty()) {
    struct stat st {};
    std::error_code ec;
    if (::stat(xyzDir.c_str(), &st) != 0 && !std::filesystem::create_directories(xyzDir, ec) && ec) {
      std::fprintf(stderr, "q47v record: cannot make the directory %s: %s\n", xyzDir.c_str(), ec.message().c_str());
      return 1;
    }
    if (::stat(xyzDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "q47v record: %s is not a directory\n", xyzDir.c_str());
      return 1;
    }
  }
  webview::ServerOptions serveOptions = webview::LoadLiveViewOptions(ini);
  if (std::string why; !serve.empty() && !webview::ParseListenAddress(serve, serveOptions, &why)) {
    if (!why.empty())
      std::fprintf(stderr, "q47v record: --serve %s: %s\n", serve.c_str(), why.c_str());
    else
      std::fprintf(stderr, "q47v record: --serve takes ADDR:PORT or PORT%s, not %s\n",
                   webview::IPv6Served() ? " ([IPv6]:PORT for IPv6)" : "", serve.c_str());
    return 2;
  }

  // The recording must go to a regular file (or a new one): a FIFO would hold the
  // open until a reader came, and a device would swallow the records.
  {
    const std::string refused = RefusedOutputReason(OutputTarget(out));
    if (!refused.empty()) {
      std::fprintf(stderr, "q47v record: cannot record to %s: %s\n", out.c_str(), refused.c_str());
      return 1;
    }
  }
  // A settings file that was named must be there: the defaults would log with
  // ports and settings nobody chose.
  {
    struct stat st {};
    if (::stat(ini.c_str(), &st) != 0) {
      std::fprintf(stderr, "q47v record: cannot read the settings file %s: %s\n", ini.c_str(), std::strerror(errno));
      return 1;
    }
    if (!S_ISREG(st.st_mode)) {
      std::fprintf(stderr, "q47v record: the settings file %s is not a regular file\n", ini.c_str());
      return 1;
    }
  }
  AppState state;
  LoadSettings(state, ini);
  state.RunMode = 0;
  if (!azimuthText.empty() && state.AzimuthDriveEnable.load() == 0) {
    std::fprintf(stderr, "q47v record: --auto-azimuth needs the azimuth drive: AzimuthDriveEnable=1 in %s\n",
                 ini.c_str());
    return 1;
  }
  if (!xyzDir.empty()) state.SurveyDirectory = xyzDir;
  state.ReplaceLastNumber = false;  // a used-up numbering stops the survey
  state.SurveyFilesInPlace = false;
  const ComPortPaths paths = LoadComPortPaths(ini);
  const int headIndex = state.ComPort.load();
  const std::string headPath = headIndex >= 0 && headIndex < kComPortCount ? paths[static_cast<std::size_t>(headIndex)] : "";

  HeadlessDisplay display;
  LivePingSink liveSink(display);
  SurveySink surveySink(liveSink, !azimuthText.empty(), static_cast<int>(sweeps));
  LinkSink& sink = survey ? static_cast<LinkSink&>(surveySink) : liveSink;
  Clock clock;
  if (!OpenHeadPort(state, headPath)) {
    // Why: a missing device, one this user may not open (and how to get access),
    // or one that is there but busy or unusable.
    std::string why;
    switch (CheckDeviceAccess(headPath)) {
      case DeviceAccess::kMissing: why = "no such device"; break;
      case DeviceAccess::kNoPermission: why = PermissionAdvice(headPath); break;
      case DeviceAccess::kOpenable: why = "the device is busy or is not a serial port"; break;
    }
    std::fprintf(stderr, "q47v record: cannot open the head port COM%d (%s): %s\n", headIndex + 1, headPath.c_str(),
                 why.c_str());
    return 1;
  }
  // --pings counts sonar pings (not orientation or drive replies); the recorder
  // writes no more than that many, whenever this loop next looks.
  if (pings > 0) state.RecordPingLimit = static_cast<long>(pings);
  errno = 0;
  if (!StartRecording(state, display, out)) {
    // A wrong extension was told by the display; a file that cannot be made (no
    // such folder, no permission, a read-only disk) is told with its reason.
    const int err = errno;
    std::fprintf(stderr, "q47v record: cannot record to %s%s%s\n", out.c_str(), err != 0 ? ": " : "",
                 err != 0 ? std::strerror(err) : "");
    StopLink(state);
    return 1;
  }
  // SIGINT and SIGTERM are taken synchronously by the main thread below; the
  // worker threads started from here on inherit the blocked mask. (Only now: an
  // open before this point stays stoppable by them.)
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);  // a closed terminal or session stops it the same way
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  if (survey) {
    // Held until the scan dialog is answered on the comm thread.
    state.RecordFileOpen = 0;
    display.state = &state;
    display.survey = &answers;
    if (payout > 0)
      answers.Payout = static_cast<float>(state.Units.load() == 1 ? payout * 3.2808398950131231941 : payout);
    // The drive is looked for at the start, as the program does when it goes live.
    if (!azimuthText.empty()) RestartAzimuthDetection(state);
    if (!profile.empty()) {
      state.AutoProfileVertical = profile == "vertical" ? 1 : 0;
      surveySink.profileRequest = true;  // asked on the comm thread when the attitude is known
    }
  }
  if (state.UseGPS.load() == 1) {
    const int gps = state.ComPortGPS.load();
    if (gps >= 0 && gps < kComPortCount && OpenGpsPort(state, paths[static_cast<std::size_t>(gps)]))
      StartGpsThread(state, display);
    else
      std::fprintf(stderr, "q47v record: GPS port COM%d cannot be opened; logging without GPS\n", gps + 1);
  }
  if (!StartLink(state, display, sink, clock)) {
    state.RecordFileOpen = 1;
    StopRecording(state, display);
    CloseGpsPort(state);
    StopLink(state);
    return 1;
  }
  std::printf("q47v record: COM%d %s -> %s\n", headIndex + 1, headPath.c_str(), out.c_str());
  webview::LiveViewServer liveView(state, clock);
  if (!serve.empty()) {
    std::string error;
    if (!liveView.Start(serveOptions, &error)) {
      std::fprintf(stderr, "q47v record: live view: %s\n", error.c_str());
      StopLink(state);
      CloseGpsPort(state);
      state.RecordFileOpen = 1;
      StopRecording(state, display);
      return 1;
    }
    std::printf("q47v record: live view at %s\n", liveView.Url().c_str());
  }
  std::fflush(stdout);

  const auto start = std::chrono::steady_clock::now();
  const char* why = "limit reached";
  bool failed = false;
  for (int tick = 1;; ++tick) {
    // Wait for the next whole second since the start, or a stop signal.
    const auto due = start + std::chrono::seconds(tick);
    const auto left = due - std::chrono::steady_clock::now();
    const long ns = std::max<long>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
    timespec wait{ns / 1'000'000'000L, ns % 1'000'000'000L};
    const int sig = sigtimedwait(&stopSignals, nullptr, &wait);
    if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP) {
      why = sig == SIGINT ? "interrupted" : (sig == SIGHUP ? "hung up" : "terminated");
      break;
    }
    if (surveySink.done.load()) {
      why = "survey complete";
      break;
    }
    if (state.XyzSweepsNotNumbered.load() > 0) {
      why = "stopped: the numbering of the survey files is used up";
      failed = true;
      break;
    }
    // An auto-azimuth run starts once the drive has answered, so that every record
    // carries its position.
    if (!azimuthText.empty() && !display.surveyStarted.load() && state.AutoAzimuthRequest.load() == 0) {
      if (state.AzimuthDriveFound.load() && surveySink.attitudeReady.load()) {
        state.AutoAzimuthRequest = 1;
      } else if (tick >= 15) {
        why = "stopped: no azimuth drive answered";
        failed = true;
        break;
      }
    }
    // The recorder stops itself when a record cannot be written (a full disk): the
    // run has failed, and must say so rather than go on logging nothing.
    // (A survey that has just ended holds its file: the end is set before the hold.)
    if ((!survey || display.surveyStarted.load()) && state.RecordFileOpen.load() == 0) {
      if (surveySink.done.load()) {
        why = "survey complete";
        break;
      }
      why = "stopped: the file could not be written";
      failed = true;
      break;
    }
    const long recorded = state.RecordedSonarPings.load();
    // The link's own no-data state, not the blinking status line: a silent head
    // reads "No Data at COMn" every second, and its last rep rate goes with it.
    const bool silent = state.NoDataSeconds.load() > 2;
    std::string status = display.Status();
    if (state.HeadPortLost.load()) status = "device lost";
    else if (silent) status = NoDataText(state.ComPort.load());
    else if (status.empty()) status = "data ok";
    const std::string rep = state.Shown().Ping.RepRateText;
    std::printf("%4d s  pings %ld  rep rate %s  %s  %lld bytes", tick, recorded,
                silent || rep.empty() ? "-" : rep.c_str(), status.c_str(),
                static_cast<long long>(state.RecordBytes.load()));
    if (survey) std::printf("  sweeps %d  points %d", state.SweepsCompleted.load(), surveySink.points.load());
    if (liveView.Running()) std::printf("  viewers %d", liveView.Viewers());
    std::printf("\n");
    std::fflush(stdout);
    if (pings > 0 && recorded >= static_cast<long>(pings)) break;
    if (seconds > 0 && tick >= static_cast<int>(seconds + 0.999)) break;
  }
  liveView.Stop();
  StopLink(state);
  CloseGpsPort(state);
  const long long bytes = static_cast<long long>(state.RecordBytes.load());
  if (survey) {
    // An auto-azimuth file still open (the run was stopped) is closed whole.
    if (state.Xyz.IsOpen()) CloseXyzFile(state, display, kAutoAzimuthTitle);
    state.RecordFileOpen = 1;  // held at the survey's end, or never begun: closed whole
  }
  StopRecording(state, display);
  if (survey) {
    // A survey file that could not be written whole (a full disk) fails the run.
    const int lost = state.XyzWriteFailures.load() + state.XyzSweepsNotNumbered.load();
    std::printf("q47v record: %d sweeps, %d .XYZ files in %s", state.SweepsCompleted.load(),
                state.XyzFilesWritten.load(), state.SurveyDirectory.c_str());
    if (lost > 0) std::printf("; %d could not be written", lost);
    std::printf("\n");
    if (lost > 0 && !failed) {
      why = "survey incomplete";
      failed = true;
    }
  }
  std::printf("q47v record: %s; %ld pings, %lld bytes in %s\n", why, state.RecordedSonarPings.load(), bytes,
              out.c_str());
  return failed ? 1 : 0;
}

}  // namespace q47v::cli
