// SPDX-License-Identifier: GPL-3.0-or-later
// Playback, seek, reverse, end of file, copy and the texts of the file commands,
// over real files written by the recorder.
#include <gtest/gtest.h>

#include <cstring>

#include "file_fixtures.h"
#include "files/file_texts.h"
#include "files/playback.h"
#include "files/sonar_file.h"

namespace {

// Hooks that accept every reply and note the head position of each processed one.
struct CountingHooks {
  std::vector<int> positions;
  PlaybackHooks hooks;
  CountingHooks() {
    hooks.process_reply = [this](AppState&, std::span<uint8_t> reply, const ReplyExpectation&) {
      positions.push_back(((reply[6] & 0x3F) << 7) | (reply[5] & 0x7F));
      return true;
    };
  }
};

int PositionAt(const std::vector<uint8_t>& file, int64_t offset) {
  const uint8_t* r = file.data() + offset + 100;
  return ((r[6] & 0x3F) << 7) | (r[5] & 0x7F);
}

// The extension is checked in any case; the path is kept and shown as chosen,
// since a lower-cased "upper.47v" would name a file that does not exist.
TEST(PlaybackOpen, ExtensionCheckOnTheLowerCasedPath) {
  AppState state;
  RecordGFile("UPPER.47V", 2, state);
  RecordingFileDisplay display;
  EXPECT_TRUE(OpenPlayback(state, display, "UPPER.47V"));
  EXPECT_EQ(state.PlaybackFileName.get(), "UPPER.47V");
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar - Playback of UPPER.47V");
  WriteWholeFile("notes.txt", {'4', '7', 'V'});
  EXPECT_FALSE(OpenPlayback(state, display, "notes.txt"));
  ASSERT_EQ(display.messages.size(), 1u);
  EXPECT_EQ(display.messages[0].text, "File extension must be .47V");
  EXPECT_EQ(display.messages[0].caption, "Open a Sonar File For Playback");
  EXPECT_EQ(display.messages[0].icon, FileMessageIcon::kWarning);
  EXPECT_TRUE(state.PlaybackFileOpen);  // a refused name leaves the open file alone
}

TEST(PlaybackOpen, WrongMagicIsRefusedWithNoFileTitle) {
  AppState state;
  WriteWholeFile("bad.47v", {'4', '7', 'X', 0, 0, 0});
  RecordingFileDisplay display;
  EXPECT_FALSE(OpenPlayback(state, display, "bad.47v"));
  ASSERT_EQ(display.messages.size(), 1u);
  EXPECT_EQ(display.messages[0].text, "Data type is incorrect --> check file format");
  EXPECT_EQ(display.messages[0].caption, "Open a Sonar File For Playback");
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar - [No File]");
  EXPECT_FALSE(state.PlaybackFileOpen);
  EXPECT_EQ(display.opens, std::vector<bool>{false});
}

TEST(PlaybackOpen, ThreeByteFileOpensButEndsAtTheFirstStep) {
  AppState state;
  WriteWholeFile("tiny.47v", {'4', '7', 'V'});
  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "tiny.47v"));
  CountingHooks h;
  for (int i = 0; i < 3; ++i) {
    const PlaybackStepResult r = PlaybackStep(state, display, h.hooks);
    EXPECT_EQ(r.outcome, PlaybackOutcome::kEndOfFile);
  }
  EXPECT_TRUE(state.SkipNextRecord);
  EXPECT_TRUE(h.positions.empty());
  EXPECT_EQ(display.restarts, 3);
}

