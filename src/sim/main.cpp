// SPDX-License-Identifier: GPL-3.0-or-later
// q47v-sim: simulates the sonar heads, azimuth drive, orientation module and GPS.
#include "simulator.h"

int main(int argc, char** argv) { return q47vsim::Main(argc, argv); }
