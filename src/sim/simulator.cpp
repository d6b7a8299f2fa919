#include "simulator.h"

#include <cstdio>

namespace q47vsim {
int Main(int, char**) {
  std::puts("q47v-sim: not built yet");
  return 0;
}
}  // namespace q47vsim
