// SPDX-License-Identifier: GPL-3.0-or-later
// The Head-mode "Settings" dialog (Manual and Auto frequency setup) and the "User
// Configuration" dialog opened from it: what they show, what they store, their
// messages, and .CFG files written and read back through the file dialogs.
#include <QLineEdit>
#include <QAbstractButton>
#include <QScrollBar>
#include <filesystem>
#include <fstream>

#include "app_fixture.h"
#include "dialogs/config_dialogs.h"
#include "settings/user_config.h"

namespace {

constexpr int kSettingsCommand = 310;

// Ids of row r (0..14) of the User Configuration dialog.
int FreqId(int r) { return 1000 * (r + 1) + 1; }
int AbsId(int r) { return 1000 * (r + 1) + 2; }
int PulseId(int r) { return 1000 * (r + 1) + 3; }

std::string Text(QLineEdit* f) { return f->text().toStdString(); }

class ConfigDialogTest : public AppTest {
 protected:
  // Runs the Settings command with scripts in place of the user for the Settings
  // dialog and for the User Configuration dialog it may open.
  void RunSettings(std::function<void(SettingsDialog&)> settings,
                   std::function<void(UserConfigDialog&)> user = nullptr) {
    window->SetDialogHook([=](QDialog& d) {
      if (auto* s = dynamic_cast<SettingsDialog*>(&d)) {
        settings(*s);
      } else if (auto* u = dynamic_cast<UserConfigDialog*>(&d)) {
        ASSERT_TRUE(user) << "User Configuration opened unexpectedly";
        user(*u);
      } else {
        ADD_FAILURE() << "unexpected dialog " << d.windowTitle().toStdString();
      }
    });
    window->OnCommand(kSettingsCommand);
  }

  // Opens the User Configuration dialog through "Edit Configuration..." (Auto).
  void RunUserConfig(std::function<void(UserConfigDialog&)> user) {
    RunSettings([](SettingsDialog& s) { s.Click(3000); s.PressOk(); }, std::move(user));
  }

