// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "azimuth_drive.h"
#include "hex_log.h"
#include "scene.h"
#include "serial_line.h"
#include "sim_ini.h"
#include "sim_protocol.h"
#include "sonar_head.h"

namespace q47vsim {

using SteadyClock = std::chrono::steady_clock;

namespace {
constexpr int kHeadBaud = 115200;
double Seconds(SteadyClock::duration d) { return std::chrono::duration<double>(d).count(); }
SteadyClock::duration FromSeconds(double s) {
  return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(s));
}

// The frame runs to and fro over 26 m of the scene, starting in its middle.
double PlatformAlong(double travelled_m) {
  double m = std::fmod(travelled_m + 14.0, 52.0);
  return m < 26 ? -14.0 + m : 12.0 - (m - 26.0);
}

// Bytes waiting for their moment on one line.
struct OutQueue {
  struct Piece {
    SteadyClock::time_point due;
    std::vector<std::uint8_t> bytes;
  };
  std::deque<Piece> pieces;
  SteadyClock::time_point busy_until{};  // the line is sending until then

  // Queues bytes to start at `start`; at `baud` they leave in 5 ms pieces (0: at once).
  void Add(SteadyClock::time_point start, const std::vector<std::uint8_t>& bytes, int baud) {
    if (bytes.empty()) return;
    start = std::max(start, busy_until);
    if (baud <= 0) {
      pieces.push_back({start, bytes});
      busy_until = start;
      return;
    }
    const double byte_s = 10.0 / baud;
    const std::size_t per = std::max<std::size_t>(1, static_cast<std::size_t>(0.005 / byte_s));
    for (std::size_t i = 0; i < bytes.size(); i += per) {
      std::size_t n = std::min(per, bytes.size() - i);
      // A piece is handed over once its last byte would have arrived.
      auto due = start + FromSeconds(byte_s * static_cast<double>(i + n));
      pieces.push_back({due, std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                                                       bytes.begin() + static_cast<std::ptrdiff_t>(i + n))});
    }
    busy_until = start + FromSeconds(byte_s * static_cast<double>(bytes.size()));
  }
  bool Empty() const { return pieces.empty(); }
  void Clear() { pieces.clear(); }
};
}  // namespace

struct Simulator::Impl {
  SimConfig cfg;
  std::unique_ptr<Scene> scene;
  std::vector<std::unique_ptr<SonarHead>> heads;
  std::unique_ptr<AzimuthDrive> drive;
  std::unique_ptr<OrientationModule> orientation;
  FaultInjector faults;
  SerialLine head_line, gps_line;
  CommandFramer framer;
  OutQueue head_out, gps_out;
  HexLog log;
  int wake_fd = -1;
  SteadyClock::time_point t0;
  mutable std::mutex mu;  // guards devices, counters and paths against readers
  SimCounters counters;
  std::string head_path, gps_path;
  std::vector<std::string> replay;
  std::size_t replay_next = 0;
  SteadyClock::time_point next_gps{};
  bool hung_up = false;
  bool hangup_done = false;
  // Fast mode on a pty: replies waiting for the program's purge after their command.
  struct AwaitingPurge {
    SteadyClock::time_point fallback;
    std::vector<TimedBytes> pieces;
  };
  std::deque<AwaitingPurge> awaiting_purge;
  std::uint64_t replies_at_limit = 0;

  explicit Impl(SimConfig c) : cfg(std::move(c)), faults(cfg.faults, cfg.seed) {}

  void Event(const std::string& s) {
    if (cfg.on_event) cfg.on_event(s);
  }
  double Now() const { return Seconds(SteadyClock::now() - t0); }

  bool Silent(double t) const { return cfg.silent_at_s >= 0 && t >= cfg.silent_at_s && t < cfg.silent_at_s + cfg.silent_for_s; }

