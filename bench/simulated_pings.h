// SPDX-License-Identifier: GPL-3.0-or-later
// Pings of the simulated head for the benchmarks, asked for and recorded as the
// program does it live.
#pragma once

#include <cstdint>
#include <vector>

#include "app_state.h"
#include "clock.h"
#include "files/recorder.h"
#include "files/sonar_record.h"
#include "link/command_packet.h"
#include "link/reply_decoder.h"
#include "sim_protocol.h"
#include "sonar_head.h"

// Asks the simulated head for one ping with the settings of `s`; the reply is
// decoded into s.Ping. Returns the reply bytes (none when the head gave none).
inline std::vector<uint8_t> SimulatedPing(AppState& s, q47vsim::SonarHead& head, const Clock& clock) {
  BuildNormalCommand(s);
  SetExpectedSonarReply(s);
  const auto frame = CommandFrame(s);
  q47vsim::Command cmd;
  if (!q47vsim::ParseCommand(frame, cmd)) return {};
  std::vector<uint8_t> reply = head.Handle(cmd).reply;
  if (!reply.empty()) ProcessReplyBytes(s, reply, CurrentExpectation(s), clock);
  return reply;
}

// The .47V record of the ping just decoded from `reply`, taken at `time`, after a
// record of `previous` bytes (0 for the first); `previous` becomes its size. None
// when it cannot be encoded.
inline std::vector<uint8_t> PingRecord(const AppState& s, const std::vector<uint8_t>& reply, const LocalTime& time,
                                       int& previous) {
  RecordedPing rp;
  rp.reply = reply;
  rp.type_code = s.RecordTypeCode.load();
  rp.time = time;
  rp.step_direction = s.Ping.StepDirection != 0;
  const SonarRecordFields f = RecordFieldsFor(s, rp, previous);
  std::vector<uint8_t> record(f.record_size);
  if (!EncodeSonarRecord(f, reply, record)) return {};
  previous = f.record_size;
  return record;
}

// The worst case of drawing: "Fastest" 8-bit Sector pings at 20 m, sweeping 180
// degrees, grid on, live.
inline void SetFastestSectorAt20m(AppState& s) {
  s.GridMode = 0;
  s.Range = 6;  // 20 m
  s.Speed = 4;  // Fastest
  s.DataBits = 8;
  s.Gain = 12;
  s.SectorSectorSize = 180;
  s.SectorSize = 180;
  s.Train = 0;
  s.Grid = 1;
  s.RunMode = 0;
}
