// SPDX-License-Identifier: GPL-3.0-or-later
// Run-time fields of the head link (command packet, reply and PingData, head scan,
// azimuth drive, orientation module), part of AppState. The comm thread's own
// lifecycle fields live in CommState.
//
// Threads: the command buffer, the reply buffer and `Ping` belong to the thread that
// sends and decodes (the comm thread live, the main thread in playback; never both
// at once). Everything the GUI or another thread reads is either atomic or reached
// through the lock-guarded snapshot (`PublishShown` / `Shown()`), which the decoder
// refreshes after every accepted reply.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "clock.h"

// Sizes of the link buffers.
inline constexpr int kHeadCommandLength = 27;       // bytes sent
inline constexpr int kHeadCommandBufferSize = 33;   // 27 + 6 spare bytes, zeroed on each build
inline constexpr int kLongestReply = 513;
inline constexpr int kReplyBufferSize = 640;        // longest reply plus slack
inline constexpr int kReplyHeaderLength = 12;
inline constexpr int kPingSampleCapacity = 640;     // >= 99 blanked + 504 unpacked samples
inline constexpr int kScanReplyLength = 77;         // "T" reply: 12 header + 64 nv_ram + 0xFC

// Which device the last command went to.
enum class CommandTarget : int { SonarHead = 0, OrientationModule = 1, AzimuthDrive = 2 };

// The decoded sonar ping.
struct PingData {
  bool Decoded = false;                                  // a sonar reply has been decoded since start
  char ReplyType = 0;                                    // kind letter of this ping ("G", "M", "P", "T")
  std::array<std::uint8_t, kReplyHeaderLength> ReplyHeader{};  // reply bytes 0..11
  int ReplyHeadId = 0;                                   // byte 3
  int HeadStatus = 0;                                    // byte 4
  int HeadPosition = 600;                                // 0..1200, after the >1200 rule and mirroring
  int StepDirection = 0;                                 // bit 6 of byte 6
  int ImageFlip = 0;                                     // direction bit after the flip rules
  int RangeMetres = 0;                                   // byte 7
  int ProfileRangeCode = 0;                              // bytes 8, 9 (7+7)
  int DataByteCount = 0;                                 // bytes 10, 11 (7+7)
  int BlankSamples = 0;                                  // leading samples cleared, 0..99
  float BlankDistance = 0.0f;                            // metres, >= 0
  int ProfileSampleIndex = 0;                            // 0 = no profile point
  float BeamAngleRad = 0.0f;
  float BeamAngleDeg = 0.0f;
  std::array<std::uint8_t, kPingSampleCapacity> Samples{};  // levels 0..107
  int SampleCount = 250;                                 // samples used for imaging
  int Termination = 0;                                   // last reply byte
  std::string RepRateText;                               // "%d ms", mean time between replies
  LocalTime PingTime{};                                  // clock at acceptance (live mode)
};

// The last azimuth drive reply as shown (diagnostics window).
struct AzimuthReplyCopy {
  bool Decoded = false;
  std::array<std::uint8_t, kReplyHeaderLength> Header{};
  int Id = 0;
  int Status = 0;
  int Position = 600;
  int Termination = 0;
  bool TiltPresent = false;
  float Pitch = 0.0f;
  float Roll = 0.0f;
  float Heading = 0.0f;
};

// What other threads see of the link: copies taken under one lock.
struct LinkShown {
  PingData Ping;
  AzimuthReplyCopy Azimuth;
  bool ScanReplyValid = false;                           // ScanReply holds a "T" reply
  std::array<std::uint8_t, kScanReplyLength> ScanReply{};
};

struct LinkState {
  // --- Command packet -------------------------------------------------------
  // Rebuilt in place before each send; a byte a builder does not write keeps the
  // value of the previous packet (byte 19 in Profile mode).
  std::array<std::uint8_t, kHeadCommandBufferSize> HeadCommand{};
  std::atomic<int> LastTrainCode{60};        // train code of the last normal packet (imaging)
  std::atomic<int> RangeInUseMetres{50};     // range of the last normal packet
  std::atomic<int> GainSent{6};
  std::atomic<int> SpeedSent{2};
  std::atomic<int> LastCommandTarget{static_cast<int>(CommandTarget::SonarHead)};

  // One-shot requests: set by the main thread, consumed by the next packet.
  std::atomic<bool> SendRequest{false};
  std::atomic<bool> ReverseRequest{false};   // cleared by the next normal packet
  std::atomic<bool> CalibrateRequest{false}; // cleared by the next normal packet
  std::atomic<bool> NewIdRequest{false};     // consumed by the next scan packet
  std::atomic<int> NewHeadId{16};            // 16..31
  std::atomic<bool> ProgramHeadRequest{false};
  std::atomic<int> ProgramSerialNumber{0};   // 0..9999
  std::atomic<int> ProgramDepthRating{0};    // 0 "1000 Meters", 1 "3000 Meters"

