// SPDX-License-Identifier: GPL-3.0-or-later
// NMEA 0183 GLL and GGA sentences: pure parsers from one assembled line ("$" up to
// and including CR LF) into the GPS texts and values. No I/O, no state.
#pragma once

#include <string_view>

#include "gps/gps_state.h"

enum class NmeaSentenceType { Other, Gll, Gga };

// The type from positions 3..5 of the line ("$" at 0; talker letters not tested).
NmeaSentenceType SentenceTypeOf(std::string_view line);

// Parse a GLL/GGA line into `out` (fields missing from the sentence come out
// blank or 0). GGA fills the time text and the five GGA values as well; GLL leaves
// those as they are in `out`. Returns false when the line is not of that type.
bool ParseGll(std::string_view line, GpsData& out);
bool ParseGga(std::string_view line, GpsData& out);

// True when the hemisphere letters make a position worth showing.
bool HemispheresValid(const GpsData& data);
