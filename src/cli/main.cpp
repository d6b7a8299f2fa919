// SPDX-License-Identifier: GPL-3.0-or-later
// q47v: command-line tool for headless logging and batch work on .47V files.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli.h"

int main(int argc, char** argv) {
  // A write beyond the file-size limit must fail with EFBIG, so that the recorder
  // stops with its message and a whole file, instead of killing the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // A closed pipe on stdout (q47v dump | head) ends the output, not the tool.
  std::signal(SIGPIPE, SIG_IGN);
  const int status = q47v::cli::Main(argc, argv);
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