TEST(PlaybackStep, RestoresTheSettingsIntoTheWorkingFieldsOnly) {
  AppState rec;
  rec.Gain = 21;
  rec.Xdcr = 1;
  rec.GridMode = 2;
  rec.Speed = 3;
  rec.SectorSize = 0;
  rec.Train = 90;
  rec.RangeOffset = 4;
  rec.Absorption = 44;
  rec.DataBits = 16;
  rec.LogF = 3;
  rec.PulseLength = 150;
  rec.SoundVelocityMeters = 1450.0f;
  rec.UserText = "Dam inspection";
  rec.Frequency = 0;
  rec.VerticalAngleOffset = 12.5f;
  rec.ProfileChainage = 125.5f;
  rec.Units = 1;
  FileDisplay quiet;
  ASSERT_TRUE(StartRecording(rec, quiet, "settings.47v"));
  const auto reply = MakeReply('G', 513);
  ASSERT_TRUE(WriteSonarRecord(rec, quiet, PingOf(reply, 3)));
  StopRecording(rec, quiet);

  AppState state;
  state.SSTrain = 0;
  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "settings.47v"));
  EXPECT_EQ(state.UserText.get(), "");
  CountingHooks h;
  ASSERT_EQ(PlaybackStep(state, display, h.hooks).outcome, PlaybackOutcome::kPlayed);
  EXPECT_EQ(state.Gain, 21);
  EXPECT_EQ(state.Xdcr, 1);
  EXPECT_EQ(state.GridMode, 2);
  EXPECT_EQ(state.Speed, 3);
  EXPECT_EQ(state.Train, 90);
  EXPECT_EQ(state.SSTrain, 2);  // SS with train 90: "Stbd"
  EXPECT_EQ(state.RangeOffset, 4);
  EXPECT_EQ(state.Absorption, 44);
  EXPECT_EQ(state.DataBits, 16);
  EXPECT_EQ(state.LogF, 3);
  EXPECT_EQ(state.PulseLength, 150);
  EXPECT_EQ(state.SoundVelocityMeters, 1450.0f);
  EXPECT_EQ(state.UserText.get(), "Dam inspection");
  EXPECT_EQ(state.PlaybackFrequency, 675);  // frequency bytes 0, 0
  EXPECT_FLOAT_EQ(state.VerticalAngleOffset, 12.5f);
  EXPECT_EQ(state.ProfileChainage, 125.5f);
  EXPECT_EQ(state.PlaybackUnits, 1);
  EXPECT_EQ(state.PlaybackDateText.get(), "07-DEC-2026");
  EXPECT_EQ(state.PlaybackHundredthsText.get(), ".42");
  // Head copies keep the live values.
  EXPECT_EQ(state.GainHead, 6);
  EXPECT_EQ(state.DataBitsHead, 8);
  EXPECT_EQ(state.UserTextHead.get(), "Quorvane Technology Corp.");
  // Step 17: expected kind and length from the record; 16-bit "G" has 250 samples.
  EXPECT_EQ(state.ExpectedReplyType, 'G');
  EXPECT_EQ(state.ExpectedReplyLength, 513);
  EXPECT_EQ(state.ExpectedSampleCount, 250);
}

TEST(PlaybackStep, GpsBlockAndStalenessCountAndAzimuthHeader) {
  AppState rec;
  FileDisplay quiet;
  ASSERT_TRUE(StartRecording(rec, quiet, "gps.47v"));
  const auto reply = MakeReply('G', 513);
  RecordedPing with_fix = PingOf(reply, 3);
  with_fix.gps = RecordGps{"49.16.450 N", "123.11.120 W", "12:34:56.78", 2, 9, 0.9f, 12.5f, -17.25f};
  with_fix.azimuth_position = 700;
  RecordedPing no_fix = PingOf(reply, 3);
  no_fix.gps = RecordGps{"", "", "12:34:57.00", 0, 3, 0.0f, 0.0f, 0.0f};
  ASSERT_TRUE(WriteSonarRecord(rec, quiet, with_fix));
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(WriteSonarRecord(rec, quiet, no_fix));
  ASSERT_TRUE(WriteSonarRecord(rec, quiet, PingOf(reply, 3)));  // GPS off: 640 bytes, no block
  StopRecording(rec, quiet);

  AppState state;
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "gps.47v"));
  EXPECT_EQ(state.GpsAge, 5);  // stale at open
  CountingHooks h;
  PlaybackStep(state, display, h.hooks);
  EXPECT_EQ(state.PlaybackGpsPresent, 1);
  EXPECT_EQ(state.PlaybackGpsAge, 0);
  GpsData gps = state.GpsSnapshot();
  EXPECT_EQ(std::string(gps.GpsPositionText.data()), " 49.16.450 N123.11.120 W");
  EXPECT_EQ(std::string(gps.GpsTimeText.data()), "12:34:56.78");
  EXPECT_EQ(gps.GpsFixQuality, 2);
  EXPECT_EQ(gps.GpsSatellites, 9);
  EXPECT_EQ(gps.GpsAltitude, 12.5f);
  EXPECT_EQ(gps.GpsAfterAltitude, -17.25f);
  EXPECT_EQ(state.PlaybackAzimuthPosition, 700);
  LinkShown shown = state.Shown();
  EXPECT_EQ(shown.Azimuth.Header[0], 'I');
  EXPECT_EQ(shown.Azimuth.Header[1], 'A');
  EXPECT_EQ(shown.Azimuth.Id, 31);
  EXPECT_EQ(shown.Azimuth.Status, 64);
  // Records without a fix text count up to 10 and keep the last position.
  for (int i = 1; i <= 12; ++i) {
    PlaybackStep(state, display, h.hooks);
    EXPECT_EQ(state.PlaybackGpsAge, std::min(i, 10)) << i;
  }
  gps = state.GpsSnapshot();
  EXPECT_EQ(std::string(gps.GpsPositionText.data()), " 49.16.450 N123.11.120 W");
  EXPECT_EQ(std::string(gps.GpsTimeText.data()), "12:34:57.00");
  EXPECT_EQ(state.PlaybackAzimuthPosition, 600);
  EXPECT_EQ(state.Shown().Azimuth.Header[0], 0);
  const PlaybackStepResult last = PlaybackStep(state, display, h.hooks);
  EXPECT_EQ(last.record_size, 640);
  EXPECT_EQ(state.PlaybackGpsPresent, 0);
}

