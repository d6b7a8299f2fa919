// SPDX-License-Identifier: GPL-3.0-or-later
// q47v settings [FILE] [--write OUT] [--check]: shows a settings file as the
// program sees it at start-up, every key with its effective value and, for each
// key that took its default or fallback, why.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <sys/stat.h>

#include "settings/ini_file.h"
#include "settings/port_paths.h"
#include "settings/settings_io.h"
#include "settings/settings_keys.h"
#include "settings/user_config.h"
#include "text_output.h"
#include "webview/live_view_settings.h"

namespace q47v::cli {

namespace {

constexpr const char* kUsage =
    "usage: q47v settings [FILE|DIR] [--write OUT] [--check]\n"
    "\n"
    "Loads a WINQ47V.INI settings file exactly as the program does at start-up and\n"
    "prints the effective value of every key in the file's own form. A key that took\n"
    "its default or fallback is marked with the reason (missing, unreadable, out of\n"
    "range, not loaded). The .CFG file named by ConfigFile is read relative to the\n"
    "file's directory, as if the program ran there.\n"
    "\n"
    "  FILE         settings file to load (default ./WINQ47V.INI; a directory means\n"
    "               DIR/WINQ47V.INI). A missing default file gives the defaults.\n"
    "  --write OUT  save the loaded state to OUT exactly as the program does on close\n"
    "               (OUT gets FILE's other keys, sections and comments too)\n"
    "  --check      exit with status 3 if any key present in the file was unreadable,\n"
    "               out of range or not loaded\n"
    "\n"
    "Exit status: 0 success, 1 file error, 2 usage error, 3 --check found problems.\n";

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

void PrintLine(const std::string& key, const std::string& value, const std::string& mark) {
  std::string line = key + "=" + value;
  if (!mark.empty()) {
    if (line.size() < 40) line.resize(40, ' ');
    line += " ; " + mark;
  }
  std::printf("%s\n", line.c_str());
}

}  // namespace

int RunSettingsVerb(int argc, char** argv) {
  std::string file;
  std::string out;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--write") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "q47v settings: --write needs a file name\n");
        return 2;
      }
      out = argv[++i];
    } else if (arg == "--check") {
      check = true;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      std::fprintf(stderr, "q47v settings: unknown option '%s' (try --help)\n", arg.c_str());
      return 2;
    } else if (file.empty()) {
      file = arg;
    } else {
      std::fprintf(stderr, "q47v settings: only one settings file may be given\n");
      return 2;
    }
  }

  bool explicit_file = !file.empty();
  std::string path;
  if (!explicit_file) {
    path = "./" + std::string(kSettingsFileName);
  } else if (IsDirectory(file)) {
    path = SettingsPathForDirectory(file);
  } else {
    path = file;
  }
  if (explicit_file && !Exists(path)) {
    std::fprintf(stderr, "q47v settings: %s: no such file\n", path.c_str());
    return 1;
  }

  SettingsState state;
  BuildDefaultConfig(state);
  SettingsLoadReport report = LoadSettings(state, path);
  if (!report.error.empty()) {
    std::fprintf(stderr, "q47v settings: %s\n", report.error.c_str());
    return 1;
  }
  IniFile ini;
  IniFile::Load(path, ini);

  std::printf("; %s\n", path.c_str());
  if (!report.file_found) std::printf("; file not found: every key takes its default\n");
  if (state.ConfigFile.get() != "Default" || !report.config_note.empty())
    std::printf("; user configuration: %s\n",
                report.config_loaded ? "loaded" : ("not loaded, " + report.config_note).c_str());

  bool problems = false;
  std::vector<SettingText> texts = SettingsToTexts(state);
  std::string section;
  for (const SettingText& t : texts) {
    if (t.section != section) {
      if (!section.empty()) std::printf("\n");
      std::printf("[%s]\n", t.section.c_str());
      section = t.section;
    }
    std::string mark;
    if (t.key == "MasterHeadID") {
      std::optional<std::string> stored = ini.Get(kSettingsSection, "MasterHeadID");
      mark = "written only, 16 at every start";
      if (stored) mark += " (the file holds " + *stored + ")";
    } else {
      for (const KeyLoadResult& r : report.keys) {
        if (r.key != t.key) continue;
        if (r.origin != KeyOrigin::Read)
          mark = std::string(KeyOriginText(r.origin)) + (r.note.empty() ? "" : ": " + r.note);
        else
          mark = r.note;
        if (r.has_text && r.origin != KeyOrigin::Read && r.origin != KeyOrigin::Missing)
          problems = true;
        break;
      }
    }
    PrintLine(t.key, t.value, mark);
  }

  std::printf("\n[%s]\n", kSerialPortsSection);
  for (int i = 0; i < kComPortCount; ++i) {
    std::optional<std::string> stored = ini.Get(kSerialPortsSection, ComPortKey(i));
    std::string mark;
    if (!stored) mark = "missing: default";
    else if (stored->empty()) mark = "empty: default";
    PrintLine(ComPortKey(i), ComPortPath(ini, i), mark);
  }

  // The live view's keys, as the window's Live View dialog and --serve take them.
  const webview::ServerOptions live = webview::LoadLiveViewOptions(ini);
  std::printf("\n[%s]\n", webview::kLiveViewSection);
  const std::pair<const char*, std::string> live_keys[] = {
      {"Address", live.address}, {"Port", std::to_string(live.port)}, {"Viewers", std::to_string(live.maxViewers)}};
  for (const auto& [key, value] : live_keys) {
    const std::optional<std::string> stored = ini.Get(webview::kLiveViewSection, key);
    std::string mark;
    if (!stored) {
      mark = "missing: default";
    } else if (std::string why; std::string(key) == "Address" && !webview::ValidListenAddress(value, &why)) {
      mark = "not valid: the live view will not start (" + why + ")";
      problems = true;
    } else if (*stored != value) {
      mark = "not valid: default (the file holds " + *stored + ")";
      problems = true;
    }
    PrintLine(key, value, mark);
  }

  if (!FinishOutput("settings")) return 1;
  if (!out.empty()) {
    std::string error;
    if (!SaveSettingsAs(state, path, out, &error)) {
      std::fprintf(stderr, "q47v settings: %s\n", error.c_str());
      return 1;
    }
  }
  return check && problems ? 3 : 0;
}

}  // namespace q47v::cli
