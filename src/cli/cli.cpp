// SPDX-License-Identifier: GPL-3.0-or-later
// The q47v command-line tool: one verb per file (verb_*.cpp), listed here.
#include "cli.h"

#include <cstdio>
#include <cstring>

namespace q47v::cli {

int RunSettingsVerb(int argc, char** argv);  // verb_settings.cpp
int RunRenderVerb(int argc, char** argv);    // verb_render.cpp
int RunInfoVerb(int argc, char** argv);      // verb_info.cpp
int RunDumpVerb(int argc, char** argv);      // verb_dump.cpp
int RunCutVerb(int argc, char** argv);       // verb_cut.cpp
int RunRecordVerb(int argc, char** argv);    // verb_record.cpp
int RunPortsVerb(int argc, char** argv);     // verb_ports.cpp
int RunXyzVerb(int argc, char** argv);       // verb_xyz.cpp
int RunExportVerb(int argc, char** argv);    // verb_export.cpp
int RunTrackVerb(int argc, char** argv);     // verb_track.cpp
int RunVideoVerb(int argc, char** argv);     // verb_video.cpp

namespace {

struct Verb {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);  // argv[0] is the verb
};

// Each verb adds its line here.
constexpr Verb kVerbs[] = {
    {"settings", "show or rewrite a WINQ47V.INI settings file as the program loads it", RunSettingsVerb},
    {"render", "draw the sonar pictures of a .47V file into PNG or BMP files", RunRenderVerb},
    {"video", "make a video (MP4, MKV, WebM) of a .47V file, with the readouts as subtitles", RunVideoVerb},
    {"info", "summarise a .47V sonar data file: records, kinds, times, GPS, damage", RunInfoVerb},
    {"dump", "one row per record of a .47V file (text, --csv or --json)", RunDumpVerb},
    {"cut", "copy records N to M of a .47V file into a new file", RunCutVerb},
    {"record", "log a live sonar head to a .47V file without the window", RunRecordVerb},
    {"xyz", "re-make the survey .XYZ files of a .47V recording (with PLY and SVG)", RunXyzVerb},
    {"export", "the survey of a .47V recording for GIS and CAD (GeoPackage, GeoJSON, DXF ...)", RunExportVerb},
    {"track", "the GPS track of a .47V recording (GeoPackage, GeoJSON, KML, GPX, CSV)", RunTrackVerb},
    {"ports", "the serial devices present and which one each of COM1..COM8 is", RunPortsVerb},
    {nullptr, nullptr, nullptr},
};

void PrintUsage(std::FILE* out) {
  std::fputs("usage: q47v VERB [ARGS]   (q47v VERB --help or q47v help VERB for details)\n"
             "       q47v --help | --version\n\nVerbs:\n", out);
  for (const Verb& v : kVerbs)
    if (v.name) std::fprintf(out, "  %-10s %s\n", v.name, v.summary);
}

}  // namespace

int Main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("q47v %s\n", Q47V_VERSION);
    return 0;
  }
  // q47v help VERB is q47v VERB --help.
  if (std::strcmp(argv[1], "help") == 0) {
    if (argc < 3) {
      PrintUsage(stdout);
      return 0;
    }
    for (const Verb& v : kVerbs)
      if (v.name && std::strcmp(v.name, argv[2]) == 0) {
        char help[] = "--help";
        char* args[] = {argv[2], help, nullptr};
        return v.run(2, args);
      }
    std::fprintf(stderr, "q47v: unknown verb '%s' (try q47v --help)\n", argv[2]);
    return 2;
  }
  for (const Verb& v : kVerbs)
    if (v.name && std::strcmp(v.name, argv[1]) == 0) return v.run(argc - 1, argv + 1);
  std::fprintf(stderr, "q47v: unknown verb '%s' (try q47v --help)\n", argv[1]);
  return 2;
}

}  // namespace q47v::cli
