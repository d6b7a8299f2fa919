// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator: the devices on the head line (sonar heads, azimuth drive,
// orientation module) and a GPS receiver on its own line, run on one thread that
// waits in poll() for commands and for the next reply or sentence to be due.
// Usable in-process (tests, benchmarks) and by the q47v-sim program (main.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fault_injector.h"
#include "nmea_source.h"

namespace q47vsim {

struct SimConfig {
  // Head line: a pty pair unless a device path is given; `head_link` (optional) is a
  // symbolic link kept pointing at the pty's slave, also across a hang-up.
  std::string head_device, head_link;
  std::string gps_device, gps_link;
  bool gps = true;                 // run the GPS line at all
  std::vector<std::uint8_t> heads{0x10};  // sonar head IDs on the line (may be empty)
  bool azimuth_drive = true;       // ID 0x1F
  bool azimuth_tilt = false;       // "A" replies carry tilt data
  double azimuth_rate_deg_s = 10;
  bool orientation = true;         // ID 0x18
  std::string scene = "harbour";   // or "channel"
  bool chirp = false;              // heads report status bit 1
  double drift_m_s = 0;            // the head's frame moves to and fro along the scene
  double sound_speed = 1500;
  bool fast = false;               // answer at once instead of at a real head's pace
  // In fast mode on a serial device a reply leaves this long after its command: the
  // program purges its queues about 4 ms after it wrote a command (with the default
  // TxDelay), and a reply that came earlier would be thrown away with them. On a pty
  // the reply waits for the purge itself, which the kernel reports.
  double fast_holdoff_us = 4400;
  // On a pty, how long a fast reply waits for a purge it may have missed (one that
  // came before we read the command reads as one before it).
  int fast_purge_wait_ms = 50;
  std::uint64_t seed = 1;
  // GPS receiver.
  int gps_baud = 4800;
  double gps_rate_hz = 1;
  bool gps_gga = true, gps_gll = false;
  GpsTrack track;
  std::string nmea_replay;         // replay this log instead of the track
  // INI mapping (written at Start when `ini` is not empty).
  std::string ini;
  int head_com = 1, gps_com = 2;   // 1..8
  // Stop after so long or so many commands (0: run until Stop).
  double seconds = 0;
  std::uint64_t commands = 0;
  std::string log;                 // hex log of frames in and replies out
  FaultOptions faults;
  double silent_at_s = -1, silent_for_s = 0;  // head line goes quiet
  double hangup_at_s = -1, hangup_for_s = 0;  // head line closes and comes back
  int stop_fd = -1;                // extra fd: readable means stop (e.g. a signalfd)
  // Called from the simulator thread with one-line news (new paths after a hang-up).
  std::function<void(const std::string&)> on_event;
};

struct SimCounters {
  std::uint64_t commands = 0;       // complete command frames received
  std::uint64_t replies = 0;        // replies sent
  std::uint64_t unanswered = 0;     // frames for an ID nobody has, or while silent
  std::uint64_t bytes_in = 0, bytes_out = 0;
  std::uint64_t junk_bytes = 0;     // bytes outside command frames
  std::uint64_t overflow_bytes = 0; // output the line could not take (nobody reading)
  std::uint64_t gps_sentences = 0;
  std::uint64_t hangups = 0;
  FaultCounts faults;
};

struct HeadInfo {
  std::uint8_t id = 0;
  int position = 0;
  bool step_up = true;
  int serial_number = 0;
  int depth_rating = 0;
  std::uint64_t pings = 0;
};

class Simulator {
 public:
  explicit Simulator(SimConfig config);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Opens the lines, writes the INI mapping and starts the thread.
  bool Start(std::string* error);
  // Ends the thread and closes the lines (safe to call twice).
  void Stop();
  // Blocks until the thread ends by itself (time or command limit, stop_fd) or Stop.
  void Wait();
  bool Running() const { return running_.load(); }

  std::string HeadPath() const;
  std::string GpsPath() const;
  SimCounters Counters() const;
  std::vector<HeadInfo> Heads() const;
  double AzimuthPosition() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::thread thread_;
  std::atomic<bool> running_{false};
};

// The q47v-sim program: options, start, wait for a signal or the limit.
int Main(int argc, char** argv);

}  // namespace q47vsim
