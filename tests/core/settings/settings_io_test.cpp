// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "settings/user_config.h"
#include "test_files.h"

namespace {

std::string Path() { return SettingsPathForDirectory(std::filesystem::current_path().string()); }

// Loads a settings file holding the given lines of section "Settings" (and any
// further text), as the program does at start-up.
SettingsLoadReport LoadFrom(SettingsState& state, const std::string& settings_lines,
                            const std::string& more = "") {
  WriteText("WINQ47V.INI", "[Settings]\n" + settings_lines + more);
  BuildDefaultConfig(state);
  return LoadSettings(state);
}

const KeyLoadResult& ResultOf(const SettingsLoadReport& report, const std::string& key) {
  for (const KeyLoadResult& r : report.keys)
    if (r.key == key) return r;
  static KeyLoadResult none;
  ADD_FAILURE() << "no result for " << key;
  return none;
}

std::string WrittenValue(const std::string& key) {
  IniFile ini;
  IniFile::Load("WINQ47V.INI", ini);
  const SettingKey* k = FindSettingKey(key);
  return ini.GetString(k ? k->section : kSettingsSection, key, "<missing>");
}

TEST(LenientNumberTest, IntegersReadLikeTheCLibrary) {
  struct Case {
    const char* text;
    int want;
    bool digits;
  } cases[] = {
      {"15", 15, true},       {"  -7", -7, true},   {"+12abc", 12, true}, {"\t 3 4", 3, true},
      {"abc", 0, false},      {"", 0, false},       {"-", 0, false},      {"0x10", 0, true},
      {"99999999999", 2147483647, true},            {"-99999999999", -2147483647 - 1, true},
      {"1e3", 1, true},       {"+-5", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    bool digits = !c.digits;
    EXPECT_EQ(ParseLenientInt(c.text, &digits), c.want);
    EXPECT_EQ(digits, c.digits);
  }
}

TEST(LenientNumberTest, FloatsReadLeniently) {
  struct Case {
    const char* text;
    float want;
    bool number;
  } cases[] = {
      {"749.9", 749.9f, true}, {" +1.5e2x", 150.0f, true}, {"-0.25", -0.25f, true},
      {".5", 0.5f, true},      {"abc", 0.0f, false},       {"", 0.0f, false},
      {"1e-999", 0.0f, true},  {"+-1", 0.0f, false},       {"12,5", 12.0f, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    bool number = !c.number;
    EXPECT_EQ(ParseLenientFloat(c.text, &number), c.want);
    EXPECT_EQ(number, c.number);
  }
  EXPECT_TRUE(std::isinf(ParseLenientFloat("1e999")));
  EXPECT_TRUE(std::isinf(ParseLenientFloat("-1e300")));  // beyond float: infinity
  EXPECT_TRUE(std::isnan(ParseLenientFloat("nan")));
}

TEST(FormatTest, WrittenFloatTexts) {
  struct Case {
    const char* format;
    float value;
    const char* want;
  } cases[] = {
      {"%06.1f", 1500.0f, "1500.0"}, {"%06.1f", 750.0f, "0750.0"}, {"%06.1f", 2250.0f, "2250.0"},
      {"%4.2f", 0.0f, "0.00"},       {"%4.2f", -12.345f, "-12.35"}, {"%4.2f", 1e10f, "10000000000.00"},
      {"%3.1f", -30.0f, "-30.0"},    {"%3.1f", 0.05f, "0.1"},       {"%4.1f", 0.0f, " 0.0"},
      {"%4.1f", 82.0f, "82.0"},      {"%06.1f", -1.5f, "-001.5"},  {"%4.2f", INFINITY, " inf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.want);
    EXPECT_EQ(FormatSettingFloat(c.format, c.value), c.want);
  }
}

// The edge cases of loading: text in the file, the value loaded and how it is reported.
TEST(LoadSettingsTest, AcceptedValuesAndFallbacks) {
  struct Case {
    const char* key;
    const char* text;
    const char* want;  // value as written back on close
    KeyOrigin origin;
  } cases[] = {
      {"Range", "abc", "0", KeyOrigin::Unreadable},  // 0 is accepted
      {"Range", "15", "9", KeyOrigin::OutOfRange},
      {"Range", "-1", "9", KeyOrigin::OutOfRange},
      {"Range", " 14 metres", "14", KeyOrigin::Read},
      {"SSTrain", "1", "0", KeyOrigin::OutOfRange},
      {"SSTrain", "2", "2", KeyOrigin::Read},
      {"DataBits", "12", "8", KeyOrigin::OutOfRange},
      {"DataBits", "16", "16", KeyOrigin::Read},
      {"DataBits", "x", "8", KeyOrigin::Unreadable},
      {"Frequency", "677", "675", KeyOrigin::Read},
      {"Frequency", "678", "680", KeyOrigin::Read},
      {"Frequency", "1101", "675", KeyOrigin::OutOfRange},
      {"Frequency", "280", "280", KeyOrigin::Read},
      {"Frequency", "279", "675", KeyOrigin::OutOfRange},
      {"Absorption", "0", "20", KeyOrigin::OutOfRange},
      {"PulseLength", "1001", "100", KeyOrigin::OutOfRange},
      {"GridMode", "3", "1", KeyOrigin::OutOfRange},
      {"SoundVelocityMeters", "749.9", "1500.0", KeyOrigin::OutOfRange},
      {"SoundVelocityMeters", "750", "0750.0", KeyOrigin::Read},
      {"SoundVelocityMeters", "nan", "1500.0", KeyOrigin::OutOfRange},
      {"SoundVelocityMeters", "fast", "1500.0", KeyOrigin::Unreadable},
      {"AzimuthPitchOffset", "-30", "-30.0", KeyOrigin::Read},
      {"AzimuthPitchOffset", "30.01", "0.0", KeyOrigin::OutOfRange},
      {"AzimuthHeadingOffset", "-180", "-180.0", KeyOrigin::Read},
      {"ProfileChainage", "123456.789", "123456.79", KeyOrigin::Read},
      {"ProfileChainage", "-5", "-5.00", KeyOrigin::Read},
      {"ProfileChainage", "inf", "0.00", KeyOrigin::OutOfRange},
      {"AzimuthAngle", "1200", "600", KeyOrigin::OutOfRange},
      {"ProfileMinimumLevel", "9", "70", KeyOrigin::OutOfRange},
      {"ConfigFile", "", "Default", KeyOrigin::Unreadable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.text);
    SettingsState state;
    SettingsLoadReport report = LoadFrom(state, std::string(c.key) + "=" + c.text + "\n");
    EXPECT_EQ(ResultOf(report, c.key).origin, c.origin) << ResultOf(report, c.key).note;
    ASSERT_TRUE(SaveSettings(state));
    EXPECT_EQ(WrittenValue(c.key), c.want);
  }
}

TEST(LoadSettingsTest, ProfileMinimumRangeDependsOnUnits) {
  struct Case {
    const char* units;
    const char* text;
    float want;
  } cases[] = {{"1", "30", 30.0f}, {"0", "30", 0.0f}, {"0", "25", 25.0f},
               {"1", "82.1", 0.0f}, {"1", "-0.1", 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.units) + " " + c.text);
    SettingsState state;
    LoadFrom(state, std::string("Units=") + c.units + "\nProfileMinimumRange=" + c.text + "\n");
    EXPECT_EQ(state.ProfileMinimumRange, c.want);
  }
}

TEST(LoadSettingsTest, TextSettings) {
  SettingsState state;
  std::string long_text(100, 'x');
  SettingsLoadReport report = LoadFrom(state, "UserText=" + long_text + "\nConfigFile=\n");
  EXPECT_EQ(state.UserText.get(), std::string(79, 'x'));
  EXPECT_EQ(state.UserTextHead.get(), std::string(79, 'x'));
  EXPECT_EQ(state.ConfigFile.get(), "Default");
  EXPECT_EQ(state.PendingConfigName.get(), "Default");

  // An empty ConfigFile leaves UserText as read.
  LoadFrom(state, "UserText=Harbour survey\nConfigFile=\n");
  EXPECT_EQ(state.UserText.get(), "Harbour survey");
  EXPECT_EQ(state.ConfigFile.get(), "Default");

  // A cut that ends in blanks drops them: the next load would.
  LoadFrom(state, "UserText=" + std::string(78, 'y') + "  z\n");
  EXPECT_EQ(state.UserText.get(), std::string(78, 'y'));

  report = LoadFrom(state, "UserText=\n");
  EXPECT_EQ(state.UserText.get(), "Quorvane Technology Corp.");
}

TEST(LoadSettingsTest, DerivedValues) {
  struct Case {
    const char* grid_mode;
    int sector;
  } cases[] = {{"0", 120}, {"1", 270}, {"2", 0}, {"3", 270 /* not accepted: Polar */}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grid_mode);
    SettingsState state;
    state.HeadBaudIndex = 0;
    LoadFrom(state, std::string("GridMode=") + c.grid_mode +
                        "\nSectorSectorSize=120\nPolarSectorSize=270\nRunMode=1\nProfile=3\n");
    EXPECT_EQ(state.SectorSize, c.sector);
    EXPECT_EQ(state.SectorSizeHead, c.sector);
    EXPECT_EQ(state.HeadBaudIndex, 5);
    EXPECT_EQ(state.PreviousRunMode, 1);
    EXPECT_EQ(state.ProfileMenu, 3);
    EXPECT_EQ(state.ProfileImaging, 3);
  }
}

TEST(LoadSettingsTest, ValuesAreCutTo255CharactersBeforeReading) {
  SettingsState state;
  LoadFrom(state, "Range=" + std::string(255, '0') + "7\n");
  EXPECT_EQ(state.Range, 0);  // the 7 lies beyond the reader's buffer
}

TEST(SettingsRoundTripTest, NoFileGivesDefaultsAndCloseWritesEveryKey) {
  SettingsState state;
  BuildDefaultConfig(state);
  SettingsLoadReport report = LoadSettings(state);
  EXPECT_FALSE(report.file_found);
  EXPECT_EQ(report.path, Path());
  for (const KeyLoadResult& r : report.keys) EXPECT_EQ(r.origin, KeyOrigin::Missing) << r.key;
  EXPECT_EQ(state.ConfigFile.get(), "Default");
  EXPECT_EQ(state.ActiveConfig, DefaultUserConfig());
  SettingsState fresh;
  EXPECT_EQ(state.Range, fresh.Range);
  EXPECT_EQ(state.SoundVelocityMeters, 1500.0f);

  ASSERT_TRUE(SaveSettings(state));
  std::string text = ReadText("WINQ47V.INI");
  EXPECT_EQ(text.rfind("[Settings]\nMasterHeadID=16\nUserText=Quorvane Technology Corp.\nComPort=0\n", 0),
            0u)
      << text;
  IniFile ini = IniFile::Parse(text);
  for (const SettingKey& k : SettingKeys()) {
    SCOPED_TRACE(k.key);
    std::optional<std::string> v = ini.Get(k.section, k.key);
    ASSERT_TRUE(v.has_value());
    // Every default text reads back as the default value.
    EXPECT_EQ(ParseLenientFloat(*v), ParseLenientFloat(k.default_text));
  }
  EXPECT_NE(text.find("SoundVelocityMeters=1500.0\n"), std::string::npos);
  EXPECT_NE(text.find("ProfileChainage=0.00\n"), std::string::npos);
  EXPECT_NE(text.find("ProfileMinimumRange= 0.0\n"), std::string::npos);
  EXPECT_NE(text.find("[Orientation Module Settings]\nEnableOrientationModule=1\n"),
            std::string::npos);
}

TEST(SettingsRoundTripTest, ReadingBackGivesTheSameState) {
  SettingsState a;
  BuildDefaultConfig(a);
  LoadSettings(a);
  a.UserText = "Dredge 4 = east";
  a.UserTextHead = "Dredge 4 = east";
  a.Range = 13;
  a.RangeHead = 13;
  a.Gain = 22;
  a.GainHead = 22;
  a.GridMode = 2;
  a.GridModeHead = 2;
  a.SSTrain = 2;
  a.Units = 1;
  a.ProfileMinimumRange = 60.5f;
  a.SoundVelocityMeters = 1480.5f;
  a.SoundVelocityMetersHead = 1480.5f;
  a.OrientationHeadingOffset = -12.5f;
  a.OrientationHeadingOffsetHead = -12.5f;
  a.ProfileChainage = 1234.25f;
  a.ProfileChainageHead = 1234.25f;
  a.Frequency = 900;
  a.MasterHeadID = 0x13;
  ASSERT_TRUE(SaveSettings(a));
  std::string first = ReadText("WINQ47V.INI");

  SettingsState b;
  BuildDefaultConfig(b);
  SettingsLoadReport report = LoadSettings(b);
  for (const KeyLoadResult& r : report.keys) {
    EXPECT_EQ(r.origin, KeyOrigin::Read) << r.key;
    EXPECT_EQ(r.note, "") << r.key;
  }
  std::vector<SettingText> ta = SettingsToTexts(a), tb = SettingsToTexts(b);
  ASSERT_EQ(ta.size(), tb.size());
  for (std::size_t i = 1; i < ta.size(); ++i) EXPECT_EQ(ta[i].value, tb[i].value) << ta[i].key;
  EXPECT_EQ(b.MasterHeadID, 0x10);  // never read back
  EXPECT_EQ(b.SectorSize, 0);       // SS mode
  ASSERT_TRUE(SaveSettings(b));
  std::string second = ReadText("WINQ47V.INI");
  EXPECT_EQ(second.substr(second.find('\n', 12)), first.substr(first.find('\n', 12)));
}

TEST(SettingsRoundTripTest, UnknownKeysSectionsAndCommentsSurvive) {
  const std::string original =
      "; site notes\n"
      "[Settings]\n"
      "range=3\n"
      "; tuned for the harbour\n"
      "Vendor=xyz\n"
      "\n"
      "[Serial Ports]\n"
      "COM1=/dev/ttyACM0\n"
      "[Custom]\n"
      "a = b\n";
  WriteText("WINQ47V.INI", original);
  SettingsState state;
  BuildDefaultConfig(state);
  LoadSettings(state);
  EXPECT_EQ(state.Range, 3);
  ASSERT_TRUE(SaveSettings(state));
  std::string text = ReadText("WINQ47V.INI");
  EXPECT_EQ(text.rfind("; site notes\n[Settings]\nrange=3\n; tuned for the harbour\nVendor=xyz\n"
                       "MasterHeadID=16\nUserText=",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("\n\n[Serial Ports]\nCOM1=/dev/ttyACM0\n[Custom]\na = b\n"
                      "[Orientation Module Settings]\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("\nRange="), std::string::npos);  // replaced in place, not added
}

TEST(SettingsRoundTripTest, FileRunModeSavesTheHeadCopies) {
  SettingsState state;
  BuildDefaultConfig(state);
  LoadFrom(state, "RunMode=1\nGain=12\nUserText=Live head\n");
  ASSERT_EQ(state.GainHead, 12);
  // Playback overwrites the working values.
  state.Gain = 30;
  state.UserText = "From the file";
  state.SoundVelocityMeters = 1400.0f;
  state.Range = 2;
  state.Colors = 5;  // no head copy: written as is
  ASSERT_TRUE(SaveSettings(state));
  EXPECT_EQ(WrittenValue("Gain"), "12");
  EXPECT_EQ(WrittenValue("UserText"), "Live head");
  EXPECT_EQ(WrittenValue("SoundVelocityMeters"), "1500.0");
  EXPECT_EQ(WrittenValue("Range"), "9");
  EXPECT_EQ(WrittenValue("Colors"), "5");
  EXPECT_EQ(WrittenValue("RunMode"), "1");

  state.RunMode = 0;  // in Head run mode the working values are written
  ASSERT_TRUE(SaveSettings(state));
  EXPECT_EQ(WrittenValue("Gain"), "30");
}

TEST(SettingsRoundTripTest, SaveRefusesToReplaceAnUnreadableFile) {
  SettingsState state;
  BuildDefaultConfig(state);
  std::filesystem::create_directory("WINQ47V.INI");
  SettingsLoadReport report = LoadSettings(state);
  EXPECT_FALSE(report.error.empty());
  EXPECT_EQ(state.Range, 9);
  std::string error;
  EXPECT_FALSE(SaveSettings(state, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_directory("WINQ47V.INI"));
}

TEST(SettingsRoundTripTest, LoadsFromAnotherDirectoryWithItsOwnConfig) {
  std::filesystem::create_directory("site");
  SettingsState state;
  BuildDefaultConfig(state);
  UserConfigTable table = DefaultUserConfig();
  table[9].Frequency = 800;
  state.ActiveConfig = table;
  ASSERT_TRUE(WriteConfigFile(state, "site/harbour.cfg"));
  WriteText("site/WINQ47V.INI", "[Settings]\nConfigFile=harbour.cfg\n");

  SettingsState loaded;
  BuildDefaultConfig(loaded);
  SettingsLoadReport report = LoadSettings(loaded, "site/WINQ47V.INI");
  EXPECT_TRUE(report.config_loaded);
  EXPECT_EQ(loaded.ConfigFile.get(), "harbour.cfg");
  EXPECT_EQ(loaded.PendingConfigName.get(), "harbour.cfg");
  EXPECT_EQ(loaded.ActiveConfig[9].Frequency, 800);
  EXPECT_EQ(loaded.SettingsPath.get(), "site/WINQ47V.INI");
}

TEST(SettingsRoundTripTest, AConfigThatCannotBeReadFallsBackToDefault) {
  WriteText("bad.cfg", std::string(5199, 'x'));
  const char* names[] = {"missing.cfg", "bad.cfg", "Default"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    SettingsState state;
    BuildDefaultConfig(state);
    state.ActiveConfig[0].Frequency = 1;  // must be replaced by nothing
    WriteText("WINQ47V.INI", std::string("[Settings]\nConfigFile=") + name + "\n");
    SettingsLoadReport report = LoadSettings(state);
    EXPECT_FALSE(report.config_loaded);
    EXPECT_EQ(state.ConfigFile.get(), "Default");
    EXPECT_EQ(state.PendingConfigName.get(), "Default");
    EXPECT_EQ(state.ConfigDialogPath.get(), "Default");
    EXPECT_EQ(state.ActiveConfig[0].Frequency, 1);
    KeyOrigin want = std::string(name) == "Default" ? KeyOrigin::Read : KeyOrigin::NotLoaded;
    EXPECT_EQ(ResultOf(report, "ConfigFile").origin, want);
  }
}

}  // namespace
