// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/user_config.h"

#include <gtest/gtest.h>

#include <cstring>

#include "settings/settings_io.h"
#include "test_files.h"

namespace {

void PutLe32(std::string& bytes, std::size_t at, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(u >> (8 * i));
}

std::string DefaultFileBytes() {
  auto b = ConfigFileBytes(DefaultUserConfig());
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

std::size_t FieldOffset(int row, int field) { return 80 + 256 * static_cast<std::size_t>(row) + 4 * static_cast<std::size_t>(field); }

TEST(UserConfigTest, DefaultTable) {
  SettingsState state;
  BuildDefaultConfig(state);
  const int want[15][4] = {{1, 1000, 60, 10},   {2, 1000, 60, 10},   {3, 1000, 60, 10},
                           {4, 1000, 60, 10},   {5, 1000, 60, 30},   {10, 675, 20, 30},
                           {20, 675, 20, 50},   {30, 675, 20, 80},   {40, 675, 20, 110},
                           {50, 675, 20, 130},  {60, 675, 20, 160},  {80, 675, 20, 210},
                           {100, 675, 20, 270}, {150, 290, 10, 400}, {200, 290, 10, 530}};
  for (int i = 0; i < 15; ++i) {
    SCOPED_TRACE(i);
    const UserConfig& r = state.DefaultConfig[static_cast<std::size_t>(i)];
    EXPECT_EQ(r, (UserConfig{want[i][0], want[i][1], want[i][2], want[i][3]}));
    EXPECT_EQ(state.ActiveConfig[static_cast<std::size_t>(i)], r);
  }
  const uint8_t header[8] = {0x43, 0x46, 0x47, 0x00, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(state.ConfigHeader.data(), header, 8), 0);
  for (std::size_t i = 8; i < 80; ++i) EXPECT_EQ(state.ConfigHeader[i], 0);
}

TEST(UserConfigTest, ApplyRangeConfig) {
  struct Case {
    int range;
    int grid_mode;
    int frequency, absorption, pulse;
  } cases[] = {
      {14, 1, 290, 10, 1000},  // 530 doubled is capped
      {12, 1, 675, 20, 540},
      {12, 0, 675, 20, 270},
      {0, 2, 1000, 60, 10},
      {4, 1, 1000, 60, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    SettingsState state;
    BuildDefaultConfig(state);
    state.Range = c.range;
    state.GridMode = c.grid_mode;
    state.PulseLengthHead = 777;
    bool changed = ApplyRangeConfig(state);
    EXPECT_EQ(state.Frequency, c.frequency);
    EXPECT_EQ(state.Absorption, c.absorption);
    EXPECT_EQ(state.PulseLength, c.pulse);
    EXPECT_EQ(changed, c.frequency != 675);
    EXPECT_EQ(state.PulseLengthHead, 777);  // head copies untouched
  }
  SettingsState state;
  BuildDefaultConfig(state);
  state.Range = 15;
  state.PulseLength = 123;
  EXPECT_FALSE(ApplyRangeConfig(state));
  EXPECT_EQ(state.PulseLength, 123);
}

TEST(ConfigFileTest, WrittenAndReadBackIsIdentical) {
  SettingsState state;
  BuildDefaultConfig(state);
  state.ActiveConfig[3] = {3, 455, 255, 1000};
  state.ActiveConfig[7] = {14, 280, 1, 10};
  ASSERT_TRUE(WriteConfigFile(state, "site.cfg"));
  std::string bytes = ReadText("site.cfg");
  ASSERT_EQ(bytes.size(), 5200u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("CFG\0\1\0\0\0", 8));
  EXPECT_EQ(bytes.substr(8, 72), std::string(72, '\0'));
  EXPECT_EQ(bytes.substr(3920), std::string(1280, '\0'));  // rows 15..19
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ(bytes.substr(FieldOffset(i, 4), 240), std::string(240, '\0')) << i;

  SettingsState back;
  BuildDefaultConfig(back);
  ConfigReadResult r = ReadConfigFile(back, "site.cfg");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(back.EditConfig, state.ActiveConfig);
  EXPECT_EQ(r.rows, state.ActiveConfig);
  EXPECT_EQ(back.ActiveConfig, DefaultUserConfig());  // the reader fills the edit table only

  // Written again from what was read, the file is byte for byte the same.
  back.ActiveConfig = back.EditConfig;
  ASSERT_TRUE(WriteConfigFile(back, "again.cfg"));
  EXPECT_EQ(ReadText("again.cfg"), bytes);
}

TEST(ConfigFileTest, LengthAndSignature) {
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    ConfigReadError error;
  } cases[] = {
      {"exact", DefaultFileBytes(), true, ConfigReadError::None},
      {"one byte short", DefaultFileBytes().substr(0, 5199), false, ConfigReadError::TooShort},
      {"6000 bytes", DefaultFileBytes() + std::string(800, '\x7f'), true, ConfigReadError::None},
      {"no signature", "CFG!" + DefaultFileBytes().substr(4), false, ConfigReadError::NoSignature},
      {"three bytes", "CFG", false, ConfigReadError::NoSignature},
      {"empty", "", false, ConfigReadError::NoSignature},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText("x.cfg", c.bytes);
    SettingsState state;
    BuildDefaultConfig(state);
    state.EditConfig[0].Frequency = 1;
    ConfigReadResult r = ReadConfigFile(state, "x.cfg");
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(state.EditConfig[0].Frequency, c.ok ? 1000 : 1);  // failure changes nothing
  }
  SettingsState state;
  EXPECT_EQ(ReadConfigFile(state, "absent.cfg").error, ConfigReadError::CannotOpen);
  EXPECT_EQ(ReadConfigFile(state, ".").error, ConfigReadError::CannotOpen);
}

TEST(ConfigFileTest, OutOfRangeFieldsTakeTheDefaultRowAndValuesAreRounded) {
  struct Case {
    int row, field;
    int32_t stored;
    int32_t want;
  } cases[] = {
      {6, 1, 1200, 675},   {6, 1, 677, 675},     {6, 1, 678, 680},   {6, 1, 279, 675},
      {6, 1, -1, 675},     {13, 1, 1100, 1100},  {2, 3, 105, 110},   {2, 3, 104, 100},
      {2, 3, 9, 10},       {2, 3, 1001, 10},     {14, 3, 1000, 1000}, {1, 2, 0, 60},
      {1, 2, 256, 60},     {1, 2, 255, 255},     {0, 0, 14, 14},     {0, 0, 15, 1},
      {12, 0, -5, 100},    {12, 0, 0, 0},        {5, 1, INT32_MIN, 675},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "row " << c.row << " field " << c.field << " = " << c.stored);
    std::string bytes = DefaultFileBytes();
    PutLe32(bytes, FieldOffset(c.row, c.field), c.stored);
    WriteText("x.cfg", bytes);
    SettingsState state;
    BuildDefaultConfig(state);
    ASSERT_TRUE(ReadConfigFile(state, "x.cfg").ok);
    for (int row = 0; row < 15; ++row) {
      UserConfig want = DefaultUserConfig()[static_cast<std::size_t>(row)];
      if (row == c.row) {
        int32_t* f[] = {&want.RangeLabel, &want.Frequency, &want.Absorption, &want.PulseLength};
        *f[c.field] = c.want;
      }
      EXPECT_EQ(state.EditConfig[static_cast<std::size_t>(row)], want) << "row " << row;
    }
  }
}

TEST(FieldCheckTest, FrequencyAndPulseLength) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } freq[] = {{"675", true, 675},   {"677", true, 675}, {"1100", true, 1100}, {"280", true, 280},
              {"279", false, 0},    {"1101", false, 0}, {"", false, 0},       {"6x5", false, 0},
              {"-300", false, 0},   {" 500 ", true, 500}, {"99999999999", false, 0}},
    pulse[] = {{"105", true, 110},  {"104", true, 100}, {"10", true, 10},     {"1000", true, 1000},
               {"9", false, 0},     {"1001", false, 0}, {"abc", false, 0}};
  for (const Case& c : freq) {
    SCOPED_TRACE(c.text);
    FieldCheck r = CheckFrequencyField(c.text);
    EXPECT_EQ(r.ok, c.ok);
    if (c.ok) EXPECT_EQ(r.value, c.value);
    else EXPECT_EQ(r.message, "Frequency is out of range!\nUse 280 to 1100 kHz.");
  }
  for (const Case& c : pulse) {
    SCOPED_TRACE(c.text);
    FieldCheck r = CheckPulseLengthField(c.text);
    EXPECT_EQ(r.ok, c.ok);
    if (c.ok) EXPECT_EQ(r.value, c.value);
    else EXPECT_EQ(r.message, "Pulse Length is out of range!\nUse 10 to 1000 usec.");
  }
}

