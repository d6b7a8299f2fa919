// SPDX-License-Identifier: GPL-3.0-or-later
// Damage on demand for the link's tests: bytes of the head line's replies dropped,
// corrupted, duplicated or split into late pieces, garbage between replies and
// whole replies delayed, each at a given rate.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace q47vsim {

struct FaultOptions {
  double drop = 0;        // fraction of reply bytes lost
  double corrupt = 0;     // fraction of reply bytes with one bit flipped
  double duplicate = 0;   // fraction of reply bytes sent twice
  double split = 0;       // fraction of reply bytes after which the rest comes late
  double split_gap_ms = 20;
  double garbage = 0;     // fraction of replies preceded by 1..16 random bytes
  double delay = 0;       // fraction of replies held back by delay_ms
  double delay_ms = 300;
  bool Any() const { return drop > 0 || corrupt > 0 || duplicate > 0 || split > 0 || garbage > 0 || delay > 0; }
};

struct FaultCounts {
  std::uint64_t dropped = 0, corrupted = 0, duplicated = 0, splits = 0, garbage_bursts = 0, delayed = 0;
};

// A piece of output and its delay, in seconds, after the moment the reply was due.
struct TimedBytes {
  double offset_s = 0;
  std::vector<std::uint8_t> bytes;
};

class FaultInjector {
 public:
  FaultInjector(const FaultOptions& options, std::uint64_t seed) : o_(options), rng_(seed ^ 0xF00DF00Dull) {}
  // Cuts one reply into the pieces that go out; without faults, one piece at 0.
  std::vector<TimedBytes> Apply(const std::vector<std::uint8_t>& reply);
  const FaultCounts& Counts() const { return counts_; }

 private:
  bool Chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  FaultOptions o_;
  std::mt19937_64 rng_;
  FaultCounts counts_;
};

}  // namespace q47vsim