TEST(PlaybackStep, SoundVelocityOutsideItsRangeAndBadAngleFallBack) {
  AppState rec;
  rec.SoundVelocityMeters = 700.0f;
  rec.VerticalAngleOffset = 190.0f;
  FileDisplay quiet;
  ASSERT_TRUE(StartRecording(rec, quiet, "sv.47v"));
  ASSERT_TRUE(WriteSonarRecord(rec, quiet, PingOf(MakeReply('P', 13), 0)));
  StopRecording(rec, quiet);
  AppState state;
  state.SoundVelocityMetersHead = 1480.0f;
  state.VerticalAngleOffset = 5.0f;
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "sv.47v"));
  CountingHooks h;
  PlaybackStep(state, display, h.hooks);
  EXPECT_EQ(state.SoundVelocityMeters, 1480.0f);
  EXPECT_EQ(state.VerticalAngleOffset, 0.0f);
}

TEST(PlaybackStep, ForwardToTheEndThenTheFirstRecordIsSkipped) {
  AppState state;
  RecordGFile("fwd.47v", 4, state);
  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "fwd.47v"));
  CountingHooks h;
  for (int i = 0; i < 4; ++i) {
    const PlaybackStepResult r = PlaybackStep(state, display, h.hooks);
    EXPECT_EQ(r.record_offset, i * 640);
    EXPECT_TRUE(r.processed);
  }
  EXPECT_EQ(state.PlaybackPercent, 100);
  EXPECT_EQ(state.PlayedBytes, 2560);
  EXPECT_EQ(PlaybackStep(state, display, h.hooks).outcome, PlaybackOutcome::kEndOfFile);
  EXPECT_EQ(state.PlaybackPercent, 0);
  EXPECT_EQ(state.PlayedBytes, 0);
  const PlaybackStepResult after = PlaybackStep(state, display, h.hooks);
  EXPECT_EQ(after.record_offset, 0);
  EXPECT_FALSE(after.processed);
  EXPECT_FALSE(state.SkipNextRecord);
  EXPECT_TRUE(PlaybackStep(state, display, h.hooks).processed);
  EXPECT_EQ(h.positions, (std::vector<int>{100, 101, 102, 103, 101}));
  EXPECT_EQ(display.progress[0], 0);    // at open
  EXPECT_EQ(display.progress[1], 25);   // after the first record
}

TEST(PlaybackStep, ReverseVisitsEveryRecordBackwardsWithTheWrap) {
  AppState state;
  RecordGFile("rev.47v", 5, state);
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "rev.47v"));
  CountingHooks h;
  PlaybackStep(state, display, h.hooks);  // record 0 forward
  EXPECT_TRUE(state.ReverseAvailable);
  ToggleReversePlayback(state, display);
  std::vector<int64_t> offsets;
  for (int i = 0; i < 8; ++i) offsets.push_back(PlaybackStep(state, display, h.hooks).record_offset);
  EXPECT_EQ(offsets, (std::vector<int64_t>{640, 0, 2560, 1920, 1280, 640, 0, 2560}));
}

