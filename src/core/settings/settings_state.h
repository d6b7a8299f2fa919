// SPDX-License-Identifier: GPL-3.0-or-later
// The persistent settings of WINQ47V.INI, each in a field named by its key, with the
// head copies (`...Head`) of the settings that playback overwrites. The GUI thread
// writes them while the comm thread reads them, so every field is atomic (or a
// SharedText); a packet built during a change carries the old or the new value.
// The user configuration tables (UserConfigState) are the main thread's alone.
// The key table with defaults, accepted values and formats is settings_keys.cpp.
#pragma once

#include <array>
#include <atomic>

#include "settings/shared_text.h"
#include "settings/user_config_table.h"

using AtomicInt = std::atomic<int>;
using AtomicFloat = std::atomic<float>;

// The range in metres of each range index (`Range`, 0..14).
inline constexpr std::array<int, 15> kRangeMetres{1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 60, 80, 100, 150, 200};

struct SettingsState : UserConfigState {
  // Section "Settings", in the order of the file.
  SharedText UserText{"Quorvane Technology Corp."};
  SharedText UserTextHead{"Quorvane Technology Corp."};
  AtomicInt ComPort{0};
  AtomicInt ComPortGPS{1};
  AtomicInt GPSBaudRate{0};
  AtomicInt Grid{1};
  AtomicInt Colors{0};
  AtomicInt Xdcr{0};
  AtomicInt XdcrHead{0};
  AtomicInt Range{9};
  AtomicInt RangeHead{9};
  AtomicInt RunMode{0};
  AtomicInt GridMode{1};
  AtomicInt GridModeHead{1};
  AtomicInt SSTrain{0};
  AtomicInt Gain{6};
  AtomicInt GainHead{6};
  AtomicInt Speed{2};
  AtomicInt SpeedHead{2};
  AtomicInt SectorSectorSize{180};
  AtomicInt PolarSectorSize{360};
  AtomicInt PulseLength{100};
  AtomicInt PulseLengthHead{100};
  AtomicInt Train{0};
  AtomicInt TrainHead{0};
  AtomicInt RangeOffset{0};
  AtomicInt RangeOffsetHead{0};
  AtomicInt LogF{1};
  AtomicInt LogFHead{1};
  AtomicInt Absorption{20};
  AtomicInt AbsorptionHead{20};
  AtomicInt DataBits{8};
  AtomicInt DataBitsHead{8};
  AtomicInt Profile{0};
  AtomicInt PixelZoom{1};
  AtomicInt Units{0};
  AtomicFloat SoundVelocityMeters{1500.0f};
  AtomicFloat SoundVelocityMetersHead{1500.0f};
  AtomicInt IOCard{1};
  AtomicInt ProfileGrid{0};
  AtomicInt ZeroDown{1};
  AtomicInt OnWhenMinimized{1};
  AtomicInt UseGPS{0};
  AtomicInt GPSType{1};
  AtomicInt SwitchDelay{10};
  AtomicInt SendDelay{0};
  AtomicInt TxDelay{10};
  AtomicInt PlotSpeed{80};
  AtomicInt Frequency{675};
  AtomicInt ConfigType{1};
  SharedText ConfigFile{"Default"};
  AtomicFloat ProfileChainage{0.0f};
  AtomicFloat ProfileChainageHead{0.0f};
  AtomicFloat ProfileElevation{0.0f};
  AtomicFloat ProfileElevationHead{0.0f};
  AtomicFloat ProfileXOffset{0.0f};
  AtomicFloat ProfileXOffsetHead{0.0f};
  AtomicFloat ProfileDredgeDepth{0.0f};
  AtomicFloat ProfileDredgeDepthHead{0.0f};
  AtomicInt ProfileDigitizationSource{0};
  AtomicInt ProfileDetectionType{0};
  AtomicFloat ProfileMinimumRange{0.0f};
  AtomicInt ProfileMinimumLevel{70};
  AtomicInt AutoProfileXYZ{1};
  AtomicInt AutoProfileBMP{1};
  AtomicInt AutoProfileSaveConfirmation{1};
  AtomicInt AutoProfilePromptForScan{1};
  AtomicInt AzimuthDriveEnable{0};
  AtomicInt SimulateAzimuthDrive{0};
  AtomicInt AzimuthWindow{0};
  AtomicInt AzimuthAngle{600};
  AtomicInt AutoAzimuthXYZ{1};
  AtomicInt AutoAzimuthStartAngle{600};
  AtomicInt AutoAzimuthStopAngle{500};
  AtomicInt AutoAzimuthIncAngle{100};
  AtomicFloat AzimuthPitchOffset{0.0f};
  AtomicFloat AzimuthPitchOffsetHead{0.0f};
  AtomicFloat AzimuthRollOffset{0.0f};
  AtomicFloat AzimuthRollOffsetHead{0.0f};
  AtomicFloat AzimuthHeadingOffset{0.0f};
  AtomicFloat AzimuthHeadingOffsetHead{0.0f};
  AtomicFloat VerticalAngleOffset{0.0f};
  AtomicFloat VerticalAngleOffsetHead{0.0f};
  AtomicInt XYZTimestamp{1};
  AtomicInt XYZLatLongElevation{1};
  AtomicInt XYZRangeHorVer{1};

  // Section "Orientation Module Settings".
  AtomicInt EnableOrientationModule{1};
  AtomicInt XYZPitchRollHeading{1};
  AtomicFloat OrientationPitchOffset{0.0f};
  AtomicFloat OrientationPitchOffsetHead{0.0f};
  AtomicFloat OrientationRollOffset{0.0f};
  AtomicFloat OrientationRollOffsetHead{0.0f};
  AtomicFloat OrientationHeadingOffset{0.0f};
  AtomicFloat OrientationHeadingOffsetHead{0.0f};

  // Where LoadSettings found WINQ47V.INI; SaveSettings writes to the same path.
  SharedText SettingsPath;

  // Written only: the ID of the head that normal pings address; 0x10 at every start.
  AtomicInt MasterHeadID{0x10};

  // Derived while loading.
  AtomicInt HeadBaudIndex{5};       // head link always 115200 bit/s
  AtomicInt PreviousRunMode{0};     // lets the main window notice a run-mode change
  AtomicInt SectorSize{360};        // sector in use: by GridMode from the two sizes above
  AtomicInt SectorSizeHead{360};
  AtomicInt ProfileMenu{0};         // profile mode checked in the Profile menu
  AtomicInt ProfileImaging{0};      // its copy read by imaging

  // Limits used by loading, the range buttons, the configuration and the dialogs.
  static constexpr int RangeIndexMin = 0;
  static constexpr int RangeIndexMax = 14;
  static constexpr int FrequencyMin = 280;
  static constexpr int FrequencyMax = 1100;
};
