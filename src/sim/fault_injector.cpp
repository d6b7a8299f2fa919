// SPDX-License-Identifier: GPL-3.0-or-later
#include "fault_injector.h"

namespace q47vsim {

std::vector<TimedBytes> FaultInjector::Apply(const std::vector<std::uint8_t>& reply) {
  std::vector<TimedBytes> out(1);
  if (!o_.Any()) {
    out[0].bytes = reply;
    return out;
  }
  double t = 0;
  if (Chance(o_.delay)) {
    t += o_.delay_ms / 1000.0;
    ++counts_.delayed;
  }
  out[0].offset_s = t;
  if (Chance(o_.garbage)) {
    int n = std::uniform_int_distribution<int>(1, 16)(rng_);
    for (int i = 0; i < n; ++i)
      out[0].bytes.push_back(static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng_)));
    ++counts_.garbage_bursts;
  }
  for (std::uint8_t b : reply) {
    if (Chance(o_.drop)) {
      ++counts_.dropped;
    } else {
      if (Chance(o_.corrupt)) {
        b ^= static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(rng_));
        ++counts_.corrupted;
      }
      out.back().bytes.push_back(b);
      if (Chance(o_.duplicate)) {
        out.back().bytes.push_back(b);
        ++counts_.duplicated;
      }
    }
    if (Chance(o_.split)) {
      t += o_.split_gap_ms / 1000.0;
      out.push_back({t, {}});
      ++counts_.splits;
    }
  }
  return out;
}

}  // namespace q47vsim