TEST(PlaybackStep, FirstRecordWithoutBackLinkSwitchesReverseOff) {
  AppState state;
  RecordGFile("nolink.47v", 3, state);
  std::vector<uint8_t> bytes = ReadWholeFile("nolink.47v");
  bytes[638] = bytes[639] = 0;
  WriteWholeFile("nolink.47v", bytes);
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "nolink.47v"));
  state.ReversePlayback = 1;
  CountingHooks h;
  PlaybackStep(state, display, h.hooks);
  EXPECT_FALSE(state.ReverseAvailable);
  EXPECT_FALSE(state.ReversePlayback);
}

TEST(PlaybackSeek, FiftyPercentLandsOnTheFirstRecordAtOrAfterTheMiddle) {
  AppState state;
  FileDisplay quiet;
  ASSERT_TRUE(StartRecording(state, quiet, "mixed.47v"));
  // Records of 640, 128 and 384 bytes in turn, so that the middle falls inside one.
  for (int i = 0; i < 30; ++i) {
    const auto reply = i % 3 == 0 ? MakeReply('G', 513, i) : i % 3 == 1 ? MakeReply('P', 13, i) : MakeReply('G', 265, i);
    ASSERT_TRUE(WriteSonarRecord(state, quiet, PingOf(reply, -1)));
  }
  StopRecording(state, quiet);
  const std::vector<uint8_t> bytes = ReadWholeFile("mixed.47v");
  std::vector<int64_t> starts;
  for (int64_t at = 0; at < static_cast<int64_t>(bytes.size()); at += bytes[at + 4] * 256 + bytes[at + 5]) starts.push_back(at);

  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "mixed.47v"));
  for (int percent : {10, 33, 50, 90}) {
    const int64_t target = static_cast<int64_t>(bytes.size()) * percent / 100;
    const int64_t expect = *std::lower_bound(starts.begin(), starts.end(), target);
    ASSERT_TRUE(SeekPlayback(state, display, percent));
    EXPECT_EQ(state.PlaybackPosition, expect) << percent;
    CountingHooks h;
    EXPECT_EQ(PlaybackStep(state, display, h.hooks).record_offset, expect);
  }
  EXPECT_FALSE(SeekPlayback(state, display, 0));
  EXPECT_FALSE(SeekPlayback(state, display, 100));
  EXPECT_EQ(display.seeks, 4);
}

TEST(PlaybackSeek, NoRecordAfterTheTargetStaysAtTheLastRecordStart) {
  AppState state;
  RecordGFile("tail.47v", 3, state);
  std::vector<uint8_t> bytes = ReadWholeFile("tail.47v");
  bytes.resize(bytes.size() + 4000, 0x55);  // garbage after the last record
  WriteWholeFile("tail.47v", bytes);
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "tail.47v"));
  ASSERT_TRUE(SeekPlayback(state, display, 90));
  EXPECT_EQ(state.PlaybackPosition, 1280);
}

TEST(PlaybackEnd, AutoFrameCaptureStopsOnceWithItsMessage) {
  AppState state;
  RecordGFile("cap.47v", 2, state);
  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "cap.47v"));
  ToggleAutoFrameCapture(state, display);
  EXPECT_EQ(display.messages.back().text, "Capture Started...");
  display.messages.clear();
  CountingHooks h;
  for (int i = 0; i < 7; ++i) PlaybackStep(state, display, h.hooks);  // passes the end twice
  ASSERT_EQ(display.messages.size(), 1u);
  EXPECT_EQ(display.messages[0].text, "End of File, Capture Stopped!");
  EXPECT_EQ(display.messages[0].caption, "Auto Frame Capture");
  EXPECT_FALSE(state.AutoFrameCaptureOn);
  EXPECT_EQ(display.menus.back(), std::make_pair(208, std::string("&Auto Frame Capture Start...")));
}

TEST(PlaybackCapture, EndOfEachSweepCapturesInSectorMode) {
  AppState state;
  state.GridMode = 0;
  state.SectorSize = 90;
  RecordGFile("sweep.47v", 25, state);  // the direction bit turns every 10 records
  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "sweep.47v"));
  state.AutoFrameCaptureOn = 1;
  CountingHooks h;
  for (int i = 0; i < 25; ++i) PlaybackStep(state, display, h.hooks);
  EXPECT_EQ(display.captures, 2);
}

