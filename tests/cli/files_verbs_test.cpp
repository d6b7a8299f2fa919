// SPDX-License-Identifier: GPL-3.0-or-later
// q47v info, dump and cut run as programs on recorded files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "files/playback.h"
#include "files_tool_support.h"

namespace {

TEST(FilesInfoVerb, SummarisesRecordsAndDamage) {
  MakeToolFile("survey.47v", 5, true);
  std::vector<uint8_t> bytes = ReadBytes("survey.47v");
  bytes.insert(bytes.begin() + 2 * 768, 777, 0x00);  // a damaged stretch between records 1 and 2
  bytes.insert(bytes.end(), 50, 0x33);            // and some bytes after the last record
  WriteBytes("survey.47v", bytes);
  const FilesToolRun run = RunQ47v("info survey.47v");
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* line : {"records: 5\n", "kinds: G x5\n", "type codes: 3 (640 bytes) x5\n", "ranges: 20 m x5\n",
                           "display modes: Sector x5\n", "data bits: 8 x5\n",
                           "first time: 07-DEC-2026 10:00:00.05\n", "last time: 07-DEC-2026 10:00:04.05\n",
                           "gps: 5 records, 5 with a position\n", "backward playback: available\n",
                           "replies rejected by the checks: 0\n", "damaged regions: 2 (827 bytes)\n",
                           "  at 1536: 777 bytes\n", "  at 4617: 50 bytes (end of file)\n"})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
}

TEST(FilesInfoVerb, RefusesWhatIsNotASonarFile) {
  WriteBytes("notes.47v", {'h', 'e', 'l', 'l', 'o'});
  struct Case {
    const char* args;
    int status;
    const char* err;
  } cases[] = {{"info notes.47v", 1, "Data type is incorrect --> check file format"},
               {"info missing.47v", 1, "No such file or directory"},
               {"info", 2, "usage: q47v info FILE"},
               {"info --bogus x.47v", 2, "unknown option '--bogus'"},
               {"info a.47v b.47v", 2, "one file at a time"}};
  for (const Case& c : cases) {
    const FilesToolRun run = RunQ47v(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << ": " << run.err;
  }
  const FilesToolRun help = RunQ47v("info --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: q47v info FILE"), std::string::npos);
}

TEST(FilesDumpVerb, CsvAndJsonRowsPerRecord) {
  MakeToolFile("d.47v", 3);
  const FilesToolRun csv = RunQ47v("dump d.47v --csv");
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
            "record,offset,size,type,kind,date,time,mode,bits,gain,range_offset,sound_velocity,frequency,accepted,"
            "head_position,direction,range_m,profile_range,blank_samples,blank_m,gps_latitude,gps_longitude,gps_time");
  EXPECT_NE(csv.out.find("\n1,640,640,3,G,07-DEC-2026,10:00:01.05,Sector,8,6,0,1500.0,675,1,301,0,20,0,"),
            std::string::npos)
      << csv.out;
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 4);

  const FilesToolRun json = RunQ47v("dump --json d.47v");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.front(), '[');
  EXPECT_EQ(json.out.substr(json.out.size() - 3), "\n]\n");
  EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '{'), 3);
  EXPECT_NE(json.out.find("\"head_position\": 302"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"gps_latitude\": null"), std::string::npos);

  const FilesToolRun text = RunQ47v("dump d.47v");
  ASSERT_EQ(text.status, 0);
  EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 4);

  EXPECT_EQ(RunQ47v("dump d.47v --csv --json").status, 2);
  EXPECT_EQ(RunQ47v("dump").status, 2);
  EXPECT_EQ(RunQ47v("dump nothere.47v").status, 1);
}

TEST(FilesCutVerb, CopiesARangeWithBackLinksRebuilt) {
  MakeToolFile("long.47v", 8);
  const FilesToolRun run = RunQ47v("cut long.47v --from 2 --to 5 part.47v");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> source = ReadBytes("long.47v");
  const std::vector<uint8_t> part = ReadBytes("part.47v");
  ASSERT_EQ(part.size(), 4u * 640);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(std::equal(part.begin() + i * 640, part.begin() + i * 640 + 638, source.begin() + (i + 2) * 640));
    EXPECT_EQ(part[i * 640 + 638] * 256 + part[i * 640 + 639], i == 0 ? 640 : 1280) << i;
  }
  // Backward playback in the new file visits every record, with the wrap.
  AppState state;
  FileDisplay display;
  ASSERT_TRUE(OpenPlayback(state, display, "part.47v"));
  std::vector<int> positions;
  PlaybackHooks hooks;
  hooks.process_reply = [&](AppState&, std::span<uint8_t> r, const ReplyExpectation&) {
    positions.push_back(((r[6] & 0x3F) << 7) | (r[5] & 0x7F));
    return true;
  };
  PlaybackStep(state, display, hooks);
  state.ReversePlayback = 1;
  for (int i = 0; i < 5; ++i) PlaybackStep(state, display, hooks);
  EXPECT_EQ(positions, (std::vector<int>{302, 303, 302, 305, 304, 303}));
}

