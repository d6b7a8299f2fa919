// SPDX-License-Identifier: GPL-3.0-or-later
// Entry of the q47v command-line tool; verbs register in cli.cpp.
#pragma once

#include <string>

namespace q47v::cli {

// q47v itself: argv[1] is the verb.
int Main(int argc, char** argv);

// What every q47v program does around its verbs: the signal set-up, then `run`,
// then the check that the standard output really arrived. Returns the exit status.
int ToolMain(int argc, char** argv, int (*run)(int argc, char** argv));

// The path of helper program `name` (q47v-gis, q47v-video) for the q47v at
// `self`: in the helpers' folder of an installation, else beside q47v (a build
// tree). Empty when there is none; `looked` then names the places tried.
struct HelperPath {
  std::string path;
  std::string looked;
};
HelperPath FindHelper(const std::string& self, const char* name);

}  // namespace q47v::cli