TEST(FieldCheckTest, AbsorptionInMetresAndFeet) {
  struct Case {
    const char* text;
    int units;
    bool ok;
    int value;
  } cases[] = {
      {"0.20", 0, true, 20},     {"2.55", 0, true, 255},     {"2.56", 0, false, 0},
      {"0.009", 0, false, 0},    {"0.01", 0, true, 1},       {"0.0101", 0, true, 1},
      {"abc", 0, false, 0},      {"-1", 0, false, 0},        {"0.0027", 1, false, 0},
      {"0.003048", 1, true, 1},  {"0.77724", 1, true, 255},  {"0.7773", 1, false, 0},
      {"0.06096", 1, true, 20},  {"0.2000000009", 0, true, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.text << " units " << c.units);
    FieldCheck r = CheckAbsorptionField(c.text, c.units);
    EXPECT_EQ(r.ok, c.ok);
    if (c.ok) EXPECT_EQ(r.value, c.value);
    else
      EXPECT_EQ(r.message, c.units ? "Absorption is out of range!\nUse 0.003048 to 0.77724 dB/ft."
                                   : "Absorption is out of range!\nUse 0.01 to 2.55 dB/m.");
  }
  EXPECT_EQ(AutoSetupMessage(13, 1, CheckFrequencyField("1").message),
            "[450 FT]\nFrequency is out of range!\nUse 280 to 1100 kHz.");
  EXPECT_EQ(AutoSetupMessage(0, 0, "x"), "[1 M]\nx");
}

