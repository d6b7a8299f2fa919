// SPDX-License-Identifier: GPL-3.0-or-later
// The summary pass of q47v info (records found without being decoded, a few facts
// read from their bytes, replies checked without decoding them) sees exactly what
// forward playback sees: the same records, damage, accepted replies and header
// facts, on files of every kind of reply with GPS blocks, rejected and oversized
// replies, damage, garbage in front and behind, and on randomly damaged files. And
// the decode without samples (q47v dump) gives the same ping but for its samples.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "files/playback.h"
#include "files/sonar_file.h"
#include "files/sonar_record.h"
#include "files/sonar_scan.h"
#include "link/reply_decoder.h"

namespace {

// What info reports of one record, as one line of text (easy to compare and print).
struct Seen {
  int64_t offset = 0, skipped = 0;
  int size = 0, type = 0, mode = 0, bits = 0, back_link = 0;
  bool accepted = false, gps = false, fix = false;
  char kind = 0;
  int range = -1;
  std::string stamp;
  std::string Text() const {
    std::ostringstream o;
    o << offset << " +" << skipped << " S" << size << " t" << type << " m" << mode << " b" << bits << " l"
      << back_link << " a" << accepted << " g" << gps << fix << " k" << static_cast<int>(kind) << " r" << range
      << " " << stamp;
    return o.str();
  }
};

std::string StampOf(const SonarRecordFields& f) {
  return f.date_text + " " + f.time_text + "." + std::to_string(f.hundredths);
}

int RangeOf(std::span<const uint8_t> reply) {
  return reply.size() > 7 && (reply[1] == 'G' || reply[1] == 'M' || reply[1] == 'P') ? reply[7] : -1;
}

// Forward playback from the start with the program's reply checks and decoder.
std::vector<std::string> PlayedForward(const std::string& path) {
  AppState state;
  FileDisplay display;
  std::vector<std::string> seen;
  if (!OpenPlaybackFile(state, display, path)) return seen;
  FakeClock clock;
  const PlaybackHooks hooks = LinkPlaybackHooks(clock, nullptr);
  for (;;) {
    const PlaybackStepResult r = PlaybackStep(state, display, hooks);
    if (r.outcome != PlaybackOutcome::kPlayed) break;
    const SonarRecordFields& f = state.PlaybackReader.fields();
    const auto reply = state.PlaybackReader.reply();
    Seen s;
    s.offset = r.record_offset;
    s.skipped = r.skipped_bytes;
    s.size = r.record_size;
    s.type = f.type_code;
    s.mode = f.grid_mode;
    s.bits = f.data_bits_code;
    s.back_link = f.back_link;
    s.accepted = r.accepted;
    s.gps = f.gps_present;
    s.fix = f.gps && !f.gps->latitude.empty();
    s.kind = static_cast<char>(reply[1]);
    s.range = RangeOf(reply);
    s.stamp = StampOf(f);
    seen.push_back(s.Text());
  }
  return seen;
}

// The summary pass: bytes only, the facts from RecordSummary, the checks from
// StoredReplyAccepted.
std::vector<std::string> Summarised(const std::string& path) {
  std::vector<std::string> seen;
  SonarFileReader reader;
  std::string error;
  if (!reader.Open(path, error)) return seen;
  SonarFileScanner scanner(reader, 0, ScanDecode::kBytesOnly);
  ScannedRecord rec;
  while (scanner.Next(rec)) {
    RecordSummary f;
    EXPECT_TRUE(ParseRecordSummary(rec.bytes, f));
    const auto reply = rec.bytes.subspan(kRecordHeaderSize, static_cast<size_t>(f.reply_length));
    SonarRecordFields header;
    EXPECT_TRUE(ParseRecordHeader(rec.bytes.first(kRecordHeaderSize), header));
    Seen s;
    s.offset = rec.offset;
    s.skipped = rec.skipped_before;
    s.size = f.record_size;
    s.type = f.type_code;
    s.mode = f.grid_mode;
    s.bits = f.data_bits_code;
    s.back_link = f.back_link;
    s.accepted = StoredReplyAccepted(reply);
    s.gps = f.gps_present;
    s.fix = f.gps_position;
    s.kind = static_cast<char>(reply[1]);
    s.range = RangeOf(reply);
    s.stamp = StampOf(header);
    seen.push_back(s.Text());
  }
  return seen;
}

void Append(std::vector<uint8_t>& file, SonarRecordFields f, const std::vector<uint8_t>& reply, int& previous) {
  f.reply_length = static_cast<int>(reply.size());
  if (f.record_size == 0) f.record_size = RecordSizeForType(f.type_code) + (f.gps ? kRecordGpsBlockSize : 0);
  f.back_link = f.record_size + previous;
  std::vector<uint8_t> rec(static_cast<size_t>(f.record_size));
  ASSERT_TRUE(EncodeSonarRecord(f, reply, rec));
  previous = f.record_size;
  file.insert(file.end(), rec.begin(), rec.end());
}

// Records of every kind: sonar replies in every width and mode, a head scan, the
// azimuth drive and the orientation module, with and without GPS (a fix, no fix),
// rejected replies and one longer than any reply the program takes.
std::vector<uint8_t> VariedFile() {
  std::vector<uint8_t> file;
  int previous = 0;
  SonarRecordFields base;
  base.date_text = "07-DEC-2026";
  base.time_text = "13:45:07";
  for (int i = 0; i < 40; ++i) {
    SonarRecordFields f = base;
    f.hundredths = i * 7 % 100;
    f.time_text = "13:45:" + std::to_string(10 + i);
    f.grid_mode = i % 8;
    f.data_bits_code = i % 3;
    const char kinds[] = {'G', 'M', 'P', 'T', 'A', 'O', 'G', 'M'};
    const int lengths[] = {513, 265, 13, 77, 13, 29, 265, 141};
    const char kind = kinds[i % 8];
    std::vector<uint8_t> reply = MakeReply(kind, lengths[i % 8], 100 + i, i, i % 2 == 1, 5 + i);
    f.type_code = SmallestTypeCodeFor(static_cast<int>(reply.size()));
    if (i % 5 == 1) {
      f.gps = RecordGps{};
      f.gps->latitude = i % 10 == 1 ? "5130.1234N" : "";
      f.gps->utc_time = "134507.00";
    }
    if (i % 9 == 4) reply.back() = 0xFD;     // rejected: no termination
    if (i % 11 == 6) reply[2] = 'Y';         // rejected: no marker
    Append(file, f, reply, previous);
  }
  // A reply longer than the reply buffer: found and counted, never accepted.
  {
    SonarRecordFields f = base;
    f.type_code = 10;
    Append(file, f, MakeReply('G', 1500), previous);
  }
  // The GPS flag set without room for the block after the reply.
  {
    SonarRecordFields f = base;
    f.type_code = 3;
    const size_t start = file.size();
    Append(file, f, MakeReply('G', 513), previous);
    file[start + 34] = 1;
  }
  return file;
}

TEST(SummaryPass, SameRecordsChecksAndFactsAsForwardPlayback) {
  const std::vector<uint8_t> good = VariedFile();
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  files.emplace_back("whole", good);
  {
    std::vector<uint8_t> b = good;
    b.insert(b.begin() + 3000, 1777, 0x47);  // garbage between records
    b.insert(b.begin() + 100, {'4', '7', 'V', 3, 0x02, 0x80, 0x02, 0x01});  // a false start
    files.emplace_back("damaged", b);
  }
  {
    std::vector<uint8_t> b = good;  // garbage in front, a cut-off record at the end
    b.insert(b.begin(), 555, 0x37);
    b.resize(b.size() - 77);
    files.emplace_back("cut", b);
  }
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    WriteWholeFile("v.47v", bytes);
    const std::vector<std::string> played = PlayedForward("v.47v");
    EXPECT_GE(played.size(), 30u);
    EXPECT_EQ(Summarised("v.47v"), played);
  }