TEST(PlaybackPacing, PlaybackDelayTable) {
  struct Case {
    int d, ms;
  } cases[] = {{1, 0}, {4, 1}, {10, 2}, {20, 10}, {30, 22}, {40, 40}, {50, 100}, {60, 240}, {70, 420}, {80, 640}, {90, 900}, {100, 1200}};
  for (const Case& c : cases) EXPECT_EQ(PlaybackDelayMilliseconds(c.d), c.ms) << c.d;
  EXPECT_EQ(PlaybackPacing(100).count(), 0);
  EXPECT_EQ(PlaybackPacing(99).count(), 0);
  EXPECT_EQ(PlaybackPacing(80).count(), 10);
  EXPECT_EQ(PlaybackPacing(0).count(), 1200);
  AppState state;
  RecordGFile("pace.47v", 2, state);
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "pace.47v"));
  CountingHooks h;
  state.PlotSpeed = 100;
  EXPECT_EQ(PlaybackStep(state, display, h.hooks).delay.count(), 0);
  state.PlotSpeed = 80;
  EXPECT_EQ(PlaybackStep(state, display, h.hooks).delay.count(), 10);
  state.PlotSpeed = 95;
  PlotSpeedUp(state);
  EXPECT_EQ(state.PlotSpeed, 95);
  state.PlotSpeed = 90;
  PlotSpeedUp(state);
  EXPECT_EQ(state.PlotSpeed, 100);
  state.PlotSpeed = 5;
  PlotSpeedDown(state);
  EXPECT_EQ(state.PlotSpeed, 5);
}

TEST(Recording, TitlesMenuTextsAndTheKbCounter) {
  AppState state;
  RecordingFileDisplay display;
  EXPECT_FALSE(StartRecording(state, display, "take.txt"));
  EXPECT_EQ(display.messages.back().caption, "Open a Sonar File For Recording");
  ASSERT_TRUE(StartRecording(state, display, "Take.47V"));
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar - Recording to Take.47V");
  EXPECT_EQ(display.menus.back(), std::make_pair(15, std::string("&Record Stop...")));
  const auto reply = MakeReply('G', 513);
  const size_t before = display.titles.size();
  ASSERT_TRUE(WriteSonarRecord(state, display, PingOf(reply, 3)));
  EXPECT_EQ(display.titles.size(), before);  // 640 bytes: still 0 kB
  ASSERT_TRUE(WriteSonarRecord(state, display, PingOf(reply, 3)));
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar - Recording to Take.47V - 1 kB");
  EXPECT_EQ(state.RecordBytes, 1280);
  StopRecording(state, display);
  EXPECT_EQ(display.messages.back().text, "Take.47V");  // the name as chosen
  EXPECT_EQ(display.messages.back().caption, "Close Record File");
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar");
  EXPECT_EQ(display.menus.back(), std::make_pair(15, std::string("&Record Start...")));
  const auto bytes = ReadWholeFile("Take.47V");
  ASSERT_EQ(bytes.size(), 1280u);
  EXPECT_EQ(bytes[638] * 256 + bytes[639], 640);
  EXPECT_EQ(bytes[1278] * 256 + bytes[1279], 1280);
  EXPECT_FALSE(WriteSonarRecord(state, display, PingOf(reply, 3)));  // not recording
}

