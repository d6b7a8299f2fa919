// SPDX-License-Identifier: GPL-3.0-or-later
// The head link's worker: `CommThread` sends each command and takes each reply for
// as long as the program is live, detects silence ("No Data at COM%d"), resends,
// steps the head scan, positions the azimuth drive, interleaves orientation queries
// and reopens a device that went away. Also the open/start/stop calls and the port
// probe that the program uses.
#pragma once

#include <array>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "clock.h"
#include "link/head_port.h"
#include "link/link_sink.h"
#include "settings/port_paths.h"

struct AppState;
class Display;

// "No Data at COM%d" for a port index 0..7.
std::string NoDataText(int comPortIndex);

class CommThread {
 public:
  using PortOpener = std::function<std::shared_ptr<HeadPort>()>;

  // `reopen` (may be empty) opens the same device again after it went away.
  CommThread(AppState& state, Display& display, LinkSink& sink, const Clock& clock,
             std::shared_ptr<HeadPort> port, PortOpener reopen);
  ~CommThread();
  CommThread(const CommThread&) = delete;
  CommThread& operator=(const CommThread&) = delete;

  // Starts the thread (it sends the first command in live mode). False when the
  // thread could not be created.
  bool Start();
  // Clears the run flag, wakes the thread and waits until it has left its loop (a
  // send in progress finishes first).
  void Stop();

  // The pieces of the loop, public so that tests can drive them one by one with a
  // fake clock and port: the first command, one turn, and the wait between turns.
  void SendFirstCommand();
  void Turn();
  void WaitForWork();

 private:
  void Run();
  bool TakeReply();
  bool ProcessTaken(std::span<std::uint8_t> reply, const ReplyExpectation& expected);
  void NoDataSecond();
  void Send();
  void SimulateAzimuthReply();
  void AfterAzimuthReply(bool firstFound);
  void ShowStatusLine();
  void EraseStatusLine();
  void PortLost();
  void TryReopen();
  void Sleep(std::chrono::microseconds duration);

  static constexpr std::chrono::microseconds kFirstPartialWait{200};

  AppState& state_;
  Display& display_;
  LinkSink& sink_;
  const Clock& clock_;
  std::shared_ptr<HeadPort> port_;
  PortOpener reopen_;
  std::array<std::uint8_t, 640> reply_{};
  std::thread thread_;
  std::mutex wake_mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::chrono::microseconds partialWait_ = kFirstPartialWait;
};

// Opens the head port at `devicePath` (115200 8N1, exclusive). A port already open
// is closed first (stopping its link). False when the device cannot be opened;
// `error` (when given) then says why.
bool OpenHeadPort(AppState& state, const std::string& devicePath, std::string* error = nullptr);
// Starts `CommThread` on the open port; false (and "Failed to create thread!"
// shown) when it cannot run. The display, sink and clock must outlive the link.
bool StartLink(AppState& state, Display& display, LinkSink& sink, const Clock& clock);
// Stops the thread, drops DTR, purges and closes the port.
void StopLink(AppState& state);

// The probe of COM1..COM8: which ports open, then the head and GPS port moves.
std::array<bool, kComPortCount> ProbeComPorts(const ComPortPaths& paths);
void ApplyPortProbe(AppState& state, const std::array<bool, kComPortCount>& present);
