// SPDX-License-Identifier: GPL-3.0-or-later
// Entry of the q47v command-line tool; verbs register in cli.cpp.
#pragma once

namespace q47v::cli {
int Main(int argc, char** argv);
}
