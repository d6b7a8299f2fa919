// SPDX-License-Identifier: GPL-3.0-or-later
// Writing output files safely, shared by every writer of the tools and the window:
// an output that exists but is not a regular file (a device, a FIFO, a socket, a
// directory) is refused before it is opened, and a symbolic link is written
// through, at the file it names, as the settings file always was.
#pragma once

#include <string>
#include <string_view>

// The name a write to `path` lands on: symbolic links followed (a dangling link to
// the name it points at), relative links taken from the link's directory.
std::string OutputTarget(const std::string& path);

// Flushes the directory holding `path`, so that a rename into it is durable.
void SyncDirectoryOf(const std::string& path);

// Empty when `path` may be written: it does not exist or (through its links) is a
// regular file. Otherwise why not, e.g. "/dev/full is a character device, not a
// regular file; it is left as it is".
std::string RefusedOutputReason(const std::string& path);

// Opens `path` (through its links) for writing from its start, for a file that is
// written as it grows (a recording): an existing regular file is emptied, anything
// else is refused without waiting (a FIFO without a reader never blocks the open)
// and left untouched. -1 and *error on failure.
int OpenRegularOutput(const std::string& path, std::string* error);

// How a file made whole takes its name.
enum class OutputMode {
  kThroughLinks,  // replaces the regular file the name (through its links) names
  kNewName,       // only where nothing is: a file, link or node there is left alone
  kReplaceName,   // replaces what is at the name itself (a link, not its target)
};

// A file made whole before it takes its name: the data goes to a temporary file in
// the target's directory, which is renamed onto the target when committed; an
// abandoned one leaves no trace and the old file as it was. A device, a FIFO or a
// directory at the target is never replaced.
class WholeOutputFile {
 public:
  WholeOutputFile() = default;
  ~WholeOutputFile() { Abandon(); }
  WholeOutputFile(const WholeOutputFile&) = delete;
  WholeOutputFile& operator=(const WholeOutputFile&) = delete;

  bool Open(const std::string& path, OutputMode mode, std::string* error);
  int fd() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  bool Write(std::string_view data, std::string* error);
  // Flushes, closes and renames; false and *error when any step fails (the
  // temporary file is then removed). *exists tells a name taken meanwhile.
  bool Commit(std::string* error, bool* exists = nullptr);
  void Abandon();
  const std::string& Target() const { return target_; }

 private:
  int fd_ = -1;
  OutputMode mode_ = OutputMode::kThroughLinks;
  std::string target_;
  std::string temp_;
};

// The whole of `data` as the file `path`, through WholeOutputFile.
bool WriteWholeOutput(const std::string& path, std::string_view data, OutputMode mode, std::string* error);