  // The pass counts accepted and rejected replies as playback does.
  WriteWholeFile("v.47v", good);
  int accepted = 0, rejected = 0;
  for (const std::string& line : PlayedForward("v.47v")) (line.find(" a1 ") != std::string::npos ? accepted : rejected)++;
  EXPECT_GT(accepted, 20);
  EXPECT_GE(rejected, 8);  // bad endings, bad markers, the long reply
}

TEST(SummaryPass, RandomlyDamagedFilesGiveTheSameRecords) {
  const std::vector<uint8_t> good = VariedFile();
  std::mt19937 rng(2718);
  for (int round = 0; round < 150; ++round) {
    std::vector<uint8_t> b = good;
    const int hits = 1 + static_cast<int>(rng() % 12);
    for (int k = 0; k < hits; ++k) {
      const size_t at = rng() % b.size();
      switch (rng() % 4) {
        case 0: b[at] = static_cast<uint8_t>(rng()); break;                    // any byte
        case 1: b.erase(b.begin() + static_cast<long>(at)); break;             // a byte lost
        case 2: b.insert(b.begin() + static_cast<long>(at), static_cast<uint8_t>(rng())); break;
        default: b.resize(std::max<size_t>(at, 3)); break;                     // cut off
      }
    }
    WriteWholeFile("r.47v", b);
    ASSERT_EQ(Summarised("r.47v"), PlayedForward("r.47v")) << "round " << round;
  }
}

