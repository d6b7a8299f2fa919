// SPDX-License-Identifier: GPL-3.0-or-later
// q47v-gis: the verbs of q47v that write GIS and CAD formats (export, track), in a
// program of their own so that q47v loads GDAL and PROJ only for them. q47v runs it
// in its own place with the verb and its arguments.
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace q47v::cli {
int RunExportVerb(int argc, char** argv);  // verb_export.cpp
int RunTrackVerb(int argc, char** argv);   // verb_track.cpp
}  // namespace q47v::cli

namespace {

int Run(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "export") == 0) return q47v::cli::RunExportVerb(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "track") == 0) return q47v::cli::RunTrackVerb(argc - 1, argv + 1);
  std::fputs("q47v-gis is run by q47v: use q47v export or q47v track\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) { return q47v::cli::ToolMain(argc, argv, Run); }