  std::string Cwd() const { return std::filesystem::current_path().string(); }
};

TEST_F(ConfigDialogTest, SettingsOpensInAutoWithFieldsReadOnly) {
  WriteIni("ConfigType=1\nGridMode=0\nRange=5\n");
  Open();
  state.SendRequest = false;
  bool ran = false;
  RunSettings([&](SettingsDialog& d) {
    ran = true;
    EXPECT_EQ(d.windowTitle().toStdString(), "Settings");
    EXPECT_TRUE(d.IsChecked(3101));
    EXPECT_FALSE(d.IsChecked(3100));
    EXPECT_FALSE(d.FieldsEditable());
    EXPECT_FALSE(d.SpinsEnabled());
    EXPECT_TRUE(d.IsEnabled(3000));   // Edit Configuration...
    EXPECT_FALSE(d.IsEnabled(200));   // Defaults
    EXPECT_EQ(d.NameText(), "Default");
    EXPECT_EQ(d.HeadIdText(), "1");   // addressed head 16
    // Row 5 (10 m) of the default table, Sector mode.
    EXPECT_EQ(Text(d.FrequencyField()), "675");
    EXPECT_EQ(Text(d.AbsorptionField()), "0.20");
    EXPECT_EQ(d.AbsorptionUnitText(), "dB/m");
    EXPECT_EQ(Text(d.PulseLengthField()), "30");
    d.SpinFrequency(+1);  // spins do nothing in Auto
    d.Click(200);
    EXPECT_EQ(Text(d.FrequencyField()), "675");
    d.PressOk();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(state.SendRequest);
  EXPECT_EQ(window->FrequencyReadout(), "675 kHz (Auto)");
}

TEST_F(ConfigDialogTest, SettingsOpensInManualInFeet) {
  WriteIni("ConfigType=0\nFrequency=500\nAbsorption=30\nPulseLength=200\nUnits=1\n");
  Open();
  RunSettings([](SettingsDialog& d) {
    EXPECT_TRUE(d.IsChecked(3100));
    EXPECT_FALSE(d.IsChecked(3101));
    EXPECT_TRUE(d.FieldsEditable());
    EXPECT_TRUE(d.SpinsEnabled());
    EXPECT_FALSE(d.IsEnabled(3000));
    EXPECT_TRUE(d.IsEnabled(200));
    EXPECT_EQ(Text(d.FrequencyField()), "500");
    EXPECT_EQ(Text(d.AbsorptionField()), "0.09144");  // 0.30 dB/m x 0.3048
    EXPECT_EQ(d.AbsorptionUnitText(), "dB/ft");
    EXPECT_EQ(Text(d.PulseLengthField()), "200");
    d.reject();
  });
  EXPECT_EQ(window->FrequencyReadout(), "500 kHz");
}

TEST_F(ConfigDialogTest, SwitchingModesKeepsTheManualMemoriesAndAppliesTheRangeRow) {
  // Polar mode, 200 m: row 14's pulse length 530 doubled is capped at 1000.
  WriteIni("ConfigType=0\nFrequency=500\nAbsorption=30\nPulseLength=200\nGridMode=1\nRange=14\n");
  Open();
  RunSettings([&](SettingsDialog& d) {
    d.Click(3101);
    EXPECT_EQ(state.ConfigType, 1);
    EXPECT_EQ(state.Frequency, 290);
    EXPECT_EQ(state.Absorption, 10);
    EXPECT_EQ(state.PulseLength, 1000);
    EXPECT_EQ(Text(d.FrequencyField()), "290");
    EXPECT_EQ(Text(d.AbsorptionField()), "0.10");
    EXPECT_EQ(Text(d.PulseLengthField()), "1000");
    EXPECT_FALSE(d.FieldsEditable());
    EXPECT_EQ(window->FrequencyReadout(), "290 kHz (Auto)");
    // Auto again (a click on the checked button) must neither uncheck it nor
    // overwrite the manual memories.
    d.Button(3101)->click();
    EXPECT_TRUE(d.IsChecked(3101));
    d.Button(3100)->click();
    EXPECT_FALSE(d.IsChecked(3101));
    EXPECT_EQ(state.ConfigType, 0);
    EXPECT_EQ(state.Frequency, 500);
    EXPECT_EQ(state.Absorption, 30);
    EXPECT_EQ(state.PulseLength, 200);
    EXPECT_EQ(Text(d.FrequencyField()), "500");
    EXPECT_EQ(Text(d.AbsorptionField()), "0.30");
    EXPECT_TRUE(d.FieldsEditable());
    EXPECT_TRUE(d.SpinsEnabled());
    EXPECT_EQ(window->FrequencyReadout(), "500 kHz");
    d.Click(3101);
    d.reject();  // the mode chosen stays chosen
  });
  EXPECT_EQ(state.ConfigType, 1);
  EXPECT_EQ(state.Frequency, 290);
}

struct ManualCase {
  int units;
  const char *frequency, *absorption, *pulse;
  std::vector<std::string> messages;
};

TEST_F(ConfigDialogTest, ManualOkReportsEachBadFieldAndStaysOpen) {
  const std::string freq = "Frequency is out of range!\nUse 280 to 1100 kHz.";
  const std::string abs_m = "Absorption is out of range!\nUse 0.01 to 2.55 dB/m.";
  const std::string abs_ft = "Absorption is out of range!\nUse 0.003048 to 0.77724 dB/ft.";
  const std::string pulse = "Pulse Length is out of range!\nUse 10 to 1000 usec.";
  const ManualCase cases[] = {
      {0, "1200", "3", "5", {freq, abs_m, pulse}},
      {0, "275", "0.20", "100", {freq}},
      {0, "abc", "0.009", "1010", {freq, abs_m, pulse}},
      {1, "675", "0.0027", "100", {abs_ft}},  // 0.00886 dB/m is not above 0.009
      {1, "675", "0.8", "", {abs_ft, pulse}},
  };
  WriteIni("ConfigType=0\n");
  Open();
  for (const ManualCase& c : cases) {
    SCOPED_TRACE(std::string(c.frequency) + " / " + c.absorption + " / " + c.pulse);
    state.Units = c.units;
    boxes.clear();
    RunSettings([&](SettingsDialog& d) {
      d.FrequencyField()->setText(c.frequency);
      d.AbsorptionField()->setText(c.absorption);
      d.PulseLengthField()->setText(c.pulse);
      d.PressOk();
      EXPECT_EQ(d.result(), 0);  // still open
      d.reject();
    });
    ASSERT_EQ(boxes.size(), c.messages.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_EQ(boxes[i].title, "Manual Setup");
      EXPECT_TRUE(boxes[i].warning);
      EXPECT_EQ(boxes[i].text, c.messages[i]);
    }
  }
}

TEST_F(ConfigDialogTest, ManualOkRoundsAndStoresTheAcceptedFields) {
  WriteIni("ConfigType=0\nUnits=1\n");
  Open();
  RunSettings([&](SettingsDialog& d) {
    // A rejected frequency does not hold back the other two.
    d.FrequencyField()->setText("1101");
    d.AbsorptionField()->setText("0.003048");  // stored as 1
    d.PulseLengthField()->setText("105");      // rounded to 110
    d.PressOk();
    EXPECT_EQ(d.result(), 0);
    EXPECT_EQ(state.Absorption, 1);
    EXPECT_EQ(state.PulseLength, 110);
    EXPECT_EQ(Text(d.PulseLengthField()), "110");
    EXPECT_EQ(Text(d.FrequencyField()), "1101");  // left for correction
    d.FrequencyField()->setText("677");
    d.PressOk();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(state.Frequency, 675);
  // Accepted values are the manual memories: Auto and back brings them again.
  RunSettings([&](SettingsDialog& d) {
    d.Click(3101);
    d.Click(3100);
    d.PressOk();
  });
  EXPECT_EQ(state.Frequency, 675);
  EXPECT_EQ(state.Absorption, 1);
  EXPECT_EQ(state.PulseLength, 110);
}

TEST_F(ConfigDialogTest, ManualSpinsAndDefaults) {
  WriteIni("ConfigType=0\nFrequency=1100\nAbsorption=255\nPulseLength=10\n");
  Open();
  RunSettings([&](SettingsDialog& d) {
    d.SpinFrequency(+1);
    EXPECT_EQ(Text(d.FrequencyField()), "1100");
    d.SpinFrequency(-1);
    EXPECT_EQ(Text(d.FrequencyField()), "1095");
    d.SpinAbsorption(+1);
    EXPECT_EQ(Text(d.AbsorptionField()), "2.55");
    d.SpinAbsorption(-1);
    EXPECT_EQ(Text(d.AbsorptionField()), "2.54");
    d.SpinPulseLength(-1);
    EXPECT_EQ(Text(d.PulseLengthField()), "10");
    // The up arrow of the real scroll bar raises the value.
    d.SpinBar(2)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(Text(d.PulseLengthField()), "20");
    // A typed value is where the spin goes on from.
    d.FrequencyField()->setText("700");
    d.SpinFrequency(+1);
    EXPECT_EQ(Text(d.FrequencyField()), "705");
    d.SpinFrequency(+1);
    EXPECT_EQ(Text(d.FrequencyField()), "710");
    EXPECT_EQ(state.Frequency, 1100);  // pending until Ok
    d.Click(200);                      // Defaults: in use at once
    EXPECT_EQ(state.Frequency, 675);
    EXPECT_EQ(state.Absorption, 20);
    EXPECT_EQ(state.PulseLength, 100);
    EXPECT_EQ(Text(d.FrequencyField()), "675");
    EXPECT_EQ(Text(d.AbsorptionField()), "0.20");
    EXPECT_EQ(Text(d.PulseLengthField()), "100");
    d.reject();
  });
  EXPECT_EQ(state.Frequency, 675);
  EXPECT_EQ(state.ManualFrequency, 675);
}

TEST_F(ConfigDialogTest, UserConfigurationShowsTheActiveTable) {
  WriteIni("ConfigType=1\nUnits=1\n");
  Open();
  bool ran = false;
  RunUserConfig([&](UserConfigDialog& d) {
    ran = true;
    EXPECT_EQ(d.windowTitle().toStdString(), "User Configuration");
    EXPECT_EQ(d.NameText(), "Default");
    EXPECT_EQ(d.AbsorptionUnitText(), "(dB/ft)");
    EXPECT_EQ(d.RowLabel(0), "3 FT");
    EXPECT_EQ(d.RowLabel(14), "600 FT");
    EXPECT_EQ(Text(d.Field(FreqId(0))), "1000");
    EXPECT_EQ(Text(d.Field(AbsId(0))), "0.18288");  // 0.60 dB/m
    EXPECT_EQ(Text(d.Field(PulseId(14))), "530");
    EXPECT_EQ(Text(d.Field(FreqId(13))), "290");
    for (int id : {20010, 21010, 22010, 20150, 21150, 22150}) EXPECT_NE(d.Button(id), nullptr) << id;
    for (int id : {1010, 1020, 1030, 15010, 15020, 15030}) EXPECT_NE(d.SpinBar(id), nullptr) << id;
    d.reject();
  });
  EXPECT_TRUE(ran);
}

TEST_F(ConfigDialogTest, UserConfigurationSpinsAndDButtons) {
  WriteIni("ConfigType=1\nRange=0\nGridMode=0\n");
  Open();
  RunUserConfig([&](UserConfigDialog& d) {
    d.Spin(1010, +1);
    EXPECT_EQ(Text(d.Field(FreqId(0))), "1005");
    d.Spin(1020, -1);
    EXPECT_EQ(Text(d.Field(AbsId(0))), "0.59");
    d.Spin(1030, -1);
    EXPECT_EQ(Text(d.Field(PulseId(0))), "10");  // at least 10
    d.Spin(1030, +1);
    EXPECT_EQ(Text(d.Field(PulseId(0))), "20");
    for (int i = 0; i < 30; ++i) d.Spin(1010, +1);
    EXPECT_EQ(Text(d.Field(FreqId(0))), "1100");  // at most 1100
    d.Field(FreqId(14))->setText("280");
    d.Spin(15010, -1);
    EXPECT_EQ(Text(d.Field(FreqId(14))), "280");  // at least 280
    d.Field(AbsId(14))->setText("2.55");
    d.Spin(15020, +1);
    EXPECT_EQ(Text(d.Field(AbsId(14))), "2.55");  // at most 255
    // The real controls: the up arrow of a spin, a "D" button.
    d.SpinBar(2030)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(Text(d.Field(PulseId(1))), "20");
    d.Button(20010)->click();
    EXPECT_EQ(Text(d.Field(FreqId(0))), "1000");
    d.PressDefaultOf(22010);
    EXPECT_EQ(Text(d.Field(PulseId(0))), "10");
    d.PressDefaultOf(21150);
    EXPECT_EQ(Text(d.Field(AbsId(14))), "0.10");
    d.PressOk();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(state.ActiveConfig[0].Absorption, 59);
  EXPECT_EQ(state.ActiveConfig[1].PulseLength, 20);
  EXPECT_EQ(state.ActiveConfig[14].Frequency, 280);
  // The Settings dialog applied the new row of the current range.
  EXPECT_EQ(state.Absorption, 59);
}

TEST_F(ConfigDialogTest, UserConfigurationDefaultRestoresTheTable) {
  WriteIni("ConfigType=1\n");
  Open();
  RunUserConfig([&](UserConfigDialog& d) {
    d.Field(FreqId(3))->setText("900");
    d.Spin(5030, +1);
    d.PressOk();  // stores the changes
  });
  EXPECT_EQ(state.ActiveConfig[3].Frequency, 900);
  EXPECT_EQ(state.ActiveConfig[4].PulseLength, 40);
  RunUserConfig([&](UserConfigDialog& d) {
    EXPECT_EQ(Text(d.Field(FreqId(3))), "900");
    d.PressDefault();
    EXPECT_EQ(Text(d.Field(FreqId(3))), "1000");
    EXPECT_EQ(Text(d.Field(PulseId(4))), "30");
    EXPECT_EQ(d.NameText(), "Default");
    d.reject();  // the table was reset all the same
  });
  EXPECT_EQ(state.ActiveConfig, DefaultUserConfig());
}

TEST_F(ConfigDialogTest, SaveAsWritesACfgThatLoadReadsBack) {
  WriteIni("ConfigType=1\nRange=6\nGridMode=0\n");
  Open();
  const std::string path = Cwd() + "/Harbour.CFG";  // upper case kept: opened as chosen
  files.push_back(path);
  files.push_back(path);
  RunUserConfig([&](UserConfigDialog& d) {
    d.Field(FreqId(6))->setText("702");
    d.Field(AbsId(6))->setText("0.35");
    d.Field(PulseId(6))->setText("55");
    d.Field(FreqId(7))->setText("5000");  // invalid: skipped silently by Save As
    d.PressSaveAs();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(d.NameText(), ShortenConfigName(path));
    d.PressDefault();
    EXPECT_EQ(Text(d.Field(FreqId(6))), "675");
    d.PressLoad();
    EXPECT_EQ(Text(d.Field(FreqId(6))), "700");
    EXPECT_EQ(Text(d.Field(AbsId(6))), "0.35");
    EXPECT_EQ(Text(d.Field(PulseId(6))), "60");
    EXPECT_EQ(Text(d.Field(FreqId(7))), "675");
    EXPECT_EQ(d.NameText(), ShortenConfigName(path));
    d.PressOk();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].title, "Save Configuration As");
  EXPECT_EQ(asked[0].filter, "Q47V Config File (*.CFG)");
  EXPECT_EQ(asked[0].default_ext, "CFG");
  EXPECT_TRUE(asked[0].save);
  EXPECT_EQ(asked[1].title, "Load Configuration");
  EXPECT_FALSE(asked[1].save);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(std::filesystem::file_size(path), kConfigFileSize);
  EXPECT_EQ(state.ConfigFile.get(), path);
  EXPECT_EQ(state.ActiveConfig[6], (UserConfig{20, 700, 35, 60}));
  // Row 6 is the current range: its values are in use.
  EXPECT_EQ(state.Frequency, 700);
  EXPECT_EQ(state.PulseLength, 60);
  // The file holds what was saved, read by the core's own reader.
  UserConfigTable read{};
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(ParseConfigBytes(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                             DefaultUserConfig(), read),
            ConfigReadError::None);
  EXPECT_EQ(read[6].Frequency, 700);
  EXPECT_EQ(read[7].Frequency, 675);
}

TEST_F(ConfigDialogTest, LongConfigurationNamesAreShortened) {
  WriteIni("ConfigType=1\n");
  Open();
  std::filesystem::create_directories("surveys/north quay 2026");
  const std::string path = Cwd() + "/surveys/north quay 2026/Quay.CFG";
  files.push_back(path);
  RunSettings([&](SettingsDialog& s) {
    s.Click(3000);
    EXPECT_EQ(s.NameText(), path.substr(0, 10) + " .../Quay.CFG");
    s.PressOk();
  }, [&](UserConfigDialog& d) {
    d.PressSaveAs();
    EXPECT_EQ(d.NameText(), path.substr(0, 10) + " .../Quay.CFG");
    d.PressOk();
  });
  EXPECT_EQ(state.ConfigFile.get(), path);
}

TEST_F(ConfigDialogTest, FileNamesMustEndInCfg) {
  WriteIni("ConfigType=1\n");
  Open();
  files.push_back(Cwd() + "/table.txt");
  files.push_back(Cwd() + "/table.CF");
  RunUserConfig([&](UserConfigDialog& d) {
    d.PressSaveAs();
    d.PressLoad();
    EXPECT_EQ(d.NameText(), "Default");
    d.PressOk();
  });
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Save Configuration As");
  EXPECT_EQ(boxes[0].text, "File extension must be .CFG");
  EXPECT_TRUE(boxes[0].warning);
  EXPECT_EQ(boxes[1].title, "Load Configuration");
  EXPECT_EQ(boxes[1].text, "File extension must be .CFG");
  EXPECT_FALSE(std::filesystem::exists("table.txt"));
  EXPECT_EQ(state.ConfigFile.get(), "Default");
}

TEST_F(ConfigDialogTest, UnreadableFilesChangeNothingAndAreReported) {
  WriteIni("ConfigType=1\n");
  Open();
  // One byte short of a configuration file.
  std::string bytes(kConfigFileSize - 1, '\0');
  bytes.replace(0, 4, std::string("CFG\0", 4));
  std::ofstream("short.cfg", std::ios::binary) << bytes;
  files.push_back(Cwd() + "/short.cfg");
  files.push_back(Cwd() + "/missing/dir/x.cfg");
  RunUserConfig([&](UserConfigDialog& d) {
    d.Field(FreqId(0))->setText("800");
    d.PressLoad();
    EXPECT_EQ(Text(d.Field(FreqId(0))), "800");
    EXPECT_EQ(d.NameText(), "Default");
    d.PressSaveAs();  // cannot be created
    EXPECT_EQ(d.NameText(), "Default");
    d.reject();
  });
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Load Configuration");
  EXPECT_EQ(boxes[1].title, "Save Configuration As");
  // The failed save left the active table alone.
  EXPECT_EQ(state.ActiveConfig, DefaultUserConfig());
}

TEST_F(ConfigDialogTest, UserConfigurationOkReportsBadFieldsWithTheirRange) {
  WriteIni("ConfigType=1\nUnits=1\n");
  Open();
  RunUserConfig([&](UserConfigDialog& d) {
    d.Field(FreqId(6))->setText("1200");
    d.Field(AbsId(6))->setText("0.0027");
    d.Field(PulseId(14))->setText("2000");
    d.Field(PulseId(0))->setText("40");  // valid: stored though others fail
    d.PressOk();
    EXPECT_EQ(d.result(), 0);  // still open
    d.Field(FreqId(6))->setText("700");
    d.Field(AbsId(6))->setText("0.06096");
    d.Field(PulseId(14))->setText("1000");
    d.PressOk();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  ASSERT_EQ(boxes.size(), 3u);
  for (const ShownBox& b : boxes) {
    EXPECT_EQ(b.title, "Auto Setup");
    EXPECT_TRUE(b.warning);
  }
  EXPECT_EQ(boxes[0].text, "[60 FT]\nFrequency is out of range!\nUse 280 to 1100 kHz.");
  EXPECT_EQ(boxes[1].text, "[60 FT]\nAbsorption is out of range!\nUse 0.003048 to 0.77724 dB/ft.");
  EXPECT_EQ(boxes[2].text, "[600 FT]\nPulse Length is out of range!\nUse 10 to 1000 usec.");
  EXPECT_EQ(state.ActiveConfig[0].PulseLength, 40);
  EXPECT_EQ(state.ActiveConfig[6].Frequency, 700);
  EXPECT_EQ(state.ActiveConfig[6].Absorption, 20);
  EXPECT_EQ(state.ActiveConfig[14].PulseLength, 1000);
}

TEST_F(ConfigDialogTest, MetreMessagesNameTheRangeInMetres) {
  WriteIni("ConfigType=1\n");
  Open();
  RunUserConfig([&](UserConfigDialog& d) {
    d.Field(AbsId(0))->setText("2.56");
    d.PressOk();
    d.reject();
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "[1 M]\nAbsorption is out of range!\nUse 0.01 to 2.55 dB/m.");
}

TEST_F(ConfigDialogTest, CancelledLoadDoesNotRenameTheConfiguration) {
  WriteIni("ConfigType=1\n");
  Open();
  std::string bytes(kConfigFileSize, '\0');
  bytes.replace(0, 4, std::string("CFG\0", 4));
  std::ofstream("Other.CFG", std::ios::binary) << bytes;  // all rows fall back to defaults
  files.push_back(Cwd() + "/Other.CFG");
  RunUserConfig([&](UserConfigDialog& d) {
    d.PressLoad();
    EXPECT_EQ(d.NameText(), ShortenConfigName(Cwd() + "/Other.CFG"));
    d.reject();
  });
  RunUserConfig([&](UserConfigDialog& d) {
    EXPECT_EQ(d.NameText(), "Default");
    d.PressOk();
  });
  EXPECT_EQ(state.ConfigFile.get(), "Default");
}

}  // namespace
