// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/atomic_file.h"
#include "settings/port_paths.h"
#include "test_files.h"

namespace {

const char* kSample =
    "; settings written by hand\n"
    "[Settings]\n"
    "Range=5\n"
    "  gain = 12  \n"
    "# another comment\n"
    "Unknown=keep me\n"
    "\n"
    "[Other]\n"
    "Range=99\n"
    "[settings]\n"
    "Speed=4\n";

TEST(IniFileTest, LooksUpNamesWithoutRegardToCase) {
  IniFile ini = IniFile::Parse(kSample);
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> want;
  } cases[] = {
      {"Settings", "Range", "5"},
      {"SETTINGS", "range", "5"},
      {"settings", "GAIN", "12"},       // white space around name and value removed
      {"Settings", "Unknown", "keep me"},
      {"Other", "Range", "99"},
      {"Settings", "Speed", std::nullopt},  // only the first section of a name counts
      {"Settings", "# another comment", std::nullopt},
      {"Missing", "Range", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(ini.Get(c.section, c.key), c.want);
  }
  EXPECT_EQ(ini.GetString("Settings", "Nope", "dflt"), "dflt");
  IniFile quoted = IniFile::Parse("[S]\na=\" x \"\nb='y'\nc=\"z'\nd=\"\n");
  EXPECT_EQ(quoted.Get("S", "a"), " x ");
  EXPECT_EQ(quoted.Get("S", "b"), "y");
  EXPECT_EQ(quoted.Get("S", "c"), "\"z'");
  EXPECT_EQ(quoted.Get("S", "d"), "\"");
  EXPECT_TRUE(ini.HasSection("other"));
}

TEST(IniFileTest, WritingChangesOnlyItsOwnLine) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    const char* want_text;
  } cases[] = {
      // Replaced in place, keeping the file's spelling of the key.
      {"SETTINGS", "GAIN", "7",
       "; settings written by hand\n[Settings]\nRange=5\ngain=7\n# another comment\n"
       "Unknown=keep me\n\n[Other]\nRange=99\n[settings]\nSpeed=4\n"},
      // Appended after the last line of its section, before the blank line.
      {"Settings", "Train", "90",
       "; settings written by hand\n[Settings]\nRange=5\n  gain = 12  \n# another comment\n"
       "Unknown=keep me\nTrain=90\n\n[Other]\nRange=99\n[settings]\nSpeed=4\n"},
      // A new section goes to the end of the file.
      {"Orientation Module Settings", "XYZPitchRollHeading", "1",
       "; settings written by hand\n[Settings]\nRange=5\n  gain = 12  \n# another comment\n"
       "Unknown=keep me\n\n[Other]\nRange=99\n[settings]\nSpeed=4\n"
       "[Orientation Module Settings]\nXYZPitchRollHeading=1\n"},
      // A line break in a value cannot make a new line.
      {"Other", "Range", "1\n[Evil]\r",
       "; settings written by hand\n[Settings]\nRange=5\n  gain = 12  \n# another comment\n"
       "Unknown=keep me\n\n[Other]\nRange=1 [Evil] \n[settings]\nSpeed=4\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    IniFile ini = IniFile::Parse(kSample);
    ini.Set(c.section, c.key, c.value);
    EXPECT_EQ(ini.Text(), c.want_text);
  }
}

TEST(IniFileTest, KeepsWindowsLineEndingsAndAddsNewlineToLastLine) {
  IniFile ini = IniFile::Parse("[Settings]\r\nRange=5\r\n");
  ini.Set("Settings", "Gain", "6");
  EXPECT_EQ(ini.Text(), "[Settings]\r\nRange=5\r\nGain=6\r\n");
  // Mixed endings stay as they were; a replaced line keeps its own.
  IniFile mixed = IniFile::Parse("[A]\r\nx=1\ny=2\r\n");
  mixed.Set("a", "Y", "3");
  mixed.Set("a", "X", "4");
  EXPECT_EQ(mixed.Text(), "[A]\r\nx=4\ny=3\r\n");
  EXPECT_EQ(IniFile::Parse("[A]\nk=v").Text(), "[A]\nk=v\n");
  EXPECT_EQ(IniFile::Parse("").Text(), "");
  IniFile empty;
  empty.Set("Settings", "Range", "1");
  EXPECT_EQ(empty.Text(), "[Settings]\nRange=1\n");
}

TEST(IniFileTest, IgnoresByteOrderMarkAndUnclosedHeaders) {
  IniFile ini = IniFile::Parse("\xEF\xBB\xBF[Settings]\nRange=3\n[Broken\nx=1\n");
  EXPECT_EQ(ini.Get("Settings", "Range"), "3");
  EXPECT_EQ(ini.Get("Broken", "x"), "1");
}