TEST(FieldCheckTest, AbsorptionShownAndReadBackInBothUnits) {
  struct Case {
    int n, units;
    const char* text;
  } cases[] = {{20, 0, "0.20"}, {1, 0, "0.01"}, {255, 0, "2.55"}, {20, 1, "0.06096"},
               {1, 1, "0.00305"}, {255, 1, "0.77724"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(AbsorptionText(c.n, c.units), c.text);
  }
  for (int units = 0; units <= 1; ++units)
    for (int n = 1; n <= 255; ++n) {
      FieldCheck r = CheckAbsorptionField(AbsorptionText(n, units), units);
      EXPECT_TRUE(r.ok) << n;
      EXPECT_EQ(r.value, n) << "units " << units;
    }
  EXPECT_STREQ(AbsorptionUnit(0), "dB/m");
  EXPECT_STREQ(AbsorptionUnit(1), "dB/ft");
}

TEST(UserConfigTest, NamesAndLabels) {
  struct Case {
    std::string name;
    std::string shown;
  } cases[] = {
      {"Default", "Default"},
      {std::string(30, 'a'), std::string(30, 'a')},
      {"/home/survey/configs/harbour.cfg", "/home/surv .../harbour.cfg"},  // 32 characters
      {"c:\\winq47v\\configs\\harbour2.cfg", "c:\\winq47v ...\\harbour2.cfg"},
      {std::string(40, 'b'), std::string(40, 'b')},  // no separator: shown whole
  };
  for (const Case& c : cases) EXPECT_EQ(ShortenConfigName(c.name), c.shown) << c.name;

  EXPECT_EQ(RangeLabel(0, 0), "1 M");
  EXPECT_EQ(RangeLabel(14, 0), "200 M");
  EXPECT_EQ(RangeLabel(0, 1), "3 FT");
  EXPECT_EQ(RangeLabel(14, 1), "600 FT");
  EXPECT_EQ(RangeLabel(15, 0), "");

  const char* ext[][2] = {{"a.cfg", "1"}, {"A.CFG", "1"}, {"a.cfgx", "0"}, {"acfg", "0"},
                          {"a.cfg.bak", "0"}, {"dir.cfg/x", "0"}};
  for (auto& e : ext) EXPECT_EQ(HasConfigExtension(e[0]), e[1][0] == '1') << e[0];
}

}  // namespace

