// SPDX-License-Identifier: GPL-3.0-or-later
// A headless display that records what the survey outputs asked for, in order, and
// answers the dialogs from scripted answers.
#pragma once

#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "display.h"
#include "imaging/profile_points.h"
#include "app_state.h"
#include "test_text.h"

struct RecordingDisplay : Display {
  std::vector<std::string> calls;
  std::vector<SnapshotForm> snapshot_forms;
  std::deque<SnapshotAnswer> snapshot_answers;
  std::vector<AzimuthForm> azimuth_forms;
  std::deque<AzimuthAnswer> azimuth_answers;
  std::vector<std::string> failures;
  bool save_answer = true;

  SnapshotAnswer AskSnapshot(const SnapshotForm& f) override {
    calls.push_back(f.Vertical ? "snapshot" : "snapshot2");
    snapshot_forms.push_back(f);
    if (snapshot_answers.empty()) return {};
    SnapshotAnswer a = snapshot_answers.front();
    snapshot_answers.pop_front();
    return a;
  }
  AzimuthAnswer AskAutoAzimuth(const AzimuthForm& f) override {
    calls.push_back("autoazimuth");
    azimuth_forms.push_back(f);
    if (azimuth_answers.empty()) return {};
    AzimuthAnswer a = azimuth_answers.front();
    azimuth_answers.pop_front();
    return a;
  }
  bool AskSaveProfile() override {
    calls.push_back("save?");
    return save_answer;
  }
  bool CaptureScan(const std::string& path) override {
    calls.push_back("capture " + path);
    std::ofstream(path) << "BM";
    return true;
  }
  void ShowScanComplete() override { calls.push_back("scan complete"); }
  void ShowOutputFailure(const std::string& text, const std::string& caption) override {
    calls.push_back("failure");
    failures.push_back(caption + ": " + text);
  }
  void SetVerticalScanMenu(bool enabled) override { calls.push_back(enabled ? "menu on" : "menu off"); }
  void ShowStatus(const std::string& text, const StatusColours&) override { calls.push_back("status " + text); }
};

// A profile point of a ping: range in metres, beam angle in degrees.
inline ProfilePoint MakePoint(float range, float beam, const char* date = "14-MAR-2024",
                              const char* time = "14:03:59.27") {
  ProfilePoint p{};
  std::memcpy(p.DateTime, date, std::strlen(date));
  std::memcpy(p.DateTime + 13, time, std::strlen(time));
  p.Range = range;
  p.BeamAngle = beam;
  return p;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

