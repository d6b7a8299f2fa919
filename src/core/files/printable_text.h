// SPDX-License-Identifier: GPL-3.0-or-later
// Text from files (names, record texts) made safe to show: on a terminal, in a
// spreadsheet or in a message box.
#pragma once

#include <string>

// `text` with every byte that is not printable ASCII written as \xNN (and the
// backslash as \\), so that damaged records cannot put raw binary into a text output.
std::string PrintableText(const std::string& text);
