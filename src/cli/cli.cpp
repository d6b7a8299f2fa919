#include "cli.h"

#include <cstdio>
#include <cstring>

namespace q47v::cli {

int Main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::puts("usage: q47v VERB [ARGS]\n\nVerbs: (none yet)");
    return argc < 2 ? 2 : 0;
  }
  std::fprintf(stderr, "q47v: unknown verb '%s' (try q47v --help)\n", argv[1]);
  return 2;
}

}  // namespace q47v::cli