TEST(RecordSummary, AgreesWithTheWholeDecodeOfRandomRecords) {
  std::mt19937 rng(31);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> r(kMaxRecordSize);
    for (uint8_t& x : r) x = static_cast<uint8_t>(rng());
    std::memcpy(r.data(), kRecordMagic, 3);
    r[3] = static_cast<uint8_t>(rng() % kRecordTypeCount);
    const int length = 4 + static_cast<int>(rng() % 1500);
    const int size = kRecordHeaderSize + length + 14 + static_cast<int>(rng() % 400);
    r[4] = static_cast<uint8_t>(size >> 8);
    r[5] = static_cast<uint8_t>(size);
    r[6] = static_cast<uint8_t>(length >> 8);
    r[7] = static_cast<uint8_t>(length);
    if (rng() % 3 == 0) r[static_cast<size_t>(size - kRecordGpsBlockSize)] = 0;  // a GPS block without a fix
    const std::span<const uint8_t> record(r.data(), static_cast<size_t>(size));
    SonarRecordFields whole;
    ASSERT_TRUE(ParseRecordHeader(record.first(kRecordHeaderSize), whole));
    ASSERT_TRUE(ParseRecordTail(record, whole));
    RecordSummary s;
    ASSERT_TRUE(ParseRecordSummary(record, s));
    EXPECT_EQ(s.type_code, whole.type_code);
    EXPECT_EQ(s.record_size, whole.record_size);
    EXPECT_EQ(s.reply_length, whole.reply_length);
    EXPECT_EQ(s.grid_mode, whole.grid_mode);
    EXPECT_EQ(s.data_bits_code, whole.data_bits_code);
    EXPECT_EQ(s.gps_present, whole.gps_present);
    EXPECT_EQ(s.gps_position, whole.gps && !whole.gps->latitude.empty()) << round;
    EXPECT_EQ(s.back_link, whole.back_link);
  }
  // Not a record: no summary.
  std::vector<uint8_t> junk(200, 0x41);
  RecordSummary s;
  EXPECT_FALSE(ParseRecordSummary(junk, s));
}

// Every field of the decoded ping but the samples, and the reply bytes a copy keeps.
std::string PingFacts(const AppState& s, std::span<const uint8_t> reply) {
  const PingData& p = s.Ping;
  std::ostringstream o;
  o << p.Decoded << p.ReplyType << p.ReplyHeadId << ' ' << p.HeadStatus << ' ' << p.HeadPosition << ' '
    << p.StepDirection << p.ImageFlip << ' ' << p.RangeMetres << ' ' << p.ProfileRangeCode << ' ' << p.DataByteCount
    << ' ' << p.BlankSamples << ' ' << p.BlankDistance << ' ' << p.ProfileSampleIndex << ' ' << p.BeamAngleRad << ' '
    << p.BeamAngleDeg << ' ' << p.SampleCount << ' ' << p.Termination << ' ' << p.RepRateText << ' '
    << s.LastRawHeadPosition << ' ' << s.Range.load() << ' ' << s.SpeedInUse.load() << ' ' << s.ScanReplySeen << ' '
    << static_cast<int>(reply[8]) << ' ' << static_cast<int>(reply[9]);
  for (uint8_t b : p.ReplyHeader) o << ' ' << static_cast<int>(b);
  return o.str();
}

TEST(PingDecode, WithoutSamplesGivesTheSamePingButItsSamples) {
  FakeClock clock;
  int cases = 0, software_cases = 0;
  for (const char kind : {'G', 'M', 'P', 'T'})
    for (const int bits : {4, 8, 16})
      for (int mode = 0; mode < 4; ++mode)
        for (int profile = 0; profile < 4; ++profile)
          for (int source = 0; source < 2; ++source)
            for (const bool xdcr_up : {false, true}) {
              const ReplyExpectation e = ExpectationFor(kind, bits, 499);
              AppState with, without;
              for (AppState* s : {&with, &without}) {
                s->RunMode = 1;
                s->GridMode = mode;
                s->Profile = profile;
                s->ProfileDigitizationSource = source;
                s->Xdcr = xdcr_up ? 1 : 0;
                s->ProfileGrid = mode == 3 ? 1 : 0;
                s->PulseLength = 50;
                s->ProfileMinimumLevel = 5;
              }
              std::vector<uint8_t> reply = MakeReply(kind, e.Length, 300 + cases % 600, 5 + cases % 50, cases % 2, 20);
              if (cases % 3 == 0 && reply.size() > 9) reply[8] = reply[9] = 0;  // no head-detected point
              std::vector<uint8_t> a = reply, b = reply;
              ASSERT_TRUE(ProcessReplyBytes(with, a, e, clock).Accepted);
              ASSERT_TRUE(ProcessReplyBytes(without, b, e, clock, PingDecode::kWithoutSamples).Accepted);
              SCOPED_TRACE(std::string(1, kind) + " bits " + std::to_string(bits) + " mode " + std::to_string(mode) +
                           " profile " + std::to_string(profile) + " source " + std::to_string(source));
              ASSERT_EQ(PingFacts(without, b), PingFacts(with, a));
              if (source == 1) {
                // The software-detected point needs the echoes: they are decoded then.
                ASSERT_EQ(without.Ping.Samples, with.Ping.Samples);
                ++software_cases;
              }
              ++cases;
            }
  EXPECT_EQ(cases, 4 * 3 * 4 * 4 * 2 * 2);
  EXPECT_GT(software_cases, 0);
}

}  // namespace
