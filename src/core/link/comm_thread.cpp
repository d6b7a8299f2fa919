// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/comm_thread.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "display.h"
#include "gps/gps_reader.h"
#include "link/azimuth_drive.h"
#include "link/head_scan.h"
#include "link/reply_decoder.h"
#include "link/send_sequence.h"
#include "link/serial_port.h"
#include "outputs/auto_profile.h"
#include "app_state.h"

namespace {

constexpr int kHeadBaud = 115200;

// Milliseconds until the local clock's second changes (at least 1).
int MsToNextSecond(const Clock& clock) {
  const int ms = (100 - clock.Now().hundredths) * 10;
  return std::clamp(ms, 1, 1000);
}

}  // namespace

std::string NoDataText(int comPortIndex) {
  char text[32];
  std::snprintf(text, sizeof text, "No Data at COM%d", comPortIndex + 1);
  return text;
}

CommThread::CommThread(AppState& state, Display& display, LinkSink& sink, const Clock& clock,
                       std::shared_ptr<HeadPort> port, PortOpener reopen)
    : state_(state),
      display_(display),
      sink_(sink),
      clock_(clock),
      port_(std::move(port)),
      reopen_(std::move(reopen)) {}

CommThread::~CommThread() { Stop(); }

bool CommThread::Start() {
  {
    std::lock_guard lock(wake_mutex_);
    stop_ = false;
  }
  state_.CommThreadRunning = 1;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    state_.CommThreadRunning = 0;
    return false;
  }
  return true;
}

