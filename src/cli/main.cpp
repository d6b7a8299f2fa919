// SPDX-License-Identifier: GPL-3.0-or-later
// q47v: command-line tool for headless logging and batch work on .47V files.
#include "cli.h"

int main(int argc, char** argv) { return q47v::cli::ToolMain(argc, argv, q47v::cli::Main); }
