// SPDX-License-Identifier: GPL-3.0-or-later
// q47v-video: the video verb of q47v, in a program of its own so that q47v loads
// FFmpeg's libraries only for it. q47v runs it in its own place with the verb and
// its arguments.
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace q47v::cli {
int RunVideoVerb(int argc, char** argv);  // verb_video.cpp
}  // namespace q47v::cli

namespace {

int Run(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "video") == 0) return q47v::cli::RunVideoVerb(argc - 1, argv + 1);
  std::fputs("q47v-video is run by q47v: use q47v video\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) { return q47v::cli::ToolMain(argc, argv, Run); }