  void OnCommand(const std::array<std::uint8_t, kCommandLength>& frame, SteadyClock::time_point now) {
    log.Line(Seconds(now - t0), "RX", "head", frame.data(), frame.size());
    Command c;
    ParseCommand(frame, c);
    std::vector<std::uint8_t> reply;
    double busy = 0;
    {
      std::lock_guard lock(mu);
      ++counters.commands;
      if (Silent(Seconds(now - t0))) {
        ++counters.unanswered;
        return;
      }
      if (cfg.drift_m_s > 0) scene->SetPlatform(PlatformAlong(cfg.drift_m_s * Seconds(now - t0)));
      bool taken = false;
      for (auto& h : heads) {
        if (h->Id() != c.id) continue;
        auto a = h->Handle(c);
        reply = std::move(a.reply);
        busy = a.busy_s;
        taken = true;
        break;
      }
      if (!taken && drive && c.id == kAzimuthDriveId) {
        reply = drive->Handle(c, Seconds(now - t0));
        busy = c.switch_delay * 2e-3;
        taken = true;
      }
      if (!taken && orientation && c.id == kOrientationId && !c.scan) {
        reply = orientation->Handle(c, Seconds(now - t0));
        busy = c.switch_delay * 2e-3;
        taken = true;
      }
      if (!taken) {
        ++counters.unanswered;
        return;
      }
      ++counters.replies;
    }
    log.Line(Seconds(now - t0), "TX", "head", reply.data(), reply.size());
    const int baud = cfg.fast ? 0 : kHeadBaud;
    if (!cfg.fast && head_out.busy_until > now + std::chrono::seconds(2)) {
      // Commands come faster than replies can leave: a real head would miss them too.
      std::lock_guard lock(mu);
      counters.overflow_bytes += reply.size();
      return;
    }
    auto start = now + FromSeconds(cfg.fast ? cfg.fast_holdoff_us * 1e-6 : busy);
    std::vector<TimedBytes> pieces;
    {
      std::lock_guard lock(mu);
      pieces = faults.Apply(reply);
    }
    if (cfg.faults.Any())
      for (const auto& piece : pieces)  // what actually goes out after the damage
        log.Line(Seconds(now - t0) + piece.offset_s, "TXF", "head", piece.bytes.data(), piece.bytes.size());
    if (cfg.fast && head_line.packet_mode()) {
      // The program purges its input queue a few milliseconds after each command
      // (how long depends on its TxDelay and on how busy the computer is): the reply
      // waits for that purge, so that it can never be thrown away with it.
      awaiting_purge.push_back({now + std::chrono::milliseconds(cfg.fast_purge_wait_ms), std::move(pieces)});
      return;
    }
    for (auto& piece : pieces) head_out.Add(start + FromSeconds(piece.offset_s), piece.bytes, baud);
  }

  // Replies held for the program's purge leave now: after a purge, or when none
  // was seen in time (the purge came before we read the command, or never comes).
  void ReleaseAwaiting(SteadyClock::time_point now, bool purged) {
    while (!awaiting_purge.empty() && (purged || awaiting_purge.front().fallback <= now)) {
      for (auto& piece : awaiting_purge.front().pieces) head_out.Add(now + FromSeconds(piece.offset_s), piece.bytes, 0);
      awaiting_purge.pop_front();
    }
  }

  void ReadHead(SteadyClock::time_point now) {
    std::uint8_t buf[4096];
    // A purge report reads as no data: a bounded number of them, so that the loop
    // ends even if the line reported nothing else.
    for (int reports = 0; reports < 64;) {
      bool purged = false;
      ssize_t n = head_line.Read(buf, sizeof buf, &purged);
      if (purged) ReleaseAwaiting(SteadyClock::now(), true);
      if (n == 0 && head_line.packet_mode()) {
        ++reports;
        continue;
      }
      if (n <= 0) break;
      {
        std::lock_guard lock(mu);
        counters.bytes_in += static_cast<std::uint64_t>(n);
      }
      std::array<std::uint8_t, kCommandLength> frame;
      for (ssize_t i = 0; i < n; ++i) {
        std::uint64_t junk_before = framer.JunkBytes();
        if (framer.Feed(buf[i], frame)) OnCommand(frame, now);
        if (framer.JunkBytes() != junk_before) {
          std::lock_guard lock(mu);
          counters.junk_bytes = framer.JunkBytes();
        }
      }
    }
  }

