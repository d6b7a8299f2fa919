#pragma once

namespace q47vsim {
int Main(int argc, char** argv);
}
