// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/nmea_sentence.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Walks a line with one running index; each field read consumes its characters
// up to and including its stop character or until its maximum count.
class FieldReader {
 public:
  explicit FieldReader(std::string_view line, std::size_t start) : line_(line), pos_(start) {}

  // Keeps the characters for which `keep` holds. Besides `stop`, a comma always
  // ends the field, so an empty or shortened field cannot swallow the next ones.
  template <typename Keep>
  std::string Read(char stop, int maxCount, Keep keep) {
    std::string kept;
    for (int n = 0; n < maxCount && pos_ < line_.size(); ++n) {
      const char c = line_[pos_];
      if (c == ',' && stop != ',') break;  // leave the comma for the next field
      ++pos_;
      if (c == stop) break;
      if (keep(c)) kept.push_back(c);
    }
    return kept;
  }

  // A hemisphere letter, then its comma; an empty field gives a blank.
  char Hemisphere() {
    if (pos_ >= line_.size()) return ' ';
    const char c = line_[pos_++];
    if (c == ',') return ' ';
    if (pos_ < line_.size()) ++pos_;
    return c;
  }

  // A comma-ended field: when its maximum count ran out first, the rest of the
  // field up to and including its comma is passed over.
  template <typename Keep>
  std::string Field(int maxCount, Keep keep) {
    const std::size_t start = pos_;
    std::string kept = Read(',', maxCount, keep);
    if (pos_ > start && line_[pos_ - 1] == ',') return kept;
    while (pos_ < line_.size() && line_[pos_++] != ',') {
    }
    return kept;
  }

 private:
  std::string_view line_;
  std::size_t pos_;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNumberChar(char c) { return IsDigit(c) || c == '.' || c == '-'; }

struct Coordinate {
  std::string whole;
  std::string fraction;
  char hemisphere = ' ';
};

Coordinate ReadCoordinate(FieldReader& reader) {
  Coordinate c;
  c.whole = reader.Read('.', 6, IsDigit);
  c.fraction = reader.Field(11, IsDigit);
  c.hemisphere = reader.Hemisphere();
  return c;
}

// The whole part fills `slots` right to left (last digit first); the fraction
// fills three positions, the third only when it has more than two digits.
void Place(std::array<char, 25>& text, const std::string& whole, const int* slots, int slotCount,
           const std::string& fraction, int fractionPos) {
  int s = 0;
  for (auto it = whole.rbegin(); it != whole.rend() && s < slotCount; ++it, ++s)
    text[static_cast<std::size_t>(slots[s])] = *it;
  for (std::size_t i = 0; i < 3 && i < fraction.size(); ++i) {
    if (i == 2 && fraction.size() <= 2) break;
    text[static_cast<std::size_t>(fractionPos) + i] = fraction[i];
  }
}

void BuildPositionText(const Coordinate& lat, const Coordinate& lon, GpsData& out) {
  auto& t = out.GpsPositionText;
  t.fill(' ');
  t[24] = '\0';
  t[3] = t[6] = t[15] = t[18] = '.';
  static constexpr int kLatSlots[] = {5, 4, 2, 1};
  static constexpr int kLonSlots[] = {17, 16, 14, 13, 12};
  Place(t, lat.whole, kLatSlots, 4, lat.fraction, 7);
  Place(t, lon.whole, kLonSlots, 5, lon.fraction, 19);
  t[11] = lat.hemisphere;
  t[23] = lon.hemisphere;
  out.GpsLatHemisphere = lat.hemisphere;
  out.GpsLonHemisphere = lon.hemisphere;
}

void BuildTimeText(const std::string& field, GpsData& out) {
  auto ch = [&](std::size_t i) { return i < field.size() ? field[i] : ' '; };
  const float t = std::strtof(field.c_str(), nullptr);
  // The hundredths come from the single-precision value, truncated.
  const float fraction = t - static_cast<float>(static_cast<long>(t));
  int hundredths = static_cast<int>(fraction * 100.0f);
  if (hundredths < 0 || hundredths > 99) hundredths = 0;
  char text[16];
  std::snprintf(text, sizeof text, "%c%c:%c%c:%c%c.%02d", ch(0), ch(1), ch(2), ch(3), ch(4),
                ch(5), hundredths);
  for (std::size_t i = 0; i < 11; ++i) out.GpsTimeText[i] = text[i];
  out.GpsTimeText[11] = '\0';
}

}  // namespace

NmeaSentenceType SentenceTypeOf(std::string_view line) {
  if (line.size() < 6 || line[0] != '$') return NmeaSentenceType::Other;
  const std::string_view type = line.substr(3, 3);
  if (type == "GGA") return NmeaSentenceType::Gga;
  if (type == "GLL") return NmeaSentenceType::Gll;
  return NmeaSentenceType::Other;
}

bool ParseGll(std::string_view line, GpsData& out) {
  if (SentenceTypeOf(line) != NmeaSentenceType::Gll) return false;
  FieldReader reader(line, 7);
  const Coordinate lat = ReadCoordinate(reader);
  const Coordinate lon = ReadCoordinate(reader);
  BuildPositionText(lat, lon, out);
  return true;
}

bool ParseGga(std::string_view line, GpsData& out) {
  if (SentenceTypeOf(line) != NmeaSentenceType::Gga) return false;
  FieldReader reader(line, 7);
  const std::string time = reader.Field(12, [](char c) { return IsDigit(c) || c == '.'; });
  BuildTimeText(time, out);
  const Coordinate lat = ReadCoordinate(reader);
  const Coordinate lon = ReadCoordinate(reader);
  BuildPositionText(lat, lon, out);
  auto field = [&](auto keep) { return reader.Field(10, keep); };
  out.GpsFixQuality = std::atoi(field(IsDigit).c_str());
  out.GpsSatellites = std::atoi(field(IsDigit).c_str());
  out.GpsHdop = std::strtof(field(IsNumberChar).c_str(), nullptr);
  out.GpsAltitude = std::strtof(field(IsNumberChar).c_str(), nullptr);
  out.GpsAfterAltitude = std::strtof(field(IsNumberChar).c_str(), nullptr);
  return true;
}

bool HemispheresValid(const GpsData& d) {
  return (d.GpsLatHemisphere == 'N' || d.GpsLatHemisphere == 'S') &&
         (d.GpsLonHemisphere == 'E' || d.GpsLonHemisphere == 'W');
}