// The live path: the reply in the reply buffer, its type code, ping time and step
// direction from the link state, the azimuth drive and the GPS reader's data.
TEST(Recording, AcceptedReplyFromTheLinkStateWithGpsAndAzimuth) {
  AppState state;
  FileDisplay display;
  const auto reply = MakeReply('M', 265, 777, 3, true);
  std::copy(reply.begin(), reply.end(), state.ReplyBuffer.begin());
  state.ExpectedReplyLength = 265;
  state.RecordTypeCode = 2;
  state.Ping.PingTime = LocalTime{2027, 1, 31, 23, 59, 58, 99};
  state.Ping.StepDirection = 1;
  EXPECT_FALSE(RecordAcceptedReply(state, display));  // not recording
  ASSERT_TRUE(StartRecording(state, display, "live.47v"));
  ASSERT_TRUE(RecordAcceptedReply(state, display));  // GPS off, no drive
  state.UseGPS = 1;
  GpsData gps;
  const char* position = " 49.16.450 N123.11.120 W";
  std::copy(position, position + 24, gps.GpsPositionText.begin());
  const char* utc = "23:59:58.50";
  std::copy(utc, utc + 11, gps.GpsTimeText.begin());
  gps.GpsFixQuality = 4;
  gps.GpsSatellites = 300;  // low byte stored
  gps.GpsHdop = 0.7f;
  gps.GpsAltitude = -3.5f;
  gps.GpsAfterAltitude = 19.0f;
  state.SetGpsData(gps);
  state.AzimuthDriveEnable = 1;
  state.AzimuthDriveFound = true;
  state.AzimuthPosition = 450;
  ASSERT_TRUE(RecordAcceptedReply(state, display));
  state.AzimuthDriveFound = false;
  state.ClearGpsData();
  ASSERT_TRUE(RecordAcceptedReply(state, display));  // GPS in use but no fix yet
  StopRecording(state, display);

  SonarFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open("live.47v", error));
  ASSERT_EQ(reader.ReadRecordAt(0), RecordRead::kOk);
  EXPECT_EQ(reader.fields().record_size, 384);
  EXPECT_EQ(reader.fields().date_text, "31-JAN-2027");
  EXPECT_EQ(reader.fields().time_text, "23:59:58");
  EXPECT_EQ(reader.fields().hundredths, 99);
  EXPECT_TRUE(reader.fields().step_direction);
  EXPECT_FALSE(reader.fields().gps_present);
  EXPECT_EQ(reader.fields().azimuth_position, std::nullopt);
  ASSERT_EQ(reader.ReadRecordAt(384), RecordRead::kOk);
  const SonarRecordFields& f = reader.fields();
  EXPECT_EQ(f.record_size, 512);
  EXPECT_EQ(f.back_link, 512 + 384);
  EXPECT_EQ(f.azimuth_position, std::optional<int>(450));
  ASSERT_TRUE(f.gps.has_value());
  EXPECT_EQ(f.gps->latitude, "49.16.450 N");
  EXPECT_EQ(f.gps->longitude, "123.11.120 W");
  EXPECT_EQ(f.gps->utc_time, "23:59:58.50");
  EXPECT_EQ(f.gps->fix_quality, 4);
  EXPECT_EQ(f.gps->satellites, 300 & 0xFF);
  EXPECT_EQ(f.gps->altitude, -3.5f);
  EXPECT_EQ(f.gps->geoid_separation, 19.0f);
  EXPECT_EQ(std::vector<uint8_t>(reader.reply().begin(), reader.reply().end()), reply);
  ASSERT_EQ(reader.ReadRecordAt(896), RecordRead::kOk);
  ASSERT_TRUE(reader.fields().gps.has_value());
  EXPECT_EQ(reader.fields().gps->latitude, "");  // no fix text: first byte 0
  EXPECT_EQ(reader.ReadRecordAt(1408), RecordRead::kEnd);
}

TEST(Recording, UncreatableFileLeavesRecordingOffSilently) {
  AppState state;
  RecordingFileDisplay display;
  EXPECT_FALSE(StartRecording(state, display, "no/such/dir/x.47v"));
  EXPECT_FALSE(state.RecordFileOpen);
  EXPECT_TRUE(display.messages.empty());
}

