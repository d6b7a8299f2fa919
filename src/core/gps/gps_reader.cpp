// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/gps_reader.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <memory>
#include <thread>

#include "gps/gps_line.h"
#include "gps/nmea_sentence.h"
#include "link/serial_port.h"
#include "app_state.h"

// The open GPS port and its reader thread.
class GpsReader {
 public:
  GpsReader(AppState& state, std::unique_ptr<SerialPort> port, std::string path)
      : state_(state), port_(std::move(port)), path_(std::move(path)) {
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  }
  ~GpsReader() {
    Stop();
    if (wake_ >= 0) ::close(wake_);
  }

  bool Start(GpsDisplay& display) {
    if (!port_ || !port_->Configure(baud_ = GpsBaudRate(state_.GPSBaudRate.load()))) return false;
    display_ = &display;
    state_.GpsThreadRunning = 1;
    thread_ = std::thread([this] { Loop(); });
    port_->SetDtr(true);
    return true;
  }

  // Clears the run flag, wakes the thread and waits for it to leave its loop.
  void Stop() {
    state_.GpsThreadRunning = 0;
    if (wake_ >= 0) {
      const std::uint64_t one = 1;
      (void)!::write(wake_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    if (port_) {
      port_->SetDtr(false);
      port_->Purge(false, true);
    }
    assembler_.Clear();
  }

 private:
  // Sleeps one turn; a stop request ends the sleep at once.
  void Sleep(int ms) {
    pollfd p{wake_, POLLIN, 0};
    ::poll(&p, 1, ms);
  }

  void Loop() {
    std::array<std::uint8_t, 128> buffer{};  // GpsReadBuffer
    int lostTurns = 0;
    while (state_.GpsThreadRunning.load()) {
      Sleep(100);
      if (!state_.GpsThreadRunning.load()) break;
      if (!port_ || port_->Lost()) {
        // The receiver's adapter went away: try the same device again each second.
        port_.reset();
        if (++lostTurns % 10 == 0) {
          port_ = SerialPort::Open(path_, baud_, SerialPort::Access::ReadOnly);
          if (port_) port_->SetDtr(true);
        }
        continue;
      }
      int queued = port_->QueuedBytes();
      // Everything waiting is taken, 128 bytes at a time, so a fast receiver or a
      // burst loses no sentence.
      while (queued > 0 && state_.GpsThreadRunning.load()) {
        const std::size_t want = static_cast<std::size_t>(queued < 128 ? queued : 128);
        const long got = port_->ReadSome(buffer.data(), want, 0);
        if (got <= 0) break;
        queued -= static_cast<int>(got);
        if (state_.RunMode.load() != 0 || state_.HoldActive.load()) {
          state_.GpsBytesDiscarded += got;
          state_.GpsBytesRead += got;
          continue;
        }
        assembler_.Feed(buffer.data(), static_cast<std::size_t>(got),
                        [&](std::string_view line) { TakeGpsSentence(state_, *display_, line); });
        state_.GpsBytesRead += got;
      }
    }
  }

  AppState& state_;
  std::unique_ptr<SerialPort> port_;
  std::string path_;
  int baud_ = 4800;
  int wake_ = -1;
  GpsDisplay* display_ = nullptr;
  GpsLineAssembler assembler_;
  std::thread thread_;
};

bool OpenGpsPort(AppState& state, const std::string& devicePath) {
  CloseGpsPort(state);
  if (state.UseGPS.load() != 1) return false;
  auto port = SerialPort::Open(devicePath, GpsBaudRate(state.GPSBaudRate.load()),
                               SerialPort::Access::ReadOnly);
  if (!port) return false;
  state.GpsPortHandle = std::make_shared<GpsReader>(state, std::move(port), devicePath);
  return true;
}

bool StartGpsThread(AppState& state, GpsDisplay& display) {
  if (state.UseGPS.load() != 1 || !state.GpsPortHandle) return false;
  if (state.GpsThreadRunning.load()) return true;
  return state.GpsPortHandle->Start(display);
}

void CloseGpsPort(AppState& state) {
  if (!state.GpsPortHandle) return;
  state.GpsPortHandle->Stop();
  state.GpsPortHandle.reset();
}

void TakeGpsSentence(AppState& state, GpsDisplay& display, std::string_view line) {
  const NmeaSentenceType type = SentenceTypeOf(line);
  const int wanted = state.GPSType.load();
  if (!((wanted == 1 && type == NmeaSentenceType::Gga) ||
        (wanted == 0 && type == NmeaSentenceType::Gll)))
    return;
  state.GpsAge = 0;
  GpsData data = state.GpsSnapshot();
  if (type == NmeaSentenceType::Gga)
    ParseGga(line, data);
  else
    ParseGll(line, data);
  state.SetGpsData(data);
  if (HemispheresValid(data))
    display.DrawGpsReadout(MakeGpsReadout(state, GpsInUse(state, false), true));
}

void TickGps(AppState& state, GpsDisplay& display) {
  if (state.UseGPS.load() != 1) return;
  if (++state.GpsAge == 10) display.DrawGpsReadout(MakeGpsReadout(state, GpsInUse(state, false), false));
}

bool GpsInUse(const AppState& state, bool fileCarriesGps) {
  return state.RunMode.load() == 0 ? state.UseGPS.load() == 1 : fileCarriesGps;
}

GpsReadout MakeGpsReadout(AppState& state, bool inUse, bool freshFix) {
  GpsReadout r;
  if (!inUse) return r;
  if (freshFix || state.GpsAge.load() < 5) {
    const int blink = state.GpsBlink.load() ^ 1;
    state.GpsBlink = blink;
    const GpsData data = state.GpsSnapshot();
    const char* text = data.GpsPositionText.data();
    if (text[0] == '\0') {  // nothing received yet: blanks, as the cleared text shows
      r.latitudeText = std::string(12, ' ') + ",";
      r.longitudeText = std::string(12, ' ');
    } else {
      r.latitudeText = std::string(text, 12) + ",";
      r.longitudeText = std::string(text + 12, 12);
    }
    r.kind = GpsReadout::Kind::Position;
    r.mark = blink == 1;
  } else {
    r.kind = GpsReadout::Kind::NotAvailable;
  }
  return r;
}
