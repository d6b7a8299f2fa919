// SPDX-License-Identifier: GPL-3.0-or-later
// One simulated sonar head: its ID and non-volatile memory, the transducer's
// stepping within the commanded sector, and the reply to each command.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "echo_synth.h"
#include "scene.h"
#include "sim_protocol.h"

namespace q47vsim {

// The 64 bytes of non-volatile memory a head reports in its "T" reply.
struct HeadMemory {
  int revision_major = 2, revision_minor = 14;
  int year = 24, month = 6, day = 18;
  int sensor_type = 0;      // 0 scanning sonar, 1 azimuth drive, 2 echo sounder
  int serial_number = 1234; // 0..9999 (14 bits)
  int transducer_type = 0;  // 0 fan beam, 1 pencil beam, 2 conical
  int gear_ratio = 0;       // 0 "3 : 1", 1 "6 : 1", 2 "15 : 1"
  int depth_rating = 0;     // 0 1000 m, 1 3000 m
  int sample_rate = 0;
  std::uint64_t shot_count = 2'468'100;  // pings fired; stored in units of 100
  std::array<std::uint8_t, 64> Bytes() const;
};

struct HeadOptions {
  bool chirp = false;           // status bit 1 (selects the long-range blanking figures)
  double sound_speed = 1500;    // m/s
};

class SonarHead {
 public:
  SonarHead(std::uint8_t id, const Scene& scene, std::uint64_t seed, HeadOptions options = {});

  struct Answer {
    std::vector<std::uint8_t> reply;
    double busy_s = 0;  // time before the first reply byte: switch delay plus echo time
  };
  // Answers a command addressed to this head (the caller has checked the ID).
  Answer Handle(const Command& command);

  std::uint8_t Id() const { return id_; }
  int Position() const { return position_; }
  bool StepUp() const { return dir_ > 0; }
  HeadMemory& Memory() { return memory_; }
  const HeadMemory& Memory() const { return memory_; }
  std::uint64_t Pings() const { return pings_; }
  std::uint8_t Status(bool hold) const;

  // Transducer stepping for one ping (public for tests): moves within the sector
  // given by the train and sector codes, reversing at its edges.
  void Step(const Command& command);

 private:
  std::uint8_t id_;
  const Scene& scene_;
  std::mt19937_64 rng_;
  HeadOptions options_;
  HeadMemory memory_;
  int position_ = kPositionAhead;
  int dir_ = 1;
  int calibrating_ = 0;  // pings left showing the calibration status bit
  std::uint64_t pings_ = 0;
  EchoLine line_;
};

// Samples a head sends per reply kind and width, and the range they cover.
struct EchoLayout {
  char kind = 'G';
  std::size_t samples = 0;      // echo samples carried
  std::size_t data_bytes = 0;   // reply data bytes
  double spacing_m = 0;         // slant range between samples
  int blank_samples = 0;        // samples skipped before the first one sent
};
EchoLayout LayoutFor(const Command& command, std::uint8_t status);

}  // namespace q47vsim
