// SPDX-License-Identifier: GPL-3.0-or-later
// What the verbs print on standard output: text made safe for a terminal or a
// spreadsheet, and the final check that all of it was written.
#pragma once

#include <string>

#include "files/printable_text.h"

namespace q47v::cli {

using ::PrintableText;

// Flushes standard output; when anything written to it failed (a full disk, a
// closed pipe) prints "q47v <verb>: writing the output failed: <reason>" and returns
// false, so that the verb exits non-zero.
bool FinishOutput(const char* verb);

}  // namespace q47v::cli
