// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options of q47v-sim.
#pragma once

#include <string>
#include <vector>

#include "simulator.h"

namespace q47vsim {

struct ParsedOptions {
  SimConfig config;
  bool help = false;
  bool version = false;
  bool quiet = false;
};

// Fills `out` from argv; false with a message in `error` on a bad option.
bool ParseOptions(const std::vector<std::string>& args, ParsedOptions& out, std::string* error);
const char* HelpText();

}  // namespace q47vsim