TEST(Copying, ForwardRecordsWithProfileRangeAfterProcessingAndRebuiltLinks) {
  AppState state;
  RecordGFile("src.47v", 6, state);
  const std::vector<uint8_t> source = ReadWholeFile("src.47v");
  RecordingFileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "src.47v"));
  PlaybackHooks hooks;
  hooks.process_reply = [](AppState&, std::span<uint8_t> reply, const ReplyExpectation&) {
    reply[8] = 0x55;  // processing found a profile point and wrote its code back
    reply[9] = 0x21;
    return true;
  };
  ASSERT_TRUE(SeekPlayback(state, display, 30));  // 1152: the next record starts at 1280
  EXPECT_FALSE(StartCopy(state, display, "copy.dat"));
  EXPECT_EQ(display.messages.back().caption, "Copy a Sonar File");
  ASSERT_TRUE(StartCopy(state, display, "Copy.47V"));
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar - Copying to Copy.47V");
  PlaybackStep(state, display, hooks);  // record 2
  PlaybackStep(state, display, hooks);  // record 3
  ToggleReversePlayback(state, display);
  PlaybackStep(state, display, hooks);  // record 4 backward: not copied, back to record 3
  ToggleReversePlayback(state, display);
  PlaybackStep(state, display, hooks);  // record 3 again, forward
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar - Copying to Copy.47V - 1 kB");
  StopCopy(state, display);
  EXPECT_EQ(display.messages.back().caption, "Close Copy File");
  EXPECT_EQ(display.titles.back(), "WinQ47V Digital Sonar - Playback of src.47v");

  const std::vector<uint8_t> copy = ReadWholeFile("Copy.47V");
  ASSERT_EQ(copy.size(), 3u * 640);
  const int64_t expect_from[] = {1280, 1920, 1920};
  for (int i = 0; i < 3; ++i) {
    const uint8_t* c = copy.data() + i * 640;
    const uint8_t* s = source.data() + expect_from[i];
    EXPECT_EQ(std::memcmp(c, s, 108), 0) << i;
    EXPECT_EQ(c[108], 0x55);
    EXPECT_EQ(c[109], 0x21);
    EXPECT_EQ(std::memcmp(c + 110, s + 110, 528), 0) << i;
    EXPECT_EQ(c[638] * 256 + c[639], i == 0 ? 640 : 1280) << i;
  }
  EXPECT_EQ(PositionAt(copy, 0), PositionAt(source, 1280));
}

// Live pings through the real reply checks and decoder: what was recorded decodes
// back to the same head positions.
TEST(PlaybackWithDecoder, RecordedPingsDecodeBack) {
  AppState state;
  state.GridMode = 0;
  RecordGFile("live.47v", 5, state);
  FakeClock clock;
  int drawn = 0;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, [&](AppState&) { ++drawn; });
  FileDisplay display;
  state.RunMode = 1;
  ASSERT_TRUE(OpenPlayback(state, display, "live.47v"));
  for (int i = 0; i < 5; ++i) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    EXPECT_TRUE(r.accepted) << i;
    EXPECT_EQ(state.Ping.HeadPosition, 100 + i);
    EXPECT_EQ(state.Ping.SampleCount, 499);
  }
  EXPECT_EQ(drawn, 5);
  // A record whose reply lost its termination byte is read and skipped silently.
  std::vector<uint8_t> bytes = ReadWholeFile("live.47v");
  bytes[100 + 512] = 0xFD;
  WriteWholeFile("live.47v", bytes);
  ASSERT_TRUE(OpenPlayback(state, display, "live.47v"));
  const PlaybackStepResult r = PlaybackStep(state, display, hooks);
  EXPECT_TRUE(r.processed);
  EXPECT_FALSE(r.accepted);
  EXPECT_EQ(r.delay.count(), 0);
}

}  // namespace

namespace {

// Every reply kind a file can hold goes through the real checks; "T" is not drawn.
TEST(PlaybackWithDecoder, EveryKindIsCheckedAndDecoded) {
  AppState state;
  FileDisplay quiet;
  ASSERT_TRUE(StartRecording(state, quiet, "kinds.47v"));
  const struct {
    char kind;
    int length, bits;
  } kinds[] = {{'G', 513, 8}, {'G', 265, 4}, {'M', 141, 4}, {'M', 513, 16}, {'P', 13, 8}, {'A', 13, 8}, {'O', 29, 8}, {'T', 77, 8}};
  for (const auto& k : kinds) {
    state.DataBits = k.bits;
    state.GridMode = k.kind == 'M' ? 1 : 0;
    ASSERT_TRUE(WriteSonarRecord(state, quiet, PingOf(MakeReply(k.kind, k.length, 200), -1)));
  }
  StopRecording(state, quiet);
  FakeClock clock;
  int drawn = 0;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, [&](AppState&) { ++drawn; });
  AppState play;
  play.RunMode = 1;
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(play, display, "kinds.47v"));
  for (const auto& k : kinds) {
    const PlaybackStepResult r = PlaybackStep(play, display, hooks);
    EXPECT_TRUE(r.accepted) << k.kind << k.length;
    EXPECT_EQ(play.ExpectedReplyType, k.kind);
    EXPECT_EQ(play.ExpectedReplyLength, k.length);
    EXPECT_EQ(play.DataBits, k.bits);
  }
  EXPECT_EQ(drawn, 7);
}

}  // namespace
