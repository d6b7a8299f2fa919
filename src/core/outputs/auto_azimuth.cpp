// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/auto_azimuth.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "display.h"
#include "app_state.h"

namespace {

constexpr double kStepsPerDegree = 3.3333333333333334566;

// Seconds per 360-degree sweep by range index (rows) and speed (columns).
constexpr std::array<std::array<float, 5>, 15> kSweepTable{{
    {33.6f, 16.8f, 11.2f, 8.4f, 6.7f},     {34.8f, 17.4f, 11.6f, 8.7f, 7.0f},
    {37.2f, 18.6f, 12.4f, 9.3f, 7.2f},     {38.4f, 19.2f, 12.8f, 9.6f, 7.5f},
    {42.0f, 21.0f, 14.0f, 10.5f, 7.8f},    {49.2f, 24.6f, 16.4f, 12.3f, 8.8f},
    {66.0f, 33.0f, 22.0f, 16.5f, 10.8f},   {81.6f, 40.8f, 27.2f, 20.4f, 12.7f},
    {97.2f, 48.6f, 32.4f, 24.3f, 14.8f},   {114.0f, 57.0f, 38.0f, 28.5f, 16.8f},
    {129.6f, 64.8f, 43.2f, 32.4f, 18.9f},  {162.0f, 81.0f, 54.0f, 40.5f, 22.8f},
    {194.4f, 97.2f, 64.8f, 48.6f, 27.0f},  {274.8f, 137.4f, 91.6f, 68.7f, 36.9f},
    {355.2f, 177.6f, 118.4f, 88.8f, 47.0f},
}};
constexpr std::array<std::array<float, 5>, 15> kSweepTablePoints{{
    {18.0f, 9.0f, 6.0f, 4.5f, 3.5f},       {18.0f, 9.0f, 6.0f, 4.5f, 3.6f},
    {18.0f, 9.0f, 6.0f, 4.8f, 3.9f},       {18.0f, 9.0f, 6.0f, 5.1f, 4.0f},
    {18.0f, 9.0f, 6.8f, 5.7f, 4.4f},       {22.8f, 12.6f, 9.2f, 7.8f, 5.4f},
    {39.6f, 20.4f, 14.8f, 11.7f, 7.4f},    {55.2f, 28.8f, 20.0f, 15.9f, 9.5f},
    {72.0f, 36.6f, 25.6f, 20.1f, 11.4f},   {87.6f, 44.4f, 30.8f, 24.0f, 13.5f},
    {104.4f, 52.8f, 36.0f, 27.9f, 15.5f},  {135.6f, 68.4f, 46.8f, 36.0f, 19.5f},
    {168.0f, 84.6f, 57.6f, 44.1f, 23.5f},  {248.4f, 124.8f, 84.4f, 63.9f, 33.5f},
    {328.8f, 165.0f, 111.2f, 84.0f, 43.7f},
}};

std::string Format1(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5.1f", v);
  return buf;
}

}  // namespace

double ShownAzimuth(int steps) {
  double v = steps * 0.3 - 180.0;
  if (v < 0) v += 360.0;
  if (v >= 360.0) v = 0.0;
  return v;
}

std::string ShownAzimuthText(int steps) { return Format1(ShownAzimuth(steps)); }
std::string IncrementText(int steps) { return Format1(steps * 0.3); }

int AzimuthSteps(double degrees) {
  if (degrees >= 180.0) degrees -= 360.0;
  const int steps = static_cast<int>((degrees + 180.0) * kStepsPerDegree + 0.5);
  return std::clamp(steps, 0, 1199);
}

int IncrementSteps(double degrees) {
  degrees = std::clamp(degrees, 0.3, 180.0);
  return std::clamp(static_cast<int>(degrees * kStepsPerDegree + 0.5), 1, 600);
}

int TotalSweep(int start_steps, int stop_steps) {
  if (start_steps == stop_steps) return 1200;
  int total = stop_steps - start_steps;
  if (stop_steps < start_steps) total += 1200;
  return total;
}

std::vector<std::string> CheckAzimuthAngles(double start, double stop, double increment) {
  std::vector<std::string> messages;
  const bool start_ok = start >= 0 && start < 359.8;
  if (!start_ok) messages.emplace_back(kStartAngleMessage);
  bool stop_ok = true;
  if (stop >= 359.8 || (stop < 0 && start_ok)) {
    stop_ok = false;
    messages.emplace_back(kStopAngleMessage);
  }
  if (increment > 180.0 || (increment < 0.3 && start_ok && stop_ok)) messages.emplace_back(kIncrementAngleMessage);
  return messages;
}

double SweepSeconds(int range_index, int speed, bool points_only) {
  const auto r = static_cast<std::size_t>(std::clamp(range_index, 0, 14));
  const auto s = static_cast<std::size_t>(std::clamp(speed, 0, 4));
  return points_only ? kSweepTablePoints[r][s] : kSweepTable[r][s];
}

std::string EstimateScanTime(double start, double stop, double increment, double sweep_seconds, int sector) {
  if (increment <= 0) increment = 0.3;
  const double n = start <= stop ? (stop - start) / increment : (360.0 - start + stop) / increment;
  const double t = (sector * sweep_seconds * (1.0 / 360.0) + 0.0534 + 0.0175) * n;
  char buf[64];
  if (t <= 60) {
    std::snprintf(buf, sizeof buf, "%d sec", static_cast<int>(t + 0.5));
    return buf;
  }
  const double m = t / 60.0;
  if (m <= 60) {
    std::snprintf(buf, sizeof buf, "%d min", static_cast<int>(m + 0.5));
    return buf;
  }
  const int h = static_cast<int>(m / 60.0);
  const int minutes = static_cast<int>((m / 60.0 - h) * 60.0 + 0.5);
  std::snprintf(buf, sizeof buf, h < 2 ? "%d hr %d min" : "%d hrs %d min", h, minutes);
  return buf;
}

void StepAzimuth(AppState& state, Display& display) {
  int angle;
  if (state.AutoAzimuthFirstStep.exchange(0) != 0) {
    angle = state.AutoAzimuthStartAngle.load();
  } else {
    angle = state.AzimuthAngle.load() + state.AutoAzimuthIncAngle.load();
  }
  if (angle >= 1200) angle -= 1200;
  state.AzimuthAngle = angle;
  state.AzimuthMoveRequest = true;
  if (state.AzimuthWindow.load() == 1) display.AzimuthWindowChanged();
}

bool AdvanceAzimuth(AppState& state) {
  const int accumulated = state.AutoAzimuthAccumulated.load() + state.AutoAzimuthIncAngle.load();
  state.AutoAzimuthAccumulated = accumulated;
  if (accumulated > state.AutoAzimuthTotalSweep.load()) {
    state.AutoAzimuthEnabled = 0;
    state.AutoProfileScanActive = false;
    return false;
  }
  return true;
}
