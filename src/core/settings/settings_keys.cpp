// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_keys.h"

#include <array>
#include <cstdio>

#include "settings/ini_file.h"

namespace {

using S = SettingsState;
constexpr const char* kSet = "Settings";
constexpr const char* kOm = "Orientation Module Settings";

constexpr SettingKey Int(const char* key, const char* def, int min, int max, int fallback,
                         AtomicInt S::*field, AtomicInt S::*head = nullptr,
                         const char* section = kSet) {
  return SettingKey{key,  section, KeyType::Int, def,     double(min), double(max),
                    {},   0,       double(fallback),      nullptr,     KeyRule::Plain,
                    field, head,   nullptr, nullptr, nullptr, nullptr};
}

constexpr SettingKey IntSet(const char* key, const char* def, std::array<int, 3> allowed,
                            int count, int fallback, AtomicInt S::*field,
                            AtomicInt S::*head = nullptr) {
  SettingKey k = Int(key, def, allowed[0], allowed[static_cast<std::size_t>(count - 1)],
                     fallback, field, head);
  for (int i = 0; i < count; ++i) k.allowed[i] = allowed[static_cast<std::size_t>(i)];
  k.allowed_count = count;
  return k;
}

constexpr SettingKey Float(const char* key, const char* def, double min, double max,
                           double fallback, const char* format, AtomicFloat S::*field,
                           AtomicFloat S::*head = nullptr, const char* section = kSet,
                           KeyRule rule = KeyRule::Plain) {
  return SettingKey{key,     section, KeyType::Float, def,   min,     max,
                    {},      0,       fallback,       format, rule,   nullptr,
                    nullptr, field,   head,           nullptr, nullptr};
}

constexpr SettingKey Text(const char* key, const char* def, KeyRule rule, SharedText S::*field,
                          SharedText S::*head = nullptr) {
  return SettingKey{key,     kSet,    KeyType::Text, def,     0,     0,    {},   0, 0,
                    nullptr, rule,    nullptr,       nullptr, nullptr, nullptr, field, head};
}

constexpr SettingKey WithRule(SettingKey k, KeyRule rule) {
  k.rule = rule;
  return k;
}

const SettingKey kKeys[] = {
    Text("UserText", "Quorvane Technology Corp.", KeyRule::UserText, &S::UserText, &S::UserTextHead),
    Int("ComPort", "0", 0, 7, 0, &S::ComPort),
    Int("ComPortGPS", "1", 0, 7, 1, &S::ComPortGPS),
    Int("GPSBaudRate", "0", 0, 5, 0, &S::GPSBaudRate),
    Int("Grid", "1", 0, 1, 1, &S::Grid),
    Int("Colors", "0", 0, 8, 0, &S::Colors),
    Int("Xdcr", "0", 0, 1, 0, &S::Xdcr, &S::XdcrHead),
    Int("Range", "9", SettingsState::RangeIndexMin, SettingsState::RangeIndexMax, 9, &S::Range,
        &S::RangeHead),
    Int("RunMode", "0", 0, 1, 0, &S::RunMode),
    Int("GridMode", "1", 0, 2, 1, &S::GridMode, &S::GridModeHead),
    IntSet("SSTrain", "0", {0, 2, 0}, 2, 0, &S::SSTrain),
    Int("Gain", "6", 0, 40, 6, &S::Gain, &S::GainHead),
    Int("Speed", "2", 0, 4, 2, &S::Speed, &S::SpeedHead),
    Int("SectorSectorSize", "180", 0, 180, 180, &S::SectorSectorSize),
    Int("PolarSectorSize", "360", 0, 360, 360, &S::PolarSectorSize),
    Int("PulseLength", "100", 10, 1000, 100, &S::PulseLength, &S::PulseLengthHead),
    Int("Train", "0", 0, 359, 0, &S::Train, &S::TrainHead),
    Int("RangeOffset", "0", 0, 100, 0, &S::RangeOffset, &S::RangeOffsetHead),
    Int("LogF", "1", 0, 3, 1, &S::LogF, &S::LogFHead),
    Int("Absorption", "20", 1, 255, 20, &S::Absorption, &S::AbsorptionHead),
    IntSet("DataBits", "8", {4, 8, 16}, 3, 8, &S::DataBits, &S::DataBitsHead),
    Int("Profile", "0", 0, 4, 0, &S::Profile),
    Int("PixelZoom", "1", 0, 1, 1, &S::PixelZoom),
    Int("Units", "0", 0, 1, 0, &S::Units),
    Float("SoundVelocityMeters", "1500.0", 750.0, 2250.0, 1500.0, "%06.1f",
          &S::SoundVelocityMeters, &S::SoundVelocityMetersHead),
    Int("IOCard", "1", 0, 1, 1, &S::IOCard),
    Int("ProfileGrid", "0", 0, 1, 0, &S::ProfileGrid),
    Int("ZeroDown", "1", 0, 1, 1, &S::ZeroDown),
    Int("OnWhenMinimized", "1", 0, 1, 1, &S::OnWhenMinimized),
    Int("UseGPS", "0", 0, 1, 0, &S::UseGPS),
    Int("GPSType", "1", 0, 1, 1, &S::GPSType),
    Int("SwitchDelay", "10", 0, 500, 10, &S::SwitchDelay),
    Int("SendDelay", "0", 0, 500, 0, &S::SendDelay),
    Int("TxDelay", "10", 0, 100, 10, &S::TxDelay),
    Int("PlotSpeed", "80", 0, 100, 80, &S::PlotSpeed),
    WithRule(Int("Frequency", "675", SettingsState::FrequencyMin, SettingsState::FrequencyMax,
                 675, &S::Frequency),
             KeyRule::Frequency),
    Int("ConfigType", "1", 0, 1, 1, &S::ConfigType),
    Text("ConfigFile", "Default", KeyRule::ConfigFile, &S::ConfigFile),
    Float("ProfileChainage", "0.0", 0, 0, 0.0, "%4.2f", &S::ProfileChainage,
          &S::ProfileChainageHead, kSet, KeyRule::AnyFloat),
    Float("ProfileElevation", "0.0", 0, 0, 0.0, "%4.2f", &S::ProfileElevation,
          &S::ProfileElevationHead, kSet, KeyRule::AnyFloat),
    Float("ProfileXOffset", "0.0", 0, 0, 0.0, "%4.2f", &S::ProfileXOffset,
          &S::ProfileXOffsetHead, kSet, KeyRule::AnyFloat),
    Float("ProfileDredgeDepth", "0.0", 0, 0, 0.0, "%4.2f", &S::ProfileDredgeDepth,
          &S::ProfileDredgeDepthHead, kSet, KeyRule::AnyFloat),
    Int("ProfileDigitizationSource", "0", 0, 1, 0, &S::ProfileDigitizationSource),
    Int("ProfileDetectionType", "0", 0, 1, 0, &S::ProfileDetectionType),
    Float("ProfileMinimumRange", "0.0", 0.0, 25.0, 0.0, "%4.1f", &S::ProfileMinimumRange,
          nullptr, kSet, KeyRule::ProfileMinimumRange),
    Int("ProfileMinimumLevel", "70", 10, 90, 70, &S::ProfileMinimumLevel),
    Int("AutoProfileXYZ", "1", 0, 1, 1, &S::AutoProfileXYZ),
    Int("AutoProfileBMP", "1", 0, 1, 1, &S::AutoProfileBMP),
    Int("AutoProfileSaveConfirmation", "1", 0, 1, 1, &S::AutoProfileSaveConfirmation),
    Int("AutoProfilePromptForScan", "1", 0, 1, 1, &S::AutoProfilePromptForScan),
    Int("AzimuthDriveEnable", "0", 0, 1, 0, &S::AzimuthDriveEnable),
    Int("SimulateAzimuthDrive", "0", 0, 1, 0, &S::SimulateAzimuthDrive),
    Int("AzimuthWindow", "0", 0, 1, 0, &S::AzimuthWindow),
    Int("AzimuthAngle", "600", 0, 1199, 600, &S::AzimuthAngle),
    Int("AutoAzimuthXYZ", "1", 0, 1, 1, &S::AutoAzimuthXYZ),
    Int("AutoAzimuthStartAngle", "600", 0, 1199, 600, &S::AutoAzimuthStartAngle),
    Int("AutoAzimuthStopAngle", "500", 0, 1199, 500, &S::AutoAzimuthStopAngle),
    Int("AutoAzimuthIncAngle", "100", 0, 1199, 100, &S::AutoAzimuthIncAngle),
    Float("AzimuthPitchOffset", "0.0", -30.0, 30.0, 0.0, "%3.1f", &S::AzimuthPitchOffset,
          &S::AzimuthPitchOffsetHead),
    Float("AzimuthRollOffset", "0.0", -30.0, 30.0, 0.0, "%3.1f", &S::AzimuthRollOffset,
          &S::AzimuthRollOffsetHead),
    Float("AzimuthHeadingOffset", "0.0", -180.0, 180.0, 0.0, "%3.1f", &S::AzimuthHeadingOffset,
          &S::AzimuthHeadingOffsetHead),
    Float("VerticalAngleOffset", "0.0", -180.0, 180.0, 0.0, "%3.1f", &S::VerticalAngleOffset,
          &S::VerticalAngleOffsetHead),
    Int("XYZTimestamp", "1", 0, 1, 1, &S::XYZTimestamp),
    Int("XYZLatLongElevation", "1", 0, 1, 1, &S::XYZLatLongElevation),
    Int("XYZRangeHorVer", "1", 0, 1, 1, &S::XYZRangeHorVer),
    Int("EnableOrientationModule", "1", 0, 1, 1, &S::EnableOrientationModule, nullptr, kOm),
    Int("XYZPitchRollHeading", "1", 0, 1, 1, &S::XYZPitchRollHeading, nullptr, kOm),
    Float("OrientationPitchOffset", "0.0", -30.0, 30.0, 0.0, "%3.1f", &S::OrientationPitchOffset,
          &S::OrientationPitchOffsetHead, kOm),
    Float("OrientationRollOffset", "0.0", -30.0, 30.0, 0.0, "%3.1f", &S::OrientationRollOffset,
          &S::OrientationRollOffsetHead, kOm),
    Float("OrientationHeadingOffset", "0.0", -180.0, 180.0, 0.0, "%3.1f",
          &S::OrientationHeadingOffset, &S::OrientationHeadingOffsetHead, kOm),
};

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

const SettingKey* FindSettingKey(std::string_view key) {
  for (const SettingKey& k : kKeys)
    if (IniNamesEqual(k.key, key)) return &k;
  return nullptr;
}

std::string AcceptedText(const SettingKey& key) {
  switch (key.rule) {
    case KeyRule::UserText: return "any text, up to 79 characters";
    case KeyRule::ConfigFile: return "any path";
    case KeyRule::AnyFloat: return "any number from -3.4e38 to 3.4e38";
    case KeyRule::ProfileMinimumRange: return "0.0 to 25.0 (metres) or 0.0 to 82.0 (feet)";
    default: break;
  }
  if (key.allowed_count > 0) {
    std::string out;
    for (int i = 0; i < key.allowed_count; ++i) {
      if (i) out += ", ";
      out += std::to_string(key.allowed[i]);
    }
    return out;
  }
  if (key.type == KeyType::Int && key.max - key.min == 1)
    return Number(key.min) + ", " + Number(key.max);
  if (key.type == KeyType::Float) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f to %.1f", key.min, key.max);
    return buf;
  }
  return Number(key.min) + " to " + Number(key.max);
}