TEST(IniFileTest, LoadSaveAndMissingFile) {
  IniFile ini;
  bool found = true;
  ASSERT_TRUE(IniFile::Load("absent.ini", ini, &found));
  EXPECT_FALSE(found);
  ini.Set("Settings", "Range", "4");
  std::string error;
  ASSERT_TRUE(ini.Save("saved.ini", &error)) << error;
  EXPECT_EQ(ReadText("saved.ini"), "[Settings]\nRange=4\n");
  IniFile back;
  ASSERT_TRUE(IniFile::Load("saved.ini", back, &found));
  EXPECT_TRUE(found);
  EXPECT_EQ(back.Get("settings", "range"), "4");
  // A directory in place of the file cannot be read.
  std::filesystem::create_directory("dir.ini");
  EXPECT_FALSE(IniFile::Load("dir.ini", back, &found, &error));
  EXPECT_FALSE(error.empty());
}

TEST(AtomicFileTest, FailedSaveLeavesNoTemporaryAndKeepsTheOldFile) {
  // Replacing a non-empty directory fails at the rename.
  std::filesystem::create_directory("target");
  WriteText("target/inside", "x");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically("target", "data", &error));
  EXPECT_NE(error.find("target"), std::string::npos);
  EXPECT_EQ(ReadText("target/inside"), "x");
  EXPECT_FALSE(WriteFileAtomically("no/such/dir/file", "data", &error));
  // Only the directory is left: no temporary files.
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(".")) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(AtomicFileTest, ReplacesContentsAndKeepsPermissions) {
  WriteText("f", "old contents that are longer");
  std::filesystem::permissions("f", std::filesystem::perms(0640));
  ASSERT_TRUE(WriteFileAtomically("f", "new"));
  EXPECT_EQ(ReadText("f"), "new");
  EXPECT_EQ(std::filesystem::status("f").permissions(), std::filesystem::perms(0640));
}

// A settings file kept elsewhere behind a symbolic link stays linked: the save
// goes to the file the link names (also when the link dangles), atomically there.
TEST(AtomicFileTest, WritesThroughASymbolicLink) {
  std::filesystem::create_directory("shared");
  WriteText("shared/WINQ47V.INI", "[Settings]\nGain=1\n");
  std::filesystem::create_symlink("shared/WINQ47V.INI", "WINQ47V.INI");
  ASSERT_TRUE(WriteFileAtomically("WINQ47V.INI", "[Settings]\nGain=2\n"));
  EXPECT_TRUE(std::filesystem::is_symlink("WINQ47V.INI"));
  EXPECT_EQ(ReadText("shared/WINQ47V.INI"), "[Settings]\nGain=2\n");
  // A link to a link, relative to the link's own folder.
  std::filesystem::create_directory("other");
  std::filesystem::create_symlink("../WINQ47V.INI", "other/link.ini");
  ASSERT_TRUE(WriteFileAtomically("other/link.ini", "x"));
  EXPECT_TRUE(std::filesystem::is_symlink("other/link.ini"));
  EXPECT_EQ(ReadText("shared/WINQ47V.INI"), "x");
  // A dangling link: the file it names is created.
  std::filesystem::create_symlink("shared/new.ini", "dangling.ini");
  ASSERT_TRUE(WriteFileAtomically("dangling.ini", "y"));
  EXPECT_TRUE(std::filesystem::is_symlink("dangling.ini"));
  EXPECT_EQ(ReadText("shared/new.ini"), "y");
}

TEST(PortPathsTest, DefaultsAndOverrides) {
  const char* defaults[] = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3",
                            "/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3"};
  IniFile ini = IniFile::Parse("[serial ports]\ncom2=/dev/pts/7\nCOM5=\n");
  ComPortPaths paths = LoadComPortPaths(ini);
  for (int i = 0; i < kComPortCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DefaultComPortPath(i), defaults[i]);
    EXPECT_EQ(paths[static_cast<std::size_t>(i)], i == 1 ? "/dev/pts/7" : defaults[i]);
    EXPECT_EQ(ComPortPath(ini, i), paths[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(ComPortPath(ini, 8), "");
  EXPECT_EQ(ComPortPath(ini, -1), "");
  EXPECT_EQ(ComPortKey(0), "COM1");

  paths[7] = "/dev/ttyACM0";
  StoreComPortPaths(ini, paths);
  ASSERT_TRUE(ini.Save("WINQ47V.INI"));
  EXPECT_EQ(LoadComPortPaths(std::string("WINQ47V.INI"))[7], "/dev/ttyACM0");
  EXPECT_EQ(LoadComPortPaths(std::string("missing.ini"))[0], "/dev/ttyUSB0");
}

}  // namespace
