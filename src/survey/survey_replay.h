// SPDX-License-Identifier: GPL-3.0-or-later
// The re-processing of a recording as a survey, shared by `q47v xyz` and
// `q47v export`: the file plays through the program's playback, reply decoding,
// ping processing and survey outputs as if auto-profile (or an auto-azimuth run)
// had been switched on just before its first record, and each complete sweep is
// handed over with the points and the settings the .XYZ writer used for it.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "imaging/profile_points.h"
#include "outputs/survey_plots.h"
#include "outputs/xyz_writer.h"

namespace q47v::survey {

struct ReplayOptions {
  std::string File;                 // the .47V recording
  std::string Ini;                  // settings file, empty: the defaults
  std::vector<std::string> Sets;    // KEY=VALUE overrides
  SurveyGeometry Geometry = SurveyGeometry::kVertical;
  bool Prompt = false;              // the survey ran with "Prompt for another scan"
  // Where the .XYZ files go; empty: none is written (the sweeps are the same).
  std::string XyzDirectory;
  std::string Verb = "xyz";         // for the messages ("q47v xyz: ...")
  // Where the messages go (notes, damage, failures); empty: standard error as
  // "q47v VERB: ...".
  std::function<void(const std::string&)> Message;
  // Called every few records with the bytes read and the file's length; false
  // stops the replay (Cancelled in the summary).
  std::function<bool(long long done, long long total)> Progress;
};

// One complete sweep, as the writer saw it.
struct ReplaySweep {
  int Number = 0;                          // 1, 2, ... in the recording
  std::span<const ProfilePoint> Points;    // the points written: 1 to N-2 of N
  // For each of Points: the GPS (UTC) time text of its ping, "hh:mm:ss.hh", or
  // empty when the ping's record carried none.
  std::vector<std::string> UtcTimes;
  // For each of Points: the recording carried the orientation module's replies
  // by the time of its ping.
  std::vector<bool> Oriented;
  XyzSettings Settings;
  int AzimuthSteps = 0;                    // the drive position of an azimuth sweep
  PlotInfo Info;                           // what the pictures say of the sweep
  std::string XyzPath;                     // vertical and horizontal: the file written, or empty
};

struct ReplaySummary {
  long Records = 0;
  long Sweeps = 0;
  long Files = 0;              // .XYZ files written
  long AzimuthPoints = 0;      // points in the azimuth file
  std::string AzimuthPath;     // the azimuth file, when one was written with sweeps in it
  PlotInfo AzimuthInfo;        // its pictures' caption
  bool Failed = false;         // a file could not be written (told)
  bool Cancelled = false;      // Progress asked to stop
};

// Plays the recording; `sweep` is called for every complete sweep, in order, and
// may return false to stop (reported as a failure). Returns 0, or the exit
// status of the failure: 1 a file that cannot be read or written, 2 a usage
// error (settings), with the message on stderr.
int ReplaySurvey(const ReplayOptions& options, const std::function<bool(const ReplaySweep&)>& sweep,
                 ReplaySummary& summary);

}  // namespace q47v::survey