  // Writes what is due; what the line cannot take is lost, as on a real line.
  void Flush(SerialLine& line, OutQueue& q, SteadyClock::time_point now, const char* name) {
    while (!q.pieces.empty() && q.pieces.front().due <= now) {
      auto& p = q.pieces.front();
      ssize_t n = line.IsOpen() ? ::write(line.fd(), p.bytes.data(), p.bytes.size()) : -1;
      std::size_t sent = n > 0 ? static_cast<std::size_t>(n) : 0;
      {
        std::lock_guard lock(mu);
        counters.bytes_out += sent;
        counters.overflow_bytes += p.bytes.size() - sent;
      }
      (void)name;
      q.pieces.pop_front();
    }
  }

  void MakeGpsSentence(SteadyClock::time_point now) {
    std::string text;
    if (!replay.empty()) {
      text = replay[replay_next];
      replay_next = (replay_next + 1) % replay.size();
    } else {
      GpsFix f;
      TrackPosition(cfg.track, Seconds(now - t0), f.lat, f.lon);
      auto wall = std::chrono::system_clock::now();
      auto secs = std::chrono::duration<double>(wall.time_since_epoch()).count();
      double day = std::fmod(secs, 86400.0);
      f.hour = static_cast<int>(day / 3600);
      f.minute = static_cast<int>(std::fmod(day, 3600.0) / 60);
      f.second = std::floor(std::fmod(day, 60.0) * 100) / 100;
      if (cfg.gps_gga) text += FormGga(f);
      if (cfg.gps_gll) text += FormGll(f);
    }
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    log.Line(Seconds(now - t0), "TX", "gps", bytes.data(), bytes.size());
    gps_out.Add(now, bytes, cfg.fast ? 0 : cfg.gps_baud);
    std::lock_guard lock(mu);
    ++counters.gps_sentences;
  }

  bool OpenHeadLine(std::string* error) {
    bool ok = cfg.head_device.empty() ? head_line.OpenPty(kHeadBaud, cfg.head_link, error)
                                      : head_line.OpenDevice(cfg.head_device, kHeadBaud, error);
    if (ok) {
      if (cfg.fast) head_line.SetPacketMode(true);
      std::lock_guard lock(mu);
      head_path = head_line.path();
    }
    return ok;
  }

  void Run(std::atomic<bool>& running);
};

