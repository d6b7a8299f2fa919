// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a whole file so that a crash or a full disk never leaves it truncated:
// the data goes to a temporary file beside it, is flushed to disk and then renamed
// over the old file. Used for WINQ47V.INI and .CFG files.
#pragma once

#include <string>
#include <string_view>

// Returns false and fills *error (if given) when any step fails; the old file then
// stays as it was and no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         std::string* error = nullptr);

// Reads a regular file, at most max_bytes of it (*truncated tells whether more
// followed). False and *error when it cannot be opened or read; *missing tells a
// file that does not exist from other failures.
bool ReadWholeFile(const std::string& path, std::string& out, std::size_t max_bytes,
                   bool* missing = nullptr, std::string* error = nullptr,
                   bool* truncated = nullptr);