namespace {

TEST(UserConfigDialogTest, OkStoresAcceptedFieldsAndReportsEachRejectedOne) {
  SettingsState state;
  BuildDefaultConfig(state);
  state.EditConfig = state.ActiveConfig;
  auto texts = ConfigDialogTexts(state.ActiveConfig, 1);
  EXPECT_EQ(texts[5].absorption, "0.06096");
  texts[2].frequency = "1200";
  texts[2].pulse_length = "105";
  texts[7].absorption = "0.0027";
  texts[14].frequency = "677";
  std::vector<std::string> messages = ReadConfigDialog(state, texts, 1);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "[9 FT]\nFrequency is out of range!\nUse 280 to 1100 kHz.");
  EXPECT_EQ(messages[1], "[90 FT]\nAbsorption is out of range!\nUse 0.003048 to 0.77724 dB/ft.");
  EXPECT_EQ(state.ActiveConfig[2].Frequency, 1000);   // rejected: unchanged
  EXPECT_EQ(state.ActiveConfig[2].PulseLength, 110);  // accepted in the same pass
  EXPECT_EQ(state.ActiveConfig[14].Frequency, 675);
  // Every shown value reads back as itself.
  SettingsState again;
  BuildDefaultConfig(again);
  EXPECT_TRUE(ReadConfigDialog(again, ConfigDialogTexts(again.ActiveConfig, 0), 0).empty());
  EXPECT_EQ(again.ActiveConfig, DefaultUserConfig());

  state.PendingConfigName = "x.cfg";
  ResetToDefaultConfig(state);
  EXPECT_EQ(state.PendingConfigName.get(), "Default");
  EXPECT_EQ(state.ActiveConfig, DefaultUserConfig());
  EXPECT_EQ(state.EditConfig, DefaultUserConfig());
}

TEST(UserConfigDialogTest, ManualAndAutoFrequencySetup) {
  SettingsState state;
  BuildDefaultConfig(state);
  state.Range = 14;
  state.GridMode = 0;
  SelectManualSetup(state);
  EXPECT_EQ(state.ConfigType, 0);
  EXPECT_EQ(state.Frequency, 675);
  EXPECT_EQ(state.PulseLength, 100);

  std::vector<std::string> messages = ApplyManualSetup(state, "452", "9", "33");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Absorption is out of range!\nUse 0.01 to 2.55 dB/m.");
  EXPECT_EQ(state.Frequency, 450);
  EXPECT_EQ(state.ManualFrequency, 450);
  EXPECT_EQ(state.PulseLength, 30);
  EXPECT_EQ(state.Absorption, 20);

  SelectAutoSetup(state);  // memories keep the manual values; row 14 applied
  EXPECT_EQ(state.ConfigType, 1);
  EXPECT_EQ(state.Frequency, 290);
  EXPECT_EQ(state.PulseLength, 530);
  SelectManualSetup(state);
  EXPECT_EQ(state.Frequency, 450);
  EXPECT_EQ(state.PulseLength, 30);
  ApplyManualDefaults(state);
  EXPECT_EQ(state.Frequency, 675);
  EXPECT_EQ(state.ManualPulseLength, 100);
}

}  // namespace
