// SPDX-License-Identifier: GPL-3.0-or-later
// Sound Velocity, Rotate Sonar Image and User Text from the menu: checks, messages,
// spin limits, defaults and what is stored.
#include <QComboBox>
#include <QLineEdit>

#include <QScrollBar>
#include <filesystem>

#include "app_fixture.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/config_dialogs.h"
#include "dialogs/setup_dialogs.h"

namespace {

// Runs a dialog opened by a command with `script` in place of the user.
void Script(MainWindow& w, std::function<void(ValueDialog&)> script) {
  w.SetDialogHook([script](QDialog& d) { script(static_cast<ValueDialog&>(d)); });
}

TEST_F(AppTest, SoundVelocityChecksAndStores) {
  WriteIni("Units=0\nSoundVelocityMeters=1500.0\n");
  Open();
  Script(*window, [](ValueDialog& d) {
    EXPECT_EQ(d.windowTitle().toStdString(), "Sound Velocity");
    EXPECT_EQ(d.Field()->text().toStdString(), "1500.0");
    d.Field()->setText("2300");
    d.PressOk();
    EXPECT_EQ(d.result(), 0);  // still open
    EXPECT_EQ(d.Field()->text().toStdString(), "1500.0");  // the current value again
    d.Field()->setText("1480.5");
    d.PressOk();
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  window->OnCommand(820);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Sound Velocity");
  EXPECT_EQ(boxes[0].text, "Speed of Sound is out of range!\nUse 750.0 to 2250.0 m/s.");
  EXPECT_FLOAT_EQ(state.SoundVelocityMeters, 1480.5f);
}

TEST_F(AppTest, SoundVelocityInFeetAndSpinLimit) {
  WriteIni("Units=1\nSoundVelocityMeters=2250.0\n");
  Open();
  Script(*window, [](ValueDialog& d) {
    d.PressDefault();
    EXPECT_EQ(d.Field()->text().toStdString(), "4921.3");
    d.Field()->setText("4921.3");
    d.PressOk();
  });
  window->OnCommand(820);
  EXPECT_NEAR(state.SoundVelocityMeters, 1500.01, 0.005);  // 4921.3 x 0.3048, not rounded
  state.Units = 0;
  state.SoundVelocityMeters = 2250.0f;
  Script(*window, [](ValueDialog& d) {
    d.Spin(+1);
    EXPECT_EQ(d.Field()->text().toStdString(), "2250.0");
    d.reject();
  });
  window->OnCommand(820);
  EXPECT_FLOAT_EQ(state.SoundVelocityMeters, 2250.0f);
}

TEST_F(AppTest, RotateAngleIsReachableAndChecked) {
  Open();
  Script(*window, [](ValueDialog& d) {
    EXPECT_EQ(d.windowTitle().toStdString(), "Rotate Sonar Image");
    d.Field()->setText("200");
    d.PressOk();
    d.Field()->setText("-45.5");
    d.PressOk();
  });
  window->OnCommand(825);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Angle is out of range!\nUse -180.0 to 180.0 Deg");
  EXPECT_FLOAT_EQ(state.RotateAngle, -45.5f);
}

TEST_F(AppTest, UserTextKeepsTwentyNineCharacters) {
  Open();
  Script(*window, [](ValueDialog& d) {
    EXPECT_EQ(d.windowTitle().toStdString(), "User Text");
    d.Field()->setText("Harbour survey north quay, line 7 of 12");
    d.PressOk();
  });
  window->OnCommand(830);
  EXPECT_EQ(state.UserText.get(), "Harbour survey north quay, li");
}

// The name fields show their whole text when the dialog opens: the user text
// from its first character, the Settings dialog's "Current Configuration" path.
TEST_F(AppTest, NameFieldsShowTheirWholeText) {
  const std::string config = std::filesystem::current_path().string() + "/surveys/harbour-2026/north-quay.CFG";
  WriteIni("UserText=Quorvane Technology Corp.\nConfigType=1\nRunMode=0\n");
  Open();
  state.ConfigFile = config;  // as a configuration loaded from there leaves it
  int checked = 0;
  auto whole = [&checked](QLineEdit* f) {
    ++checked;
    EXPECT_GE(f->width(), f->fontMetrics().horizontalAdvance(f->text()) + 8)
        << "\"" << f->text().toStdString() << "\" in a field " << f->width() << " wide";
  };
  window->SetDialogHook([&](QDialog& d) {
    d.show();
    QCoreApplication::processEvents();
    if (auto* v = dynamic_cast<ValueDialog*>(&d)) {
      EXPECT_EQ(v->Field()->text().toStdString(), "Quorvane Technology Corp.");
      whole(v->Field());
    } else if (auto* s = dynamic_cast<SettingsDialog*>(&d)) {
      for (QLineEdit* f : s->findChildren<QLineEdit*>())
        if (f->text().toStdString() == s->NameText() && f->isReadOnly()) whole(f);
    }
    d.reject();
  });
  window->OnCommand(830);
  window->OnCommand(310);
  EXPECT_EQ(checked, 2);
}

}  // namespace

namespace {

TEST_F(AppTest, ComPortSetupRefusesTheSamePortWithGps) {
  WriteIni("UseGPS=1\nComPort=1\nComPortGPS=2\nGPSBaudRate=1\n");
  Open();
  for (auto& p : state.ComPortPresent) p = true;
  state.ComPortPresent[5] = false;
  state.UseGPS = 1;
  state.ComPort = 1;
  state.ComPortGPS = 2;
  window->SetDialogHook([](QDialog& dialog) {
    auto& d = static_cast<ComPortDialog&>(dialog);
    EXPECT_EQ(d.windowTitle().toStdString(), "ComPort Setup");
    EXPECT_EQ(d.BaudText(), "(9600,N,8,1)");
    EXPECT_TRUE(d.IsChecked(1001));
    EXPECT_TRUE(d.IsChecked(2002));
    EXPECT_TRUE(d.IsPushedIn(1005));  // COM6 is missing
    d.Click(1005);
    EXPECT_TRUE(d.IsChecked(1001));   // a missing port cannot be chosen
    d.Click(2001);                    // GPS on COM2 as well
    d.PressOk();
    EXPECT_FALSE(d.Stored());         // refused, still open
    d.Click(116);                     // GPS disabled: the same ports are accepted
    EXPECT_TRUE(d.IsPushedIn(2000));
    d.PressOk();
    EXPECT_TRUE(d.Stored());
  });
  window->OnCommand(105);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "ComPort Setup");
  EXPECT_EQ(boxes[0].text, "ComPorts can not be the same.");
  EXPECT_EQ(state.UseGPS, 0);
  EXPECT_EQ(state.ComPort, 1);
}

TEST_F(AppTest, FileModeSettingsShowsThePlayedHeadSettings) {
  WriteIni("RunMode=1\nUnits=0\nAbsorption=20\nPulseLength=100\n");
  Open();
  state.PlaybackFrequency = 1100;
  bool shown = false;  // no head has answered: the default head ID 16, shown as 1
  window->SetDialogHook([&shown](QDialog& d) {
    shown = d.windowTitle() == "Settings";
  });
  window->OnCommand(310);
  EXPECT_TRUE(shown);
  const auto lines = DisplaySwitchesLines(state);
  EXPECT_EQ(lines[0], "Head ID: 1");
  EXPECT_EQ(lines[1], "Absorption: 0.20 dB/m");
  EXPECT_EQ(lines[2], "Pulse Length: 100 usec");
  EXPECT_EQ(lines[3], "Frequency: 1100 kHz");
}

}  // namespace

namespace {

TEST_F(AppTest, ProfileSetupChecksRangeAndLevel) {
  WriteIni("Units=0\nProfileMinimumRange=30.0\nProfileDigitizationSource=0\n");
  Open();
  window->SetDialogHook([](QDialog& dialog) {
    auto& d = static_cast<ProfileSetupDialog&>(dialog);
    EXPECT_EQ(d.windowTitle().toStdString(), "Profile Setup");
    EXPECT_EQ(d.RangeField()->text().toStdString(), " 0.0");  // 30 m left from feet
    EXPECT_FALSE(d.LevelEditable());  // source "Sonar Head"
    d.Click(3101);
    EXPECT_TRUE(d.LevelEditable());
    d.RangeField()->setText("26");
    d.PressOk();
    d.RangeField()->setText("12.5");
    d.LevelField()->setText("95");
    d.PressOk();
    EXPECT_EQ(d.RangeField()->text().toStdString(), " 0.0");  // the pending values again
    d.RangeField()->setText("12.5");
    d.LevelField()->setText("40");
    d.SpinLevel(+1);
    d.PressOk();
  });
  window->OnCommand(970);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Minimum Range is out of range!\nUse 0 to 25 Meters.");
  EXPECT_EQ(boxes[1].text, "Minimum Level is out of range!\nUse 10 to 90 Percent.");
  EXPECT_EQ(boxes[1].title, "Profile Setup");
  EXPECT_EQ(state.ProfileDigitizationSource, 1);
  EXPECT_FLOAT_EQ(state.ProfileMinimumRange, 12.5f);
  EXPECT_EQ(state.ProfileMinimumLevel, 41);
}

// Both fields wrong: a box for each, in field order; the spin arrows step the
// fields and are off while their field is read-only.
TEST_F(AppTest, ProfileSetupBoxPerFieldAndSpinArrows) {
  WriteIni("Units=0\nProfileMinimumRange=5.0\nProfileDigitizationSource=0\n");
  Open();
  window->SetDialogHook([](QDialog& dialog) {
    auto& d = static_cast<ProfileSetupDialog&>(dialog);
    ASSERT_NE(d.RangeSpin(), nullptr);
    ASSERT_NE(d.LevelSpin(), nullptr);
    EXPECT_FALSE(d.LevelSpin()->isEnabled());  // "Sonar Head": the level is fixed
    d.Click(3101);
    EXPECT_TRUE(d.LevelSpin()->isEnabled());
    d.RangeSpin()->setValue(-1);  // the up arrow
    EXPECT_EQ(d.RangeField()->text().toStdString(), " 5.1");
    d.RangeField()->setText("30");
    d.LevelField()->setText("5");
    d.PressOk();
    d.reject();
  });
  window->OnCommand(970);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Minimum Range is out of range!\nUse 0 to 25 Meters.");
  EXPECT_EQ(boxes[1].text, "Minimum Level is out of range!\nUse 10 to 90 Percent.");
}

TEST_F(AppTest, ChangeAzimuthStoresDriveSteps) {
  WriteIni("AzimuthDriveEnable=1\nAzimuthAngle=600\n");
  Open();
  window->SetDialogHook([](QDialog& dialog) {
    auto& d = static_cast<ValueDialog&>(dialog);
    EXPECT_EQ(d.windowTitle().toStdString(), "Change Azimuth");
    EXPECT_EQ(d.Field()->text().toStdString(), "  0.0");
    d.Field()->setText("360");
    d.PressOk();
    d.Field()->setText("359.7");
    d.PressOk();
  });
  window->ChangeAzimuth();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Azimuth Drive Setup");
  EXPECT_EQ(boxes[0].text, "Azimuth Angle is out of range!\nUse 0 to 359.7 Degrees.");
  EXPECT_EQ(state.AzimuthAngle, 599);
  EXPECT_TRUE(state.AzimuthMoveRequest);
}

}  // namespace

namespace {

TEST_F(AppTest, HeadIdAndProgramRequests) {
  Open();
  state.MasterHeadID = 18;  // as loaded from MasterHeadID in the settings
  {
    HeadIdDialog d(state, false, window.get());
    EXPECT_EQ(d.windowTitle().toStdString(), "Set New Head ID");
    EXPECT_EQ(d.IdBox()->currentText().toStdString(), "3");  // 18 - 15
    d.IdBox()->setCurrentIndex(4);
    d.PressOk();
    EXPECT_TRUE(state.NewIdRequest);
    EXPECT_EQ(state.NewHeadId, 20);
  }
  {
    HeadIdDialog d(state, true, window.get());
    EXPECT_EQ(d.windowTitle().toStdString(), "Program Sonar Head");
    d.SerialField()->setText("12345");  // not 0..9999: no programming
    d.DepthBox()->setCurrentIndex(1);
    d.PressOk();
    EXPECT_FALSE(state.ProgramHeadRequest);
  }
  {
    HeadIdDialog d(state, true, window.get());
    d.SerialField()->setText("0042");
    d.DepthBox()->setCurrentIndex(1);
    state.NewIdRequest = false;
    EXPECT_EQ(d.IdBox()->currentText().toStdString(), "3");  // the master head ID
    d.PressOk();
    EXPECT_TRUE(state.ProgramHeadRequest);
    EXPECT_TRUE(state.NewIdRequest) << "programming must be addressed to the answering head";
    EXPECT_EQ(state.ProgramSerialNumber, 42);
    EXPECT_EQ(state.ProgramDepthRating, 1);
  }
}

// "Program Sonar Head" opens with the serial number and depth rating the head
// reported in the scan; before any head answered, with the number last
// programmed and no rating.
TEST_F(AppTest, ProgramHeadStartsFromWhatTheHeadReported) {
  Open();
  {
    HeadIdDialog d(state, true, window.get());
    EXPECT_EQ(d.SerialField()->text().toStdString(), "0000");
    EXPECT_EQ(d.DepthBox()->currentIndex(), -1);
  }
  state.UpdateShown([](LinkShown& shown) {
    shown.ScanReplyValid = true;
    shown.ScanReply.fill(0);
    uint8_t* d = shown.ScanReply.data() + 12;  // the head's memory after the reply header
    d[0] = 3;
    d[6] = 1216 & 0x7F;
    d[7] = 1216 >> 7;
    d[10] = 1;  // 3000 Meters
  });
  HeadIdDialog d(state, true, window.get());
  EXPECT_EQ(d.SerialField()->text().toStdString(), "1216");
  EXPECT_EQ(d.DepthBox()->currentText().toStdString(), "3000 Meters");
}

TEST_F(AppTest, AboutBox) {
  Open();
  std::string title;
  window->SetDialogHook([&title](QDialog& d) { title = d.windowTitle().toStdString(); });
  window->OnCommand(100);
  EXPECT_EQ(title, "About WINQ47V");
  EXPECT_TRUE(state.SendRequest);
}

}  // namespace
