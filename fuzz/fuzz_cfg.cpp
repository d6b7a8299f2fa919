// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the .CFG reader: any bytes either fail cleanly or give a
// table of valid rows that survives writing and reading back unchanged.
#include <cstdint>
#include <cstdlib>

#include "settings/user_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UserConfigTable table = DefaultUserConfig();
  if (ParseConfigBytes(std::span(data, size), DefaultUserConfig(), table) != ConfigReadError::None) {
    if (table != DefaultUserConfig()) std::abort();
    return 0;
  }
  for (const UserConfig& r : table) {
    if (r.Frequency < 280 || r.Frequency > 1100 || r.Frequency % 5 != 0) std::abort();
    if (r.Absorption < 1 || r.Absorption > 255) std::abort();
    if (r.PulseLength < 10 || r.PulseLength > 1000 || r.PulseLength % 10 != 0) std::abort();
  }
  auto bytes = ConfigFileBytes(table);
  UserConfigTable again = DefaultUserConfig();
  if (ParseConfigBytes(bytes, DefaultUserConfig(), again) != ConfigReadError::None) std::abort();
  if (again != table) std::abort();
  return 0;
}