void CommThread::Stop() {
  state_.CommThreadRunning = 0;
  {
    std::lock_guard lock(wake_mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CommThread::Run() {
  SendFirstCommand();
  while (state_.CommThreadRunning.load()) {
    Turn();
    WaitForWork();
  }
}

void CommThread::SendFirstCommand() {
  if (state_.RunMode.load() != 0) return;
  state_.SendRequest = true;
  Send();
}

void CommThread::Sleep(std::chrono::microseconds duration) {
  std::unique_lock lock(wake_mutex_);
  wake_.wait_for(lock, duration, [&] { return stop_; });
}

// Between turns the thread waits for bytes (poll on the port) or, while a reply is
// still coming in, for about the time its missing bytes take on the line; it never
// spins. The waits end at the next change of the clock second at the latest.
void CommThread::WaitForWork() {
  if (!state_.CommThreadRunning.load()) return;
  using std::chrono::milliseconds;
  const int toSecond = MsToNextSecond(clock_);
  if (state_.RunMode.load() != 0 || !port_) {
    Sleep(milliseconds(std::min(100, toSecond)));
    partialWait_ = kFirstPartialWait;
    return;
  }
  if (state_.HoldActive.load()) {
    Sleep(milliseconds(std::min(20, toSecond)));
    return;
  }
  const PortStatus status = port_->Status();
  if (!status.Ok) return;  // the next turn notices the loss
  const int expected = state_.ExpectedReplyLength.load();
  if (status.QueuedBytes >= expected) return;
  if (status.QueuedBytes == 0) {
    partialWait_ = kFirstPartialWait;
    port_->WaitForInput(milliseconds(std::min(50, toSecond)));
    return;
  }
  // Part of a reply is in. The rest comes at the line's pace on a serial line (about
  // 87 us per byte at 115200 bit/s) but at once from a pty or a USB burst: wait a
  // short time first and back off, never past the time the missing bytes take.
  const auto missing = std::chrono::microseconds(
      static_cast<long long>(expected - status.QueuedBytes) * 10 * 1'000'000 / kHeadBaud + 100);
  const auto cap = std::min<std::chrono::microseconds>({missing, milliseconds(20), milliseconds(toSecond)});
  const auto wait = std::min(partialWait_, cap);
  partialWait_ = std::min(partialWait_ * 2, std::chrono::microseconds(milliseconds(20)));
  Sleep(wait);
}

void CommThread::Turn() {
  if (state_.RunMode.load() != 0) return;  // playback: the thread idles
  const LocalTime now = clock_.Now();
  if (now.second != state_.ClockSecond.load()) {
    state_.ClockSecond = now.second;
    display_.ClockTick(now);
    TickGps(state_, display_);
    if (state_.AzimuthPositioning.load() && state_.AzimuthDriveFound.load()) ++state_.AzimuthStallSeconds;
    if (!port_) TryReopen();
  }
  bool accepted = false;
  if (!state_.HoldActive.load()) accepted = TakeReply();
  sink_.AfterReplyStep(state_, accepted);
  state_.ReplyReceived = false;
  // A profile mode chosen in the menu takes effect between pings.
  if (state_.ProfileMenu.load() != state_.Profile.load()) state_.Profile = state_.ProfileMenu.load();
  if (HeadScanStep(state_, state_.ClockSecond.load()) && state_.ScanWindowShown.load())
    display_.ScanWindowChanged();
  if (state_.AzimuthDriveEnable.load() && state_.AzimuthMoveRequest.exchange(false)) {
    StartAzimuthPositioning(state_);
    if (state_.AzimuthPosition.load() != state_.AzimuthAngle.load()) {
      state_.NoDataSeconds = 0;
      state_.NoDataShowCount = 0;
      ShowStatusLine();
    }
  }
}

bool CommThread::TakeReply() {
  if (!port_) {
    NoDataSecond();
    return false;
  }
  const PortStatus status = port_->Status();
  if (!status.Ok) {
    PortLost();
    NoDataSecond();
    return false;
  }
  if (status.ErrorFlags != 0) {
    state_.CommErrorFlags = status.ErrorFlags;
    state_.CommErrorQueued = status.QueuedBytes;
    if (status.QueuedBytes == 1) port_->Purge();
  }
  const ReplyExpectation expected = CurrentExpectation(state_);
  if (status.QueuedBytes == expected.Length) state_.CommErrorFlags = 0;
  if (status.QueuedBytes < expected.Length) {
    NoDataSecond();
    return false;
  }
  if (state_.NoDataSeconds.load() > 2) EraseStatusLine();
  state_.NoDataSeconds = 0;
  state_.NoDataShowCount = 0;
  const auto length = static_cast<std::size_t>(expected.Length);
  std::size_t got = 0;
  // The bytes are queued: each read returns at once (the loop guards a short read).
  for (int tries = 0; got < length && tries < 8; ++tries) {
    const int n = port_->Read(std::span<std::uint8_t>(reply_.data() + got, length - got));
    if (n < 0) break;
    got += static_cast<std::size_t>(n);
  }
  port_->Purge();  // any surplus goes
  if (got != length) {
    if (!port_->IsOpen()) PortLost();
    return false;
  }
  // A simulated drive answers for itself; real bytes meanwhile are ignored.
  if (state_.AzimuthPositioning.load() && state_.SimulateAzimuthDrive.load()) return false;
  display_.DataIndicator(true);
  const std::span<std::uint8_t> reply(reply_.data(), length);
  if (!state_.EnableOrientationModule.load() && !state_.AzimuthPositioning.load()) {
    // The head pings again while this ping is drawn.
    state_.SendRequest = true;
    Send();
    return ProcessTaken(reply, expected);
  }
  const bool accepted = ProcessTaken(reply, expected);
  state_.SendRequest = true;
  Send();
  return accepted;
}

bool CommThread::ProcessTaken(std::span<std::uint8_t> reply, const ReplyExpectation& expected) {
  display_.DiagnosticsChanged();
  std::copy(reply.begin(), reply.end(), state_.ReplyBuffer.begin());
  const int positionBefore = state_.AzimuthPosition.load();
  const ReplyOutcome outcome = ProcessReplyBytes(state_, reply, expected, clock_);
  if (!outcome.Accepted) {
    ++state_.RepliesRejected;
    return false;
  }
  ++state_.RepliesAccepted;
  state_.LastReplyKind = outcome.Kind;
  if (outcome.Kind == 'T') return true;  // only the head scan uses it
  if (outcome.Kind == 'A') AfterAzimuthReply(outcome.AzimuthFirstFound);
  if (outcome.Kind == 'O' && state_.OrientationWindowShown.load()) display_.OrientationWindowChanged();
  sink_.ReplyAccepted(state_, reply, expected);
  ++state_.PingsProcessed;
  if (state_.AzimuthDriveEnable.load() && state_.AzimuthWindow.load() &&
      state_.AzimuthPosition.load() != positionBefore && outcome.Kind != 'A')
    display_.AzimuthWindowChanged();
  return true;
}

void CommThread::AfterAzimuthReply(bool firstFound) {
  if (firstFound && state_.RunMode.load() == 0) {
    state_.AzimuthNotFoundShown = false;
    display_.ShowAzimuthNotFound(false);
  }
  state_.AzimuthWaitSeconds = 0;
  state_.NoDataSeconds = 0;
  state_.NoDataShowCount = 0;
  // A drive answers with the position it has reached. While it still turns toward
  // the target the commands go on, so that the window and the status line follow
  // it; it is left alone once there, or once it stops short.
  const int position = state_.AzimuthPosition.load();
  if (state_.AzimuthLastReported.exchange(position) != position) state_.AzimuthStallSeconds = 0;
  const bool turning = state_.RunMode.load() == 0 && !state_.SimulateAzimuthDrive.load() &&
                       position != state_.AzimuthAngle.load() &&
                       state_.AzimuthStallSeconds.load() < kAzimuthStallSeconds;
  state_.AzimuthPositioning = turning;
  if (turning) {
    if (state_.StatusText.get() != kAdjustingAzimuthText) {  // once per move, not per reply
      state_.StatusText = std::string(kAdjustingAzimuthText);
      state_.StatusFill = kStatusScanColours.fill;
      display_.ShowStatus(kAdjustingAzimuthText, kStatusScanColours);
    }
  } else {
    EraseStatusLine();
  }
  if (state_.AzimuthWindow.load()) display_.AzimuthWindowChanged();
}

// Once per change of the clock second while fewer bytes than expected are queued.
void CommThread::NoDataSecond() {
  const int second = state_.ClockSecond.load();
  if (second == state_.LastSecondSeen.load()) return;
  state_.LastSecondSeen = second;
  const int seconds = ++state_.NoDataSeconds;
  const int shown = ++state_.NoDataShowCount;
  if (!state_.HoldActive.load() && seconds > 2) {
    if (state_.NoDataBlink.load() == 1) {
      state_.NoDataBlink = 0;
      if (shown > 4) {
        ShowStatusLine();
        state_.NoDataShowCount = 5;
      }
    } else {
      state_.NoDataBlink = 1;
      EraseStatusLine();
    }
    display_.DiagnosticsChanged();
    if (port_) port_->Purge();
    display_.DataIndicator(false);
    state_.SendRequest = true;
    Send();
  }
  if (state_.AzimuthPositioning.load()) {
    ++state_.AzimuthWaitSeconds;
    if (state_.SimulateAzimuthDrive.load()) SimulateAzimuthReply();
    if (state_.AzimuthPositioning.load() && state_.AzimuthWaitSeconds.load() > kAzimuthGiveUpSeconds) {
      state_.AzimuthWaitSeconds = 0;
      state_.AzimuthPositioning = false;
      state_.AzimuthDriveFound = false;
      if (state_.AzimuthDriveEnable.load()) {
        state_.AzimuthNotFoundShown = true;
        display_.ShowAzimuthNotFound(true);
      }
    }
  }
}

// The drive "answers" at the target angle; decoded like a real reply, not drawn
// or recorded.
void CommThread::SimulateAzimuthReply() {
  const auto bytes = SimulatedAzimuthReply(state_.AzimuthAngle.load());
  ReplyExpectation e = ExpectationFor('A', state_.DataBits.load(), state_.ExpectedSampleCount.load());
  e.RecordType = 0;
  SetExpectation(state_, e);
  std::copy(bytes.begin(), bytes.end(), reply_.begin());
  std::copy(bytes.begin(), bytes.end(), state_.ReplyBuffer.begin());
  const ReplyOutcome outcome =
      ProcessReplyBytes(state_, std::span<std::uint8_t>(reply_.data(), bytes.size()), e, clock_);
  if (!outcome.Accepted) return;
  state_.LastReplyKind = 'A';
  AfterAzimuthReply(outcome.AzimuthFirstFound);
}

void CommThread::Send() {
  const SendResult r = SendCommand(state_, port_.get(), clock_);
  if (r.Sent) {
    ++state_.CommandsSent;
    if (state_.AzimuthPositioning.load()) ++state_.AzimuthCommandCount;
  } else if (port_ && !port_->IsOpen()) {
    PortLost();
  }
  if (r.Choice.ScanWindowRedraw) display_.ScanWindowChanged();
  if (r.Choice.OrientationLost && state_.OrientationWindowShown.load())
    display_.OrientationWindowChanged();
}

// The status line text by priority: head scan, else the no-data message; an
// auto-profile scan awaiting its sweep start replaces either, and azimuth
// positioning in live mode replaces all of them.
void CommThread::ShowStatusLine() {
  std::string text = NoDataText(state_.ComPort.load());
  StatusColours colours = kStatusMessageColours;
  if (state_.HeadScanActive.load()) {
    text = kScanningStatusText;
    colours = kStatusScanColours;
  }
  if (state_.AutoProfileScanActive.load() && state_.AutoProfileWaitSweepStart.load()) {
    text = kAdjustingTransducerText;
    colours = kStatusScanColours;
  }
  if (state_.RunMode.load() == 0 && state_.AzimuthDriveEnable.load() &&
      state_.AzimuthPositioning.load() && state_.LastReplyKind.load() != 'A') {
    if (!state_.AzimuthDriveFound.load()) {
      text = kDetectingAzimuthText;
    } else if (state_.AzimuthPosition.load() != state_.AzimuthAngle.load()) {
      text = kAdjustingAzimuthText;
    } else {
      EraseStatusLine();
      return;
    }
    colours = kStatusScanColours;
  }
  state_.StatusText = text;
  state_.StatusFill = colours.fill;
  display_.ShowStatus(text, colours);
}

void CommThread::EraseStatusLine() {
  state_.StatusText = std::string();
  state_.StatusFill = kStatusEraseColours.fill;
  display_.EraseStatus();
}

// The device went away (unplugged adapter, simulator gone): close it and let the
// no-data logic run as for a silent head; the port is tried again each second.
void CommThread::PortLost() {
  if (!port_) return;
  port_.reset();
  state_.HeadPortLost = true;
  state_.CommErrorFlags = state_.CommErrorFlags.load() | kPortErrorIo;
}

void CommThread::TryReopen() {
  if (!reopen_) return;
  std::shared_ptr<HeadPort> port = reopen_();
  if (!port || !port->IsOpen()) return;
  port_ = std::move(port);
  state_.HeadPortLost = false;
  ++state_.HeadPortReopens;
  port_->SetDtr(true);
  port_->SetRts(false);
  port_->Purge();
  state_.SendRequest = true;
  Send();
}

bool OpenHeadPort(AppState& state, const std::string& devicePath, std::string* error) {
  StopLink(state);
  std::shared_ptr<HeadPort> port = SerialPort::Open(devicePath, kHeadBaud, SerialPort::Access::ReadWrite, error);
  if (!port) return false;
  state.HeadPortHandle = std::move(port);
  state.HeadPortPath = devicePath;
  state.HeadPortLost = false;
  return true;
}

bool StartLink(AppState& state, Display& display, LinkSink& sink, const Clock& clock) {
  if (!state.HeadPortHandle || state.CommThreadHandle) return false;
  SetExpectedSonarReply(state);
  if (!state.HeadPortHandle->IsOpen()) return false;  // the line could not be set
  state.HeadPortHandle->SetDtr(true);
  state.HeadPortHandle->SetRts(false);
  const std::string path = state.HeadPortPath.get();
  auto thread = std::make_shared<CommThread>(
      state, display, sink, clock, state.HeadPortHandle,
      [path]() -> std::shared_ptr<HeadPort> { return SerialPort::Open(path, kHeadBaud); });
  if (!thread->Start()) {
    display.LinkError("Failed to create thread!", "CreateThread Error!");
    return false;
  }
  state.CommThreadHandle = std::move(thread);
  return true;
}

void StopLink(AppState& state) {
  if (state.CommThreadHandle) {
    state.CommThreadHandle->Stop();
    state.CommThreadHandle.reset();
  }
  state.CommThreadRunning = 0;
  // An auto-azimuth run's .XYZ file stays open: the run goes on when the link
  // comes back (minimised, ports chosen again); it is closed when the run ends or
  // the program closes.
  if (state.HeadPortHandle) {
    state.HeadPortHandle->SetDtr(false);
    state.HeadPortHandle->Purge();
    state.HeadPortHandle.reset();
  }
}

std::array<bool, kComPortCount> ProbeComPorts(const ComPortPaths& paths) {
  std::array<bool, kComPortCount> present{};
  for (int i = 0; i < kComPortCount; ++i)
    present[static_cast<std::size_t>(i)] =
        SerialPort::Open(paths[static_cast<std::size_t>(i)], kHeadBaud) != nullptr;
  return present;
}

void ApplyPortProbe(AppState& state, const std::array<bool, kComPortCount>& present) {
  auto lowest = [&](int except) {
    for (int i = 0; i < kComPortCount; ++i)
      if (present[static_cast<std::size_t>(i)] && i != except) return i;
    return -1;
  };
  for (int i = 0; i < kComPortCount; ++i) {
    state.ComPortPresent[static_cast<std::size_t>(i)] = present[static_cast<std::size_t>(i)];
    state.ComPortTaken[static_cast<std::size_t>(i)] = false;
  }
  int head = state.ComPort.load();
  const bool headPresent = head >= 0 && head < kComPortCount && present[static_cast<std::size_t>(head)];
  if (!headPresent) {
    const int moved = lowest(-1);
    if (moved >= 0) head = moved;
  }
  state.ComPort = head;
  if (head >= 0 && head < kComPortCount) state.ComPortTaken[static_cast<std::size_t>(head)] = true;
  int gps = state.ComPortGPS.load();
  const bool gpsPresent = gps >= 0 && gps < kComPortCount && present[static_cast<std::size_t>(gps)];
  if (!gpsPresent || gps == head) {
    const int moved = lowest(head);
    if (moved >= 0) gps = moved;
  }
  state.ComPortGPS = gps;
  if (gps != head && gps >= 0 && gps < kComPortCount)
    state.GpsPortAvailable = present[static_cast<std::size_t>(gps)] ? 1 : 0;
}