Simulator::Simulator(SimConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Simulator::~Simulator() { Stop(); }

bool Simulator::Start(std::string* error) {
  Impl& s = *impl_;
  if (thread_.joinable()) return true;
  if (!IsSceneName(s.cfg.scene)) return error && (*error = "unknown scene: " + s.cfg.scene, false);
  s.scene = MakeScene(s.cfg.scene);
  HeadOptions ho;
  ho.chirp = s.cfg.chirp;
  ho.sound_speed = s.cfg.sound_speed;
  s.heads.clear();
  for (std::size_t i = 0; i < s.cfg.heads.size(); ++i) {
    std::uint8_t id = s.cfg.heads[i];
    if ((s.cfg.azimuth_drive && id == kAzimuthDriveId) || (s.cfg.orientation && id == kOrientationId))
      return error && (*error = "head ID " + std::to_string(id) + " is taken by the azimuth drive or orientation module", false);
    s.heads.push_back(std::make_unique<SonarHead>(id, *s.scene, s.cfg.seed + i, ho));
    if (s.cfg.scene == "channel") s.heads.back()->Memory().transducer_type = 1;  // pencil beam for profiling
  }
  if (s.cfg.azimuth_drive) s.drive = std::make_unique<AzimuthDrive>(s.cfg.azimuth_rate_deg_s, s.cfg.azimuth_tilt);
  if (s.cfg.orientation) s.orientation = std::make_unique<OrientationModule>();
  if (!s.cfg.nmea_replay.empty() && !LoadNmeaLog(s.cfg.nmea_replay, s.replay, error)) return false;
  if (!s.cfg.log.empty() && !s.log.Open(s.cfg.log, error)) return false;
  if (!s.OpenHeadLine(error)) return false;
  if (s.cfg.gps) {
    bool ok = s.cfg.gps_device.empty() ? s.gps_line.OpenPty(s.cfg.gps_baud, s.cfg.gps_link, error)
                                       : s.gps_line.OpenDevice(s.cfg.gps_device, s.cfg.gps_baud, error);
    if (!ok) {
      s.head_line.Close();
      return false;
    }
    s.gps_path = s.gps_line.path();
  }
  if (!s.cfg.ini.empty()) {
    std::vector<IniValue> v;
    v.push_back({"Serial Ports", "COM" + std::to_string(s.cfg.head_com), s.head_line.path()});
    v.push_back({"Settings", "ComPort", std::to_string(s.cfg.head_com - 1)});
    if (s.cfg.gps) {
      static const int kBauds[] = {4800, 9600, 19200, 38400, 57600, 115200};
      int idx = 0;
      for (int i = 0; i < 6; ++i)
        if (kBauds[i] == s.cfg.gps_baud) idx = i;
      v.push_back({"Serial Ports", "COM" + std::to_string(s.cfg.gps_com), s.gps_line.path()});
      v.push_back({"Settings", "ComPortGPS", std::to_string(s.cfg.gps_com - 1)});
      v.push_back({"Settings", "UseGPS", "1"});
      v.push_back({"Settings", "GPSBaudRate", std::to_string(idx)});
      if (s.replay.empty()) v.push_back({"Settings", "GPSType", s.cfg.gps_gga ? "1" : "0"});
    }
    if (!UpdateIniFile(s.cfg.ini, v, error)) {
      s.head_line.Close();
      s.gps_line.Close();
      return false;
    }
  }
  s.wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  s.t0 = SteadyClock::now();
  s.next_gps = s.t0;
  running_ = true;
  thread_ = std::thread([this] { impl_->Run(running_); });
  return true;
}

void Simulator::Impl::Run(std::atomic<bool>& running) {
  const auto deadline = cfg.seconds > 0 ? t0 + FromSeconds(cfg.seconds) : SteadyClock::time_point::max();
  const auto gps_period = FromSeconds(1.0 / std::max(cfg.gps_rate_hz, 0.01));
  while (running.load()) {
    auto now = SteadyClock::now();
    if (now >= deadline) break;
    // Hang-up: close the head line, bring it back later (a new pty, same link).
    double t = Seconds(now - t0);
    if (!hung_up && !hangup_done && cfg.hangup_at_s >= 0 && t >= cfg.hangup_at_s) {
      head_line.Close();
      head_out.Clear();
      awaiting_purge.clear();
      framer.Reset();
      hung_up = true;
      std::lock_guard lock(mu);
      ++counters.hangups;
      Event("head line hung up");
    }
    if (hung_up && t >= cfg.hangup_at_s + cfg.hangup_for_s) {
      std::string err;
      hung_up = false;
      hangup_done = true;
      if (OpenHeadLine(&err)) Event("head line back: " + head_line.path());
      else Event("head line could not be reopened: " + err);
    }
    ReleaseAwaiting(now, false);
    Flush(head_line, head_out, now, "head");
    if (cfg.commands > 0 && head_out.Empty() && awaiting_purge.empty()) {
      bool done;
      {
        std::lock_guard lock(mu);
        done = counters.commands >= cfg.commands;
      }
      if (done) {
        // Give the program up to two seconds to take the last reply before the line
        // closes (a pty drops what is unread); the kernel passes written bytes on a
        // little later, so look only after a short pause.
        ::poll(nullptr, 0, 50);
        for (int i = 0; i < 200 && head_line.Unread() > 0 && running.load(); ++i) ::poll(nullptr, 0, 10);
        break;
      }
    }
    if (gps_line.IsOpen()) {
      if (now >= next_gps) {
        // A receiver cannot send faster than its line: skip a fix while the last is still going out.
        if (gps_out.busy_until <= now + gps_period) MakeGpsSentence(now);
        next_gps += gps_period;
        if (next_gps < now) next_gps = now + gps_period;
      }
      Flush(gps_line, gps_out, now, "gps");
    }

    // Sleep until input arrives or the next thing is due.
    auto next = deadline;
    if (!head_out.Empty()) next = std::min(next, head_out.pieces.front().due);
    if (!awaiting_purge.empty()) next = std::min(next, awaiting_purge.front().fallback);
    if (!gps_out.Empty()) next = std::min(next, gps_out.pieces.front().due);
    if (gps_line.IsOpen()) next = std::min(next, next_gps);
    if (cfg.hangup_at_s >= 0 && !hangup_done)
      next = std::min(next, t0 + FromSeconds(hung_up ? cfg.hangup_at_s + cfg.hangup_for_s : cfg.hangup_at_s));
    int timeout_ms = 1000;
    if (next != SteadyClock::time_point::max()) {
      auto ms = std::chrono::duration_cast<std::chrono::microseconds>(next - SteadyClock::now()).count();
      timeout_ms = static_cast<int>(std::clamp<long long>((ms + 999) / 1000, 0, 1000));
    }
    pollfd fds[4];
    int n = 0;
    int head_idx = -1, gps_idx = -1;
    fds[n++] = {wake_fd, POLLIN, 0};
    if (cfg.stop_fd >= 0) fds[n++] = {cfg.stop_fd, POLLIN, 0};
    if (head_line.IsOpen()) head_idx = n, fds[n++] = {head_line.fd(), POLLIN, 0};
    if (gps_line.IsOpen()) gps_idx = n, fds[n++] = {gps_line.fd(), POLLIN, 0};
    int r = ::poll(fds, static_cast<nfds_t>(n), timeout_ms);
    if (r < 0) continue;  // interrupted: look again
    if (fds[0].revents) break;
    if (cfg.stop_fd >= 0 && fds[1].revents) break;
    now = SteadyClock::now();
    if (head_idx >= 0 && fds[head_idx].revents & POLLIN) ReadHead(now);
    if (gps_idx >= 0 && fds[gps_idx].revents & POLLIN) {
      std::uint8_t junk[512];
      while (::read(gps_line.fd(), junk, sizeof junk) > 0) {
      }
    }
    // A device line that reports a hang-up or error without data is given a rest,
    // so that the loop never spins on it.
    bool head_err = head_idx >= 0 && (fds[head_idx].revents & (POLLHUP | POLLERR)) && !(fds[head_idx].revents & POLLIN);
    bool gps_err = gps_idx >= 0 && (fds[gps_idx].revents & (POLLHUP | POLLERR)) && !(fds[gps_idx].revents & POLLIN);
    if (head_err || gps_err) ::poll(fds, 1, 100);
  }
  running.store(false);
}

void Simulator::Stop() {
  if (thread_.joinable()) {
    running_ = false;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(impl_->wake_fd, &one, sizeof one);
    thread_.join();
  }
  impl_->head_line.Close();
  impl_->gps_line.Close();
  if (impl_->wake_fd >= 0) ::close(impl_->wake_fd), impl_->wake_fd = -1;
}

void Simulator::Wait() {
  if (thread_.joinable()) thread_.join();
}

std::string Simulator::HeadPath() const {
  std::lock_guard lock(impl_->mu);
  return impl_->head_path;
}
std::string Simulator::GpsPath() const {
  std::lock_guard lock(impl_->mu);
  return impl_->gps_path;
}
SimCounters Simulator::Counters() const {
  std::lock_guard lock(impl_->mu);
  SimCounters c = impl_->counters;
  c.faults = impl_->faults.Counts();
  return c;
}
std::vector<HeadInfo> Simulator::Heads() const {
  std::lock_guard lock(impl_->mu);
  std::vector<HeadInfo> out;
  for (const auto& h : impl_->heads)
    out.push_back({h->Id(), h->Position(), h->StepUp(), h->Memory().serial_number, h->Memory().depth_rating, h->Pings()});
  return out;
}
double Simulator::AzimuthPosition() const {
  std::lock_guard lock(impl_->mu);
  return impl_->drive ? impl_->drive->Position() : -1;
}

}  // namespace q47vsim
