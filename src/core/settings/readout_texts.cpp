// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/readout_texts.h"

#include <algorithm>
#include <cstdio>

#include "clock.h"
#include "settings/user_config.h"

std::string RangeText(int range_index, int units) {
  return RangeLabel(std::clamp(range_index, 0, 14), units);
}

std::string ModeText(int grid_mode) {
  static const char* const kNames[] = {"Sector", "Polar", "SS", "Profile"};
  return (grid_mode >= 0 && grid_mode <= 3) ? kNames[grid_mode] : "";
}

std::string GainText(int gain) { return std::to_string(gain) + " dB"; }

std::string SpeedText(int speed, int grid_mode) {
  static const char* const kNames[] = {"Slow", "Med", "Fast", "Faster", "Fastest"};
  if (grid_mode == 2) return "N / A";
  return (speed >= 0 && speed <= 4) ? kNames[speed] : "";
}

std::string SectorText(int sector, int grid_mode) {
  if (grid_mode == 2) return "N / A";
  return std::to_string(sector) + " Dg";
}

std::string TrainText(int train, int ss_train, int grid_mode) {
  if (grid_mode == 2) {
    static const char* const kSides[] = {"Port", "Both", "Stbd"};
    return (ss_train >= 0 && ss_train <= 2) ? kSides[ss_train] : "";
  }
  return std::to_string(train) + " Dg";
}

std::string FrequencyText(int khz) {
  char buf[32];
  if (khz >= 1000)
    std::snprintf(buf, sizeof buf, "%5.3f MHz", khz * 0.001);
  else
    std::snprintf(buf, sizeof buf, "%d kHz", khz);
  return buf;
}

std::string DateTimeText(int day, int month, int year, int hour, int minute, int second) {
  static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const char* mon = (month >= 1 && month <= 12) ? kMonths[month - 1] : "???";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d-%s-%04d  %02d:%02d:%02d", day, mon, year, hour, minute, second);
  return buf;
}

std::string DateTimeText(const LocalTime& t) {
  return DateTimeText(t.day, t.month, t.year, t.hour, t.minute, t.second);
}