  // Fixed-angle command: the next send re-sends the last packet with byte 11 set to
  // this train code, byte 12 to 0 and byte 13 to 1 (auto-profile, auto-azimuth).
  std::atomic<bool> FixedAnglePending{false};
  std::atomic<int> FixedAngleTrainCode{60};

  std::atomic<bool> HoldActive{false};             // panel "Hold"
  std::atomic<bool> AutoProfileScanActive{false};  // an auto-profile scan runs
  std::atomic<int> ScanSectorExtension{3};         // degrees added during auto-profile scans

  // --- Head scan (head-ID scan and programming) -----------------------------
  std::atomic<bool> HeadScanActive{false};
  std::atomic<int> ScanId{16};                     // ID under test, 16..31
  std::atomic<bool> ScanReplySeen{false};          // a "T" reply arrived since the last second
  std::atomic<int> ScanCommandsUnanswered{-1};     // -1 at scan start
  std::atomic<int> AnsweredHeadId{16};             // reply byte 3 of the last sonar reply
  std::atomic<int> ShownAnsweredHeadId{0};

  // --- Azimuth drive and orientation module ---------------------------------
  std::atomic<bool> AzimuthPositioning{false};     // azimuth commands out, "A" awaited
  std::atomic<bool> AzimuthDriveFound{false};
  std::atomic<int> AzimuthPosition{600};
  std::atomic<bool> AzimuthTiltPresent{false};
  std::atomic<float> AzimuthPitch{0.0f};
  std::atomic<float> AzimuthRoll{0.0f};
  std::atomic<float> AzimuthHeading{0.0f};
  std::atomic<float> OrientationPitch{0.0f};
  std::atomic<float> OrientationRoll{0.0f};
  std::atomic<float> OrientationHeading{0.0f};
  std::atomic<int> OrientationUnanswered{5};       // queries without reply; 5 after a reset
  int OrientationLastSecond = -1;                  // local second of the last interleave check

  // --- Expected reply, set before each command ------------------------------
  std::atomic<char> ExpectedReplyType{'G'};
  std::atomic<int> ExpectedReplyLength{513};
  std::atomic<int> ExpectedSampleCount{499};
  std::atomic<int> RecordTypeCode{3};              // stored in the data file record
  std::atomic<int> ExpectedDataBits{8};            // sample width the command asked for

  // --- Reply buffer and decoding ----------------------------------------------
  std::array<std::uint8_t, kReplyBufferSize> ReplyBuffer{};
  // The last reply of the orientation module (comm thread): a recording that begins
  // in the middle of a run can start with it, so its pings have their attitude.
  std::array<std::uint8_t, kReplyBufferSize> LastOrientationReply{};
  int LastOrientationLength = 0;
  int LastOrientationTypeCode = -1;
  LocalTime LastOrientationTime{};
  PingData Ping;                                   // decoding thread only; see Shown()
  int LastRawHeadPosition = 600;                   // for the >1200 rule, before mirroring
  std::chrono::steady_clock::time_point LastReplyTime{};
  bool HaveLastReplyTime = false;
  int RepRateSumMs = 0;
  int RepRateCount = 0;
  std::atomic<bool> ReplyReceived{false};          // an accepted reply (auto-profile advances)
  std::atomic<bool> NewDataReady{false};           // a decoded ping waits for the display
  std::atomic<int> SpeedInUse{2};                  // speed shown with the last ping
  std::atomic<float> RotateAngle{0.0f};            // "Rotate Sonar Image", degrees, -180..180

  // --- Microsecond wait --------------------------------------------------------
  std::atomic<int> DelayCount{0};                  // clock reads per second (Diagnostics)

  // --- Snapshot for other threads --------------------------------------------
  // Copies `Ping` (and optionally the azimuth/scan copies) for readers on other threads.
  void PublishShown(const LinkShown& shown) {
    std::lock_guard lock(shown_lock_);
    shown_ = shown;
  }
  template <typename Fn>
  void UpdateShown(Fn&& fn) {
    std::lock_guard lock(shown_lock_);
    fn(shown_);
  }
  LinkShown Shown() const {
    std::lock_guard lock(shown_lock_);
    return shown_;
  }

 private:
  mutable std::mutex shown_lock_;
  LinkShown shown_;
};
