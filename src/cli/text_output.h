// SPDX-License-Identifier: GPL-3.0-or-later
// What the verbs print on standard output: text made safe for a terminal or a
// spreadsheet, and the final check that all of it was written.
#pragma once

#include <string>

namespace q47v::cli {

// `text` with every byte that is not printable ASCII written as \xNN (and the
// backslash as \\), so that damaged records cannot put raw binary into a text output.
std::string PrintableText(const std::string& text);

// Flushes standard output; when anything written to it failed (a full disk, a
// closed pipe) prints "q47v <verb>: writing the output failed: <reason>" and returns
// false, so that the verb exits non-zero.
bool FinishOutput(const char* verb);

}  // namespace q47v::cli
