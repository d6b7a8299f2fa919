// q47v: command-line tool for headless logging and batch work on .47V files.
#include <csignal>

#include "cli.h"

int main(int argc, char** argv) {
  // A write beyond the file-size limit must fail with EFBIG, so that the recorder
  // stops with its message and a whole file, instead of killing the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // A closed pipe on stdout (q47v dump | head) ends the output, not the tool.
  std::signal(SIGPIPE, SIG_IGN);
  return q47v::cli::Main(argc, argv);
}
