// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the values the window's panels and the live view's readouts show:
// range, mode, gain, speed, sector, train, frequency, date and time. One formatter
// for both, so a browser reads what the window shows.
#pragma once

#include <string>

struct LocalTime;

std::string RangeText(int range_index, int units);  // out-of-range indices clamp to 0..14
std::string ModeText(int grid_mode);                 // "Sector", "Polar", "SS", "Profile"
std::string GainText(int gain);                      // "21 dB"
std::string SpeedText(int speed, int grid_mode);     // "N / A" in side scan
std::string SectorText(int sector, int grid_mode);   // "90 Dg"; "N / A" in side scan
std::string TrainText(int train, int ss_train, int grid_mode);  // the side in side scan
std::string FrequencyText(int khz);                  // "675 kHz", "1.100 MHz"
// "08-DEC-2026  01:02:03".
std::string DateTimeText(int day, int month, int year, int hour, int minute, int second);
std::string DateTimeText(const LocalTime& t);