TEST(FilesCutVerb, BadRequestsFailClearly) {
  MakeToolFile("s.47v", 3);
  struct Case {
    const char* args;
    int status;
    const char* err;
  } cases[] = {{"cut s.47v --from 2 --to 7 o.47v", 1, "has 3 records (0 to 2)"},
               {"cut s.47v --from 5 o.47v", 1, "has 3 records"},
               {"cut s.47v --from 2 --to 1 o.47v", 2, "comes before"},
               {"cut s.47v --from x o.47v", 2, "--from needs a record number"},
               {"cut s.47v --to -1 o.47v", 2, "--to needs a record number"},
               {"cut s.47v s.47v", 2, "another file"},
               {"cut s.47v", 2, "usage: q47v cut"},
               {"cut gone.47v o.47v", 1, "cannot open gone.47v"}};
  for (const Case& c : cases) {
    const FilesToolRun run = RunQ47v(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << ": " << run.err;
    EXPECT_FALSE(std::filesystem::exists("o.47v")) << c.args;
  }
  EXPECT_EQ(ReadBytes("s.47v").size(), 3u * 640);  // the source is untouched
  const FilesToolRun all = RunQ47v("cut s.47v all.47v");
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(ReadBytes("all.47v"), ReadBytes("s.47v"));
  // An existing OUT survives a bad range whole, and no temporary file is left.
  const std::vector<uint8_t> kept = ReadBytes("all.47v");
  EXPECT_EQ(RunQ47v("cut s.47v --from 1 --to 3 all.47v").status, 1);
  EXPECT_EQ(ReadBytes("all.47v"), kept);
  for (const auto& e : std::filesystem::directory_iterator("."))
    EXPECT_EQ(e.path().filename().string().find(".47v."), std::string::npos) << e.path();
}

}  // namespace

namespace {

// What is not a regular file is refused with its own message, and nothing hangs:
// a FIFO without a writer, a directory, a character device.
TEST(FilesInfoVerb, RefusesWhatIsNotARegularFile) {
  ASSERT_EQ(::mkfifo("pipe.47v", 0600), 0);
  std::filesystem::create_directory("dir.47v");
  struct Case {
    const char* args;
    const char* err;
  } cases[] = {{"info pipe.47v", "not a regular file"},
               {"dump pipe.47v", "not a regular file"},
               {"info dir.47v", "directory"},
               {"info /dev/zero", "not a regular file"}};
  for (const Case& c : cases) {
    const FilesToolRun run = RunQ47v(c.args);
    EXPECT_EQ(run.status, 1) << c.args;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << ": " << run.err;
  }
}

}  // namespace

namespace {

// Output that cannot be written is a failure, not a success.
TEST(FilesOutput, WriteErrorsOnStandardOutputFail) {
  MakeToolFile("f.47v", 2);
  WriteBytes("WINQ47V.INI", {'[', 'S', 'e', 't', 't', 'i', 'n', 'g', 's', ']', '\n'});
  for (const char* args : {"info f.47v >/dev/full", "dump f.47v >/dev/full", "settings . >/dev/full"}) {
    const FilesToolRun run = RunQ47v(args);
    EXPECT_EQ(run.status, 1) << args;
    EXPECT_NE(run.err.find("writing the output failed: No space left on device"), std::string::npos)
        << args << ": " << run.err;
  }
}

// Header bytes that are not text come out escaped; a bad type code is damage; a
// file cut off at the front is read from its first whole record.
TEST(FilesOutput, HostileBytesAndCutOffStarts) {
  MakeToolFile("h.47v", 4);
  std::vector<uint8_t> bytes = ReadBytes("h.47v");
  bytes[640 + 3] = 16;                           // type code no record has
  bytes[2 * 640 + 8] = 0x1B;                     // an escape in the date text
  bytes[2 * 640 + 9] = 0xFF;
  bytes.erase(bytes.begin(), bytes.begin() + 100);  // cut off at the front
  WriteBytes("h.47v", bytes);
  const FilesToolRun info = RunQ47v("info h.47v");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("records: 2\n"), std::string::npos) << info.out;
  EXPECT_EQ(info.out.find("type codes: 16"), std::string::npos) << info.out;
  EXPECT_NE(info.err.find("1180 bytes skipped to the first one"), std::string::npos) << info.err;
  for (const char* args : {"dump h.47v", "dump h.47v --csv"}) {
    const FilesToolRun dump = RunQ47v(args);
    EXPECT_EQ(dump.status, 0) << args;
    EXPECT_NE(dump.out.find("\\x1B\\xFF"), std::string::npos) << dump.out;
    for (unsigned char c : dump.out) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << args << ": " << int(c);
  }
}

}  // namespace
