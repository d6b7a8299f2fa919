// SPDX-License-Identifier: GPL-3.0-or-later
// The q47v command-line tool: one verb per file (verb_*.cpp), listed here.
#include "cli.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace q47v::cli {

int RunSettingsVerb(int argc, char** argv);  // verb_settings.cpp
int RunRenderVerb(int argc, char** argv);    // verb_render.cpp
int RunInfoVerb(int argc, char** argv);      // verb_info.cpp
int RunDumpVerb(int argc, char** argv);      // verb_dump.cpp
int RunCutVerb(int argc, char** argv);       // verb_cut.cpp
int RunRecordVerb(int argc, char** argv);    // verb_record.cpp
int RunPortsVerb(int argc, char** argv);     // verb_ports.cpp
int RunXyzVerb(int argc, char** argv);       // verb_xyz.cpp

namespace {

struct Verb {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);  // argv[0] is the verb; null: run by `helper`
  const char* helper = nullptr;       // the program that has the verb
};

// Each verb adds its line here.
constexpr Verb kVerbs[] = {
    {"settings", "show or rewrite a WINQ47V.INI settings file as the program loads it", RunSettingsVerb},
    {"render", "draw the sonar pictures of a .47V file into PNG or BMP files", RunRenderVerb},
    {"video", "make a video (MP4, MKV, WebM) of a .47V file, with the readouts as subtitles", nullptr,
     "q47v-video"},
    {"info", "summarise a .47V sonar data file: records, kinds, times, GPS, damage", RunInfoVerb},
    {"dump", "one row per record of a .47V file (text, --csv or --json)", RunDumpVerb},
    {"cut", "copy records N to M of a .47V file into a new file", RunCutVerb},
    {"record", "log a live sonar head to a .47V file without the window", RunRecordVerb},
    {"xyz", "re-make the survey .XYZ files of a .47V recording (with PLY and SVG)", RunXyzVerb},
    {"export", "the survey of a .47V recording for GIS and CAD (GeoPackage, GeoJSON, DXF ...)", nullptr, "q47v-gis"},
    {"track", "the GPS track of a .47V recording (GeoPackage, GeoJSON, KML, GPX, CSV)", nullptr, "q47v-gis"},
    {"ports", "the serial devices present and which one each of COM1..COM8 is", RunPortsVerb},
    {nullptr, nullptr, nullptr},
};

void PrintUsage(std::FILE* out) {
  std::fputs("usage: q47v VERB [ARGS]   (q47v VERB --help or q47v help VERB for details)\n"
             "       q47v --help | --version\n\nVerbs:\n", out);
  for (const Verb& v : kVerbs)
    if (v.name) std::fprintf(out, "  %-10s %s\n", v.name, v.summary);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool Executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

// The running program's own path, links resolved.
std::string SelfPath(const char* argv0) {
  std::string self(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  if (n > 0) return self.substr(0, static_cast<std::size_t>(n));
  return argv0;
}

// Runs `verb`'s helper in this process's place: the same arguments, standard
// streams, signals ignored and exit status.
int RunInHelper(const Verb& verb, int argc, char** argv, const char* argv0) {
  const HelperPath helper = FindHelper(SelfPath(argv0), verb.helper);
  if (helper.path.empty()) {
    std::fprintf(stderr, "q47v: %s needs the helper program %s, which is not installed (looked for %s)\n", verb.name,
                 verb.helper, helper.looked.c_str());
    return 1;
  }
  std::vector<char*> args;
  std::string program = helper.path;
  args.push_back(program.data());
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  ::execv(program.c_str(), args.data());
  std::fprintf(stderr, "q47v: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
  return 1;
}

int RunVerb(const Verb& v, int argc, char** argv, const char* argv0) {
  return v.run ? v.run(argc, argv) : RunInHelper(v, argc, argv, argv0);
}

}  // namespace

HelperPath FindHelper(const std::string& self, const char* name) {
  const std::string dir = DirectoryOf(self);
  HelperPath found;
  for (const std::string& candidate : {dir + "/" Q47V_HELPERS_FROM_BIN "/" + name, dir + "/" + name}) {
    if (Executable(candidate)) {
      found.path = candidate;
      return found;
    }
    found.looked += (found.looked.empty() ? "" : " and ") + candidate;
  }
  return found;
}

int ToolMain(int argc, char** argv, int (*run)(int argc, char** argv)) {
  // A write beyond the file-size limit must fail with EFBIG, so that the recorder
  // stops with its message and a whole file, instead of killing the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // A closed pipe on stdout (q47v dump | head) ends the output, not the tool.
  std::signal(SIGPIPE, SIG_IGN);
  const int status = run(argc, argv);
  // Output that never arrived (a full disk, /dev/full, a closed pipe) is a failure,
  // not a success: say so and exit non-zero.
  // A verb that checked its own output has said so already and returned non-zero.
  if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && status == 0) {
    const int err = errno;
    std::fprintf(stderr, "q47v: cannot write the output: %s\n", err ? std::strerror(err) : "write error");
    return 1;
  }
  return status;
}

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
        return RunVerb(v, 2, args, argv[0]);
      }
    std::fprintf(stderr, "q47v: unknown verb '%s' (try q47v --help)\n", argv[2]);
    return 2;
  }
  for (const Verb& v : kVerbs)
    if (v.name && std::strcmp(v.name, argv[1]) == 0) return RunVerb(v, argc - 1, argv + 1, argv[0]);
  std::fprintf(stderr, "q47v: unknown verb '%s' (try q47v --help)\n", argv[1]);
  return 2;
}

}  // namespace q47v::cli
