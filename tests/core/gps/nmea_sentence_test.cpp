// SPDX-License-Identifier: GPL-3.0-or-later
// GLL/GGA parsing, the fixed-width position text and the GGA time text.
#include <gtest/gtest.h>

#include <string>

#include "gps/gps_line.h"
#include "gps/nmea_sentence.h"

namespace {

std::string PositionOf(const GpsData& d) { return std::string(d.GpsPositionText.data(), 24); }

TEST(NmeaSentence, TypeComesFromPositionsThreeToFive) {
  EXPECT_EQ(SentenceTypeOf("$GPGGA,1"), NmeaSentenceType::Gga);
  EXPECT_EQ(SentenceTypeOf("$INGLL,1"), NmeaSentenceType::Gll);
  EXPECT_EQ(SentenceTypeOf("$GNGGA,"), NmeaSentenceType::Gga);
  EXPECT_EQ(SentenceTypeOf("$GPRMC,"), NmeaSentenceType::Other);
  EXPECT_EQ(SentenceTypeOf("GPGGA,1,"), NmeaSentenceType::Other);
  EXPECT_EQ(SentenceTypeOf("$GP"), NmeaSentenceType::Other);
}

struct PositionCase {
  const char* line;
  const char* position;  // 24 characters
  char lat, lon;
};

TEST(NmeaSentence, GllPositionText) {
  const PositionCase cases[] = {
      {"$GPGLL,4916.45,N,12311.12,W,225444,A\r\n", " 49.16.45  N123.11.12  W", 'N', 'W'},
      {"$GPGLL,4527.458,S,16709.165,E,225309,A*3E\r\n", " 45.27.458 S167.09.165 E", 'S', 'E'},
      {"$GNGLL,4907.85331,N,12243.19743,W,030858.00,A,A*7B\r\n", " 49.07.853 N122.43.197 W", 'N',
       'W'},
      // Short whole parts fill from the right.
      {"$GPGLL,516.4,N,311.1,E\r\n", "  5.16.4   N  3.11.1   E", 'N', 'E'},
      {"$GPGLL,6.4,N,1.1,E\r\n", "   . 6.4   N   . 1.1   E", 'N', 'E'},
      // Empty fields (no fix): blanks, and the hemisphere letters are blank too.
      {"$GPGLL,,,,,030851.00,V,N*45\r\n", "   .  .        .  .     ", ' ', ' '},
      // A coordinate without a fraction does not swallow the following fields.
      {"$GPGLL,4916,N,12311,W\r\n", " 49.16.    N123.11.    W", 'N', 'W'},
  };
  for (const auto& c : cases) {
    GpsData d;
    ASSERT_TRUE(ParseGll(c.line, d)) << c.line;
    EXPECT_EQ(PositionOf(d), c.position) << c.line;
    EXPECT_EQ(d.GpsLatHemisphere, c.lat) << c.line;
    EXPECT_EQ(d.GpsLonHemisphere, c.lon) << c.line;
    EXPECT_EQ(HemispheresValid(d), c.lat != ' ') << c.line;
  }
}

TEST(NmeaSentence, GgaFieldsAndTimeText) {
  GpsData d;
  ASSERT_TRUE(ParseGga("$GPGGA,123519.50,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n", d));
  EXPECT_EQ(PositionOf(d), " 48.07.038 N011.31.000 E");
  EXPECT_STREQ(d.GpsTimeText.data(), "12:35:19.50");
  EXPECT_EQ(d.GpsFixQuality, 1);
  EXPECT_EQ(d.GpsSatellites, 8);
  EXPECT_FLOAT_EQ(d.GpsHdop, 0.9f);
  EXPECT_FLOAT_EQ(d.GpsAltitude, 545.4f);
  EXPECT_FLOAT_EQ(d.GpsAfterAltitude, 0.0f);  // the unit letter "M" reads as 0
  EXPECT_FALSE(ParseGll("$GPGGA,1\r\n", d));
}

TEST(NmeaSentence, GgaHundredthsAreTruncatedFromSinglePrecision) {
  struct {
    const char* time;
    const char* text;
  } cases[] = {
      {"225308", "22:53:08.00"},
      {"132819.60", "13:28:19.59"},
      {"142816.359", "14:28:16.35"},
      {"030130.997", "03:01:30.99"},
      {"000012.45", "00:00:12.44"},  // 12.45f is below 12.45
      {"", "  :  :  .00"},
  };
  for (const auto& c : cases) {
    GpsData d;
    const std::string line = std::string("$GPGGA,") + c.time + ",4807.038,N,01131.000,E,1,08,0.9,5,M,,M,,*47\r\n";
    ASSERT_TRUE(ParseGga(line, d));
    EXPECT_STREQ(d.GpsTimeText.data(), c.text) << c.time;
  }
}

TEST(NmeaSentence, GgaWithoutFixKeepsFieldsAligned) {
  GpsData d;
  ASSERT_TRUE(ParseGga("$GPGGA,142816.359,,,,,0,00,,,M,0.0,M,,0000*51\r\n", d));
  EXPECT_FALSE(HemispheresValid(d));
  EXPECT_EQ(d.GpsFixQuality, 0);
  EXPECT_STREQ(d.GpsTimeText.data(), "14:28:16.35");
  // Zero-padded fields and an empty fix-quality field.
  ASSERT_TRUE(ParseGga("$GPGGA,222449,3349.0337,S,01843.9282,E,1,07,02.31,000115.4,M,0033.3,M,,\r\n", d));
  EXPECT_EQ(PositionOf(d), " 33.49.033 S018.43.928 E");
  EXPECT_FLOAT_EQ(d.GpsHdop, 2.31f);
  EXPECT_FLOAT_EQ(d.GpsAltitude, 115.4f);
  ASSERT_TRUE(ParseGga("$GPGGA,183331.00,4045.1234,N,07402.5678,W,,11,0.8,10.0,M,-34.2,M,,*54\r\n", d));
  EXPECT_EQ(d.GpsFixQuality, 0);
  EXPECT_EQ(d.GpsSatellites, 11);
  EXPECT_TRUE(HemispheresValid(d));
}

TEST(NmeaSentence, TruncatedGgaFollowedByAnotherSentence) {
  // A receiver that cut a GGA short and went straight on with a GLL.
  GpsData d;
  ASSERT_TRUE(ParseGga("$GPGGA,030130$GPGLL,2638.1728,N,08011.3893,W,030131.000,A,A*41\r\n", d));
  EXPECT_EQ(PositionOf(d), " 26.38.172 N080.11.389 W");
}

struct Assembled {
  std::vector<std::string> lines;
  int dropped = 0;
};

Assembled Assemble(const std::vector<std::string>& reads) {
  GpsLineAssembler a;
  Assembled out;
  for (const auto& r : reads)
    out.dropped += a.Feed(reinterpret_cast<const std::uint8_t*>(r.data()), r.size(),
                          [&](std::string_view l) { out.lines.emplace_back(l); });
  return out;
}

TEST(GpsLine, SentencesNeedDollarAndCarriageReturn) {
  auto a = Assemble({"$GPGLL,1,N\r\n", "$GPGLL,2,N\n", "GPGLL,3,N\r\n", "$GP", "GLL,4,N\r", "\n"});
  ASSERT_EQ(a.lines.size(), 2u);
  EXPECT_EQ(a.lines[0], "$GPGLL,1,N\r\n");
  EXPECT_EQ(a.lines[1], "$GPGLL,4,N\r\n");
}

TEST(GpsLine, OverlongLinesAreDropped) {
  const std::string legal = "$" + std::string(79, 'A') + "\r\n";  // 80 characters of text
  const std::string longer = "$" + std::string(80, 'B') + "\r\n";
  const std::string rtk = "$GPGGA,132819.60,4134.49795459,N,09345.03431408,W,4,12,0.9,283.611,M,-30.248,M,6.6,0133*6E\r\n";
  auto a = Assemble({legal, longer, "$GPGLL,after\r\n", rtk, "$GPGLL,again\r\n"});
  ASSERT_EQ(a.lines.size(), 3u);
  EXPECT_EQ(a.lines[0], legal);
  EXPECT_EQ(a.lines[1], "$GPGLL,after\r\n");
  EXPECT_EQ(a.lines[2], "$GPGLL,again\r\n");
  EXPECT_EQ(a.dropped, 2);
  // A line feed within the same read still ends the sentence first.
  auto b = Assemble({"$GPGLL,x\r\n" + std::string(100, 'z') + "\r\n$GPGLL,y\r\n"});
  ASSERT_EQ(b.lines.size(), 2u);
}

}  // namespace
