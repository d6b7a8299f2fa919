// SPDX-License-Identifier: GPL-3.0-or-later
// GPS input: the receiver on the GPS port, its reader thread and the NMEA sentences
// it turns into the position and time texts that the read-out, the recorder and
// the profile points use. This file: the GPS run-time fields of AppState.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

class GpsReader;

// One consistent set of values taken from the last GLL or GGA sentence.
struct GpsData {
  // 24 characters (latitude in 0..11, longitude in 12..23) and a NUL.
  std::array<char, 25> GpsPositionText{};
  // "hh:mm:ss.hh" and a NUL; empty until a GGA sentence arrives.
  std::array<char, 12> GpsTimeText{};
  int GpsFixQuality = 0;
  int GpsSatellites = 0;
  float GpsHdop = 0.0f;
  float GpsAltitude = 0.0f;
  float GpsAfterAltitude = 0.0f;
  char GpsLatHemisphere = 0;
  char GpsLonHemisphere = 0;
};

struct GpsState {
  // Run flag of the reader thread: the result of configuring the port.
  std::atomic<int> GpsThreadRunning{0};
  // Seconds since the last GLL/GGA sentence of the selected type was taken.
  std::atomic<int> GpsAge{0};
  // Toggles at every draw of a position: shows the "*" mark.
  std::atomic<int> GpsBlink{0};
  // The port probe found the GPS port.
  std::atomic<int> GpsPortAvailable{0};
  // Bytes taken from the port, and those discarded in playback or with Hold on.
  std::atomic<long> GpsBytesRead{0};
  std::atomic<long> GpsBytesDiscarded{0};

  // The texts and values, written by the reader thread, read by the display, the
  // recorder and the profile points. The lock replaces a polled busy flag.
  GpsData GpsSnapshot() const {
    std::lock_guard lock(GpsDataMutex);
    return GpsCurrent;
  }
  void SetGpsData(const GpsData& data) {
    std::lock_guard lock(GpsDataMutex);
    GpsCurrent = data;
  }
  void ClearGpsData() { SetGpsData(GpsData{}); }

  // The open port and its reader thread (main thread only: open, start, close).
  std::shared_ptr<GpsReader> GpsPortHandle;

 private:
  mutable std::mutex GpsDataMutex;
  GpsData GpsCurrent;
};
