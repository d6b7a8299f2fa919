// SPDX-License-Identifier: GPL-3.0-or-later
// Auto-profile: the end-of-sweep check, the after-scan actions (save question,
// .XYZ file, capture, the prompt for another scan, the auto-azimuth step), the
// scan dialogs' effects and the .XYZ file's life. All of it runs on the comm
// thread, between pings; the dialogs are asked through OutputsDisplay.
#pragma once

#include <string>

struct AppState;
class Display;
class Clock;
struct SnapshotForm;
struct SnapshotAnswer;
struct AzimuthForm;
struct AzimuthAnswer;

inline constexpr const char* kAutoProfileTitle = "Auto-Profile";
inline constexpr const char* kSaveProfileText = "Save This Profile?";
inline constexpr const char* kVerticalScanTitle = "Auto-Profile (Vertical Scan)";
inline constexpr const char* kHorizontalScanTitle = "Auto-Profile (Horizontal Scan)";
inline constexpr const char* kAdjustingTransducerText = "Wait - Adjusting Transducer";

// One turn of the comm thread after its reply step: advance a running scan when a
// reply was accepted, then the scan dialogs the menu asked for.
void OutputsTurn(AppState& state, Display& display, const Clock& clock, bool accepted);

// Ends a sweep when the head turned (sector) or passed step 0 (full circle) and
// runs the after-scan actions.
void CheckScanComplete(AppState& state, Display& display, const Clock& clock);
void AfterScanActions(AppState& state, Display& display, const Clock& clock);

// The scan dialogs: what they show, and what their answer does.
SnapshotForm MakeSnapshotForm(AppState& state, bool vertical);
void ApplySnapshotAnswer(AppState& state, Display& display, const SnapshotAnswer& answer, bool vertical);
void RunSnapshotDialog(AppState& state, Display& display, bool vertical);
AzimuthForm MakeAzimuthForm(const AppState& state);
void ApplyAzimuthAnswer(AppState& state, Display& display, const Clock& clock, const AzimuthAnswer& answer);
void RunAutoAzimuthDialog(AppState& state, Display& display, const Clock& clock);

// Where a sweep of the scan starts, as a head position: the lower limit of the
// sector in use (a full circle from the train's back), the picture's rotation
// left out, since the head's positions do not turn with the picture.
int ScanStartPosition(const AppState& state);

// A fresh scan: no points, the image cleared, the head awaited at the sweep start.
void StartFreshScan(AppState& state, Display& display);

// Creates the next dated .XYZ file of `date_text` ("14-MAR-2024") in the working
// directory; true when a file is open.
bool OpenXyzFile(AppState& state, Display& display, const std::string& date_text, const char* caption);
void CloseXyzFile(AppState& state, Display& display, const char* caption);

// An auto-azimuth run that cannot go on (the data source switched to a file): it
// ends as after its last angle, its file closed whole and "Scan complete." told.
// Nothing happens when no run is active.
void EndAutoAzimuthRun(AppState& state, Display& display);
// The program closes: a run's .XYZ file, kept open across stops of the link,
// is closed whole.
void CloseSurveyFile(AppState& state, Display& display);

// Surveys re-made from a recording: the player calls these around its steps.
// The scan starts as if the dialog's Ok had been pressed just before the record
// now restored (XYZ files on; captures and the save question off); sweeps then end
// exactly as live. With `prompt` every sweep is followed by the prompt for another
// scan answered Ok (the next scan starts afresh at the next sweep start), as in a
// survey run with the prompt on or a payout increment; the elevation it lowered
// comes from the records.
void StartReplayProfile(AppState& state, Display& display, bool vertical, bool prompt = false);
// An auto-azimuth run over the whole recording into one file dated `date_text`:
// the drive positions come from the records, so the run never steps the drive.
// False when the file could not be created.
bool StartReplayAzimuth(AppState& state, Display& display, const std::string& date_text);
// After a record's header is restored: the units and the drive position it
// carries take effect as they were when it was recorded.
void AdoptRecordedSurveySettings(AppState& state);
// After each record whose reply was accepted (the comm thread's turn).
void ReplaySurveyTurn(AppState& state, Display& display, const Clock& clock);
// The end of the recording: an auto-azimuth file is closed whole.
void FinishReplaySurvey(AppState& state, Display& display);

// The date of the clock as the status panel shows it ("14-MAR-2024").
std::string DateText(const Clock& clock);
