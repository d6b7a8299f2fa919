// SPDX-License-Identifier: GPL-3.0-or-later
// Random and mangled input for the INI and .CFG readers: every result must be
// well-formed and no read may leave the input (run under the sanitizer build).
#include <gtest/gtest.h>

#include <random>

#include "settings/ini_file.h"
#include "settings/user_config.h"

namespace {

TEST(RandomInputTest, IniReaderTakesAnyBytes) {
  std::mt19937 rng(47);
  const char alphabet[] = "[]=;#\r\n \tabcABC0123456789\xEF\xBB\xBF";
  for (int round = 0; round < 3000; ++round) {
    std::size_t size = rng() % 300;
    std::string text(size, '\0');
    bool structured = round % 2 == 0;
    for (char& c : text)
      c = structured ? alphabet[rng() % (sizeof alphabet - 1)] : static_cast<char>(rng());
    IniFile ini = IniFile::Parse(text);
    (void)ini.Get("a", "b");
    (void)ini.HasSection("A");
    ini.Set("a", "B", "1");
    ini.Set("New Section", "k", "v\nw");
    // What was written can be read back, whatever surrounded it.
    IniFile again = IniFile::Parse(ini.Text());
    ASSERT_EQ(again.Get("NEW SECTION", "K"), "v w") << round;
    ASSERT_EQ(again.Text(), ini.Text());
  }
}

TEST(RandomInputTest, ConfigReaderTakesAnyBytes) {
  std::mt19937 rng(5200);
  for (int round = 0; round < 2000; ++round) {
    std::size_t size = round % 3 == 0 ? 5200 + rng() % 100 : rng() % 5400;
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    if (size >= 4 && round % 2 == 0) {
      bytes[0] = 'C';
      bytes[1] = 'F';
      bytes[2] = 'G';
      bytes[3] = 0;
    }
    UserConfigTable table = DefaultUserConfig();
    ConfigReadError e = ParseConfigBytes(bytes, DefaultUserConfig(), table);
    if (e != ConfigReadError::None) {
      ASSERT_EQ(table, DefaultUserConfig());
      continue;
    }
    for (const UserConfig& r : table) {
      ASSERT_GE(r.Frequency, 280);
      ASSERT_LE(r.Frequency, 1100);
      ASSERT_EQ(r.Frequency % 5, 0);
      ASSERT_GE(r.Absorption, 1);
      ASSERT_LE(r.Absorption, 255);
      ASSERT_GE(r.PulseLength, 10);
      ASSERT_LE(r.PulseLength, 1000);
      ASSERT_EQ(r.PulseLength % 10, 0);
    }
  }
}

}  // namespace
